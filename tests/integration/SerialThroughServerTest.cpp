// A serial-encoder station links and runs transactions through a running Halvex_VRQ, with the
// encoder simulator on a pseudo-terminal behind it.
#include "IniFile.h"
#include "ProgramFixture.h"

#include <QFile>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

TEST(SerialThroughServerTest, ComLinkAndTransactionsReachTheEncoder) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    const QString device = site.StartEncoderSim(5);
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    site.Start({QStringLiteral("/MAXIMIZE"), QStringLiteral("/COMLOG")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));

    TLoopbackStation st(site.Port());
    const QByteArray link = st.Request("strAction=COMLINK\r\nintComPort=5\r\nintBaudRate=115200\r\nbUSB=0\r\n");
    EXPECT_EQ(ReplyField(link, "strResult"), "Success") << link.constData();
    EXPECT_EQ(ReplyField(link, "strErrorCode"), "0");

    const QByteArray status =
        st.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=50\r\nintDelay=3\r\n");
    EXPECT_EQ(ReplyField(status, "strResult"), "Success") << status.constData();
    EXPECT_EQ(ReplyField(status, "strRecv"), QByteArray("\x02" "320010010000000BFEA0001127A11127A1\x03"));

    const QByteArray wrong = st.Request("strAction=DEVICETRANSACTION\r\nbytCommand=1\r\nintResponse=99\r\nintDelay=3\r\n");
    EXPECT_EQ(ReplyField(wrong, "strResult"), "Failure") << "the response code is not the one expected";

    // A second port that does not exist.
    const QByteArray bad = st.Request("strAction=COMLINK\r\nintComPort=0\r\nintBaudRate=9600\r\nbUSB=0\r\n");
    EXPECT_EQ(ReplyField(bad, "strResult"), "Failure");
    EXPECT_EQ(ReplyField(bad, "strErrorCode"), "184");
    EXPECT_TRUE(QFile::exists(site.WorkPath() + QStringLiteral("/PellCom.Log")));
}

} // namespace
