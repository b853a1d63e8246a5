// vrq_station finds a station in the site's database and reaches its simulated encoder through
// the running server.
#include "FbConnection.h"
#include "IniFile.h"
#include "ProgramFixture.h"

#include <gtest/gtest.h>

namespace {

QByteArray runStation(const TProgramFixture& site, const QStringList& args, int* exitCode) {
    QProcess p;
    p.setProcessEnvironment(site.Environment());
    p.start(site.BinDir() + QStringLiteral("/vrq_station"), QStringList{QStringLiteral("--work"), site.WorkPath()} + args);
    p.waitForFinished(60000);
    *exitCode = p.exitCode();
    return p.readAllStandardOutput() + p.readAllStandardError();
}

TEST(StationToolTest, StatusOfARegisteredStationAndAnUnknownOne) {
    TProgramFixture site;
    ASSERT_TRUE(site.Ok()) << site.Error().toStdString();
    const QString device = site.StartEncoderSim(5);
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    {
        FirebirdEnvironment_Prepare(site.BinDir());
        TFbConnection db;
        db.SetDatabase(site.SitePath() + QStringLiteral("/halvexdatav2.GDB"));
        db.Open();
        db.Exec(QStringLiteral("INSERT INTO ClientStation (idxMachineID, strStationID, lngPort, lngEncoder_Baud, "
                               "lngInterfaceType) VALUES (1, 'FD1', 5, 115200, 1)"));
    }
    int rc = -1;
    const QByteArray status = runStation(site, {QStringLiteral("--station"), QStringLiteral("FD1"), QStringLiteral("status")}, &rc);
    EXPECT_EQ(rc, 0) << status.constData();
    EXPECT_TRUE(status.contains("intDeviceKind=1\n")) << status.constData();
    EXPECT_TRUE(status.contains("datVersion1=2001-11-27\n"));
    const QByteArray unknown = runStation(site, {QStringLiteral("--station"), QStringLiteral("NOPE"), QStringLiteral("link")}, &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(unknown.contains("strErrorCode=161")) << unknown.constData();
}

} // namespace
