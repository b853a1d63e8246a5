// A printer-encoder station prints and encodes a card through a running Halvex_VRQ into a
// private CUPS queue whose device is a capture listener of this test.
#include "ProgramFixture.h"
#include "print/capture_listener.h"
#include "print/print_test_support.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <gtest/gtest.h>

using namespace print_test;

namespace {

TEST(PrintThroughServerTest, PrinterEncoderStationPrintsAndEncodesACard) {
    if (qEnvironmentVariableIsEmpty("VRQ_CUPS_SERVER"))
        GTEST_SKIP() << "no private cupsd (scripts/cups-server.sh start)";
    qputenv("CUPS_SERVER", qgetenv("VRQ_CUPS_SERVER"));
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    CaptureListener capture;
    ASSERT_TRUE(capture.Start());
    const QString queue = QStringLiteral("VrqServer%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(RunTool(QStringLiteral("lpadmin"),
                        {QStringLiteral("-p"), queue, QStringLiteral("-E"), QStringLiteral("-v"),
                         QStringLiteral("socket://127.0.0.1:%1").arg(capture.Port()), QStringLiteral("-m"),
                         QStringLiteral("raw")},
                        nullptr));
    site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));

    const QByteArray layout = QByteArrayList{"1", "1", "DejaVu Sans", "0", "1", "12", "1", "150", "150", "1",
                                             "2", "DejaVu Sans", "0", "1", "10", "0", "150", "400", "2"}
                                  .join(char(0x7F));
    const QByteArray keyString = Track1Record("B123") + Record('4', "\"ROOM 101\"\"SMITH\"");
    const QByteArray reply =
        TLoopbackStation(site.Port()).Request(
                    "strAction=DEVICETRANSACTION\r\nbytCommand=36\r\nintDelay=20\r\nintInterfaceType=2\r\n"
                    "strDeviceName=" + queue.toLatin1() + "\r\nstrPrintLayout=" + layout + "\r\nstrData=" + keyString,
                    60000);
    EXPECT_EQ(ReplyField(reply, "strResult"), "Success") << reply.constData();
    EXPECT_EQ(ReplyField(reply, "strRecv"), "39001001000");
    const auto jobs = capture.WaitForJobs(2, 60000);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0], QByteArray("\x1B\x00\x02M1%B123?", 11) + QByteArray(1, '\0'));
    EXPECT_TRUE(jobs[1].startsWith("%PDF")) << "the page follows the magnetic job";

    const QByteArray missing = TLoopbackStation(site.Port()).Request(
        "strAction=DEVICETRANSACTION\r\nbytCommand=36\r\nintDelay=20\r\nintInterfaceType=2\r\n"
        "strDeviceName=NoSuchPrinter\r\nstrPrintLayout=" + layout + "\r\nstrData=" + keyString,
        60000);
    EXPECT_EQ(ReplyField(missing, "strResult"), "Failure");
    EXPECT_TRUE(ReplyField(missing, "strErrorData").contains("; PRINTER NOT FOUND")) << missing.constData();
    RunTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue}, nullptr);
}

} // namespace
