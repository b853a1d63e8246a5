#include "NamedMutex.h"

#include <QProcess>
#include <QUuid>
#include <gtest/gtest.h>

#include <csignal>

TEST(NamedMutexTest, SecondOwnerGets183UntilTheHolderIsKilled) {
    const QString name = QStringLiteral("Global\\VRQ_TEST_") + QUuid::createUuid().toString(QUuid::Id128);
    QProcess holder;
    holder.start(qEnvironmentVariable("VRQ_BIN_DIR") + QStringLiteral("/platform_helper"),
                 {QStringLiteral("hold-mutex"), name});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    EXPECT_EQ(holder.readLine().trimmed(), QByteArray("0"));
    {
        TNamedMutex second(name);
        EXPECT_TRUE(second.IsValid());
        EXPECT_FALSE(second.IsOwner());
        EXPECT_EQ(second.LastError(), ERROR_ALREADY_EXISTS);
    }
    ::kill(pid_t(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished(10000));
    TNamedMutex third(name);
    EXPECT_TRUE(third.IsOwner());
    EXPECT_EQ(third.LastError(), 0);
}
