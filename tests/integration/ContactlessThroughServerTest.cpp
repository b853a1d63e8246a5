// A contactless-encoder station writes a key card on the simulated reader through a running
// Halvex_VRQ and reads it back; without a card the wait ends with the no-card answer.
#include "IniFile.h"
#include "ProgramFixture.h"
#include "unitRFIDKeys.h"

#include <QFile>
#include <QTcpSocket>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

void writeCardFile(const QString& path, bool withCard) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(withCard ? R"({"readers":[{"port":0,"card":{"type":2,"serial":"04A1B2C3"}}]})" : R"({"readers":[]})");
}

TEST(ContactlessThroughServerTest, WriteThenReadAKeyCardAndNoCard) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    TRFIDKeyMaterial keys;
    QString error;
    ASSERT_TRUE(RFIDKeys_Read_b(site.SitePath(), keys, &error)) << error.toStdString();
    const QString cards = site.WorkPath() + QStringLiteral("/cards.json");
    writeCardFile(cards, true);
    TIniFile(site.WorkPath() + QStringLiteral("/halvex.ini"))
        .WriteString(QStringLiteral("Contactless"), QStringLiteral("SimCardFile"), cards);
    site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));

    TLoopbackStation st(site.Port());
    const QByteArray link = st.Request("strAction=COMLINK\r\nintComPort=1\r\nintBaudRate=0\r\nbUSB=0\r\nintInterfaceType=3");
    ASSERT_EQ(ReplyField(link, "strResult"), "Success") << link.constData();

    QByteArray hex = RFIDScramble(QByteArray::fromHex("1102030405060708090A0B0C0D0E0F1011"), keys).toHex().toUpper();
    std::reverse(hex.begin(), hex.end());
    const QByteArray written = st.Request("strAction=DEVICETRANSACTION\r\nintInterfaceType=3\r\nbytCommand=4\r\nintDelay=10\r\n"
                                          "strVariableInfo=01^0102030405AA\r\nstrData=300" + hex);
    EXPECT_EQ(ReplyField(written, "strResult"), "Success") << written.constData();
    const QByteArray read = st.Request("strAction=DEVICETRANSACTION\r\nintInterfaceType=3\r\nbytCommand=3\r\nintDelay=10");
    EXPECT_EQ(ReplyField(read, "strResult"), "Success") << read.constData();
    EXPECT_EQ(ReplyField(read, "strVariableInfo"), "01^0102030405AA");

    writeCardFile(cards, false);
    const QByteArray none = st.Request("strAction=DEVICETRANSACTION\r\nintInterfaceType=3\r\nbytCommand=3\r\nintDelay=10");
    EXPECT_EQ(ReplyField(none, "strRecv"), QByteArray("\x02" "3A00100100000036002\x03")) << none.constData();
}

} // namespace
