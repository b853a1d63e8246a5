#include "NamedMutex.h"
#include "ProgramFixture.h"
#include "unitUtils.h"

#include <QFile>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    TProgramFixture site;
    void SetUp() override {
        if (!site.Ok())
            GTEST_FAIL() << site.Error().toStdString();
    }
};

TEST_F(ProgramTest, ServesAndSigtermRunsTheCloseSequence) {
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening"))) << site.DebugText().toStdString();
    EXPECT_EQ(ReadGreeting(site.Port()), "CHN=" + ComputerName_str().toLocal8Bit());
    EXPECT_NE(site.IniValue(QStringLiteral("Process_Started"), QStringLiteral("APPLICATIONVRQ")), QString());
    ::kill(pid_t(server.processId()), SIGTERM);
    ASSERT_TRUE(server.waitForFinished(20000));
    EXPECT_EQ(server.exitCode(), 0);
    EXPECT_EQ(site.IniValue(QStringLiteral("Process_Started"), QStringLiteral("APPLICATIONVRQ")), QString());
    EXPECT_EQ(site.IniValue(QStringLiteral("WindowHandles"), QStringLiteral("APPLICATIONVRQ")), QStringLiteral("0"));
    EXPECT_TRUE(site.DebugText().contains(QStringLiteral("TfrmMain.FormClose : End")));
}

TEST_F(ProgramTest, SecondCopyBringsTheFirstForwardAndEnds) {
    site.Start();
    ASSERT_TRUE(site.WaitForDebugLine(QStringLiteral("After Listening")));
    QProcess& second = site.Start();
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(site.WaitForDebugLine(QStringLiteral("Brought forward by another copy"), 10000));
    EXPECT_FALSE(ReadGreeting(site.Port()).isEmpty()) << "the first copy still serves";
}

TEST_F(ProgramTest, AnotherServerOnTheComputerEndsTheStart) {
    // The application mutex of a server started from another program file.
    QProcess holder;
    holder.setProcessEnvironment(site.Environment());
    holder.start(site.BinDir() + QStringLiteral("/platform_helper"),
                 {QStringLiteral("hold-mutex"), QStringLiteral("Global\\MUTEX_NAME_VRQ_APPLICATION")});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_NE(server.exitCode(), 0);
    EXPECT_TRUE(site.DebugText().contains(QStringLiteral("Self.Mutex_Create=false")));
    holder.kill();
    holder.waitForFinished(5000);
}

TEST_F(ProgramTest, FailedStartLeavesATimeStamp) {
    QFile::remove(site.SitePath() + QStringLiteral("/halvexlogv2.GDB"));
    QProcess& server = site.Start({QStringLiteral("/MAXIMIZE")});
    ASSERT_TRUE(server.waitForFinished(60000));
    EXPECT_NE(server.exitCode(), 0);
    EXPECT_TRUE(site.DebugText().contains(QStringLiteral("g_intAppInitReturnCode = 14")))
        << site.DebugText().toStdString();
    const QString stamp = site.IniValue(QStringLiteral("Process_Started"), QStringLiteral("APPLICATIONVRQ"));
    EXPECT_EQ(stamp.size(), 19) << stamp.toStdString();
}

} // namespace
