#include "IniFile.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Lines of a log with the 23-character time stamp and its blank cut off.
QStringList bodies(const QString& fileName) {
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    const QString text = QString::fromLocal8Bit(f.readAll());
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        if (line.isEmpty())
            continue;
        out << (line.size() > 24 && line[4] == u'-' ? line.mid(24) : line);
    }
    return out;
}

class TraceTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    void SetUp() override {
        qunsetenv("HALVEX_DEBUG_FOLDER");
        SetAppPath(dir.path());
        TraceResetIndent();
    }
    void TearDown() override {
        SetAppPath(QString());
        TraceInit(QString(), {});
    }
};

TEST_F(TraceTest, NestedStartLineEndAndTwoLineMessage) {
    TIniFile(dir.filePath(QStringLiteral("halvex.ini")))
        .WriteString(QStringLiteral("Trace"), QStringLiteral("Halvex_VRQ"), QStringLiteral("yes"));
    TraceInit(dir.filePath(QStringLiteral("Halvex_VRQ")), {});
    ASSERT_TRUE(TraceSwitchOn());
    DebugLogStart(QStringLiteral("Op"));
    DebugLog(QStringLiteral("line"));
    DebugLogEnd(QStringLiteral("Op"));
    DebugLog(QStringLiteral("first\r\nsecond"));

    EXPECT_TRUE(TraceFileName().endsWith(QStringLiteral("Halvex_VRQ_Trace_App_") +
                                         QDate::currentDate().toString(QStringLiteral("yyyyMM")) +
                                         QStringLiteral(".txt")));
    const QStringList trace = bodies(TraceFileName());
    const QStringList expected = {
        QStringLiteral("App Op : Start"),
        QStringLiteral("App    line"),
        QStringLiteral("App Op : End"),
        QStringLiteral("App first"),
        QString(28, u' ') + QStringLiteral("second"),
    };
    EXPECT_EQ(trace, expected);
    const QStringList debug = bodies(DebugMessageFileName());
    EXPECT_EQ(debug.value(0), QStringLiteral("0 Op : Start"));
    EXPECT_EQ(debug.value(1), QStringLiteral("0 line"));
    EXPECT_EQ(debug.value(2), QStringLiteral("0 Op : End"));
}

TEST_F(TraceTest, SwitchOffWritesOnlyTheDebugFileAndTheSwitchBack) {
    TraceInit(dir.filePath(QStringLiteral("VorqenSVC")), {});
    EXPECT_EQ(TraceRunTag(), QStringLiteral("Svc"));
    EXPECT_FALSE(TraceSwitchOn());
    EXPECT_EQ(TIniFile(dir.filePath(QStringLiteral("halvex.ini")))
                  .ReadString(QStringLiteral("Trace"), QStringLiteral("VorqenSVC"), {}),
              QStringLiteral("False"));
    DebugLog(QStringLiteral("only debug"));
    EXPECT_FALSE(QFile::exists(TraceFileName()));
    EXPECT_EQ(bodies(DebugMessageFileName()), QStringList{QStringLiteral("0 only debug")});
}

TEST_F(TraceTest, TraceSubfolderDropsTheRunTagFromTheName) {
    QDir(dir.path()).mkdir(QStringLiteral("Trace"));
    TraceInit(dir.filePath(QStringLiteral("Halvex_VRQ")), {});
    EXPECT_TRUE(TraceFileName().contains(QStringLiteral("/Trace/Halvex_VRQ_Trace_2")));
    EXPECT_EQ(DebugLogStartEnd(QStringLiteral("start Attach")), QStringLiteral("Attach : Start"));
    EXPECT_EQ(TraceIndent(), 3);
    EXPECT_EQ(DebugLogStartEnd(QStringLiteral("END Attach")), QStringLiteral("Attach : End"));
    EXPECT_EQ(TraceIndent(), 0);
}

} // namespace
