#include "IniFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("halvex.ini")); }
    void writeRaw(const QByteArray& bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct ReadCase {
    const char* name;
    QByteArray file;
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(IniFileTest, ReadsWithProfileRules) {
    const ReadCase cases[] = {
        {"letter case of names", "[database]\r\nLINKPATH=/srv/db\r\n", "Database", "LinkPath",
         "/srv/db"},
        {"blanks around key and value", "[Misc]\r\n  LangID  =   7  \r\n", "MISC", "langid", "7"},
        {"first duplicate wins", "[Misc]\r\nA=1\r\nA=2\r\n", "Misc", "a", "1"},
        {"value keeps later equals", "[X]\r\nK=a=b==c\r\n", "X", "K", "a=b==c"},
        {"LF-only file", "[X]\nK=lf\n", "X", "K", "lf"},
        {"key of another section", "[A]\r\nK=1\r\n[B]\r\nJ=2\r\n", "B", "K", "default"},
        {"empty value", "[X]\r\nK=\r\n", "X", "K", ""},
        {"comment line is no key", "[X]\r\n;K=1\r\n", "X", "K", "default"},
    };
    for (const ReadCase& c : cases) {
        writeRaw(c.file);
        TIniFile ini(path());
        EXPECT_EQ(ini.ReadString(QString::fromLatin1(c.section), QString::fromLatin1(c.key),
                                 QStringLiteral("default")),
                  QString::fromLatin1(c.expected))
            << c.name;
    }
}

TEST_F(IniFileTest, MissingFileReadsDefaultsAndFirstWriteCreatesCrLfFile) {
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Misc"), QStringLiteral("LangID"), -1), -1);
    EXPECT_FALSE(QFile::exists(path()));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Misc"), QStringLiteral("LangID"), QStringLiteral("3")));
    EXPECT_EQ(readRaw(), QByteArray("[Misc]\r\nLangID=3\r\n"));
}

TEST_F(IniFileTest, WriteKeepsOtherLinesCommentsOrderAndLineEnds) {
    writeRaw("; site settings\n[Database]\nLinkPath=/a\n\n[Misc]\nLangID=1\nOther=x\n");
    TIniFile ini(path());
    ASSERT_TRUE(ini.WriteString(QStringLiteral("misc"), QStringLiteral("LANGID"), QStringLiteral("9")));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Database"), QStringLiteral("New"), QStringLiteral("n")));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Fresh"), QStringLiteral("K"), QStringLiteral("v")));
    EXPECT_EQ(readRaw(), QByteArray("; site settings\n[Database]\nLinkPath=/a\nNew=n\n\n[Misc]\n"
                                    "LANGID=9\nOther=x\n\n[Fresh]\nK=v\n"));
    ASSERT_TRUE(ini.DeleteKey(QStringLiteral("Misc"), QStringLiteral("Other")));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("Misc")), QStringList{QStringLiteral("LANGID")});
    ASSERT_TRUE(ini.EraseSection(QStringLiteral("database")));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("Database")));
}

TEST_F(IniFileTest, TwoProcessesWritingAtOnceLoseNoKey) {
    const QString helper = qEnvironmentVariable("VRQ_BIN_DIR") + QStringLiteral("/platform_helper");
    constexpr int n = 60;
    QProcess a, b;
    a.start(helper, {QStringLiteral("ini"), path(), QStringLiteral("S"), QStringLiteral("a"),
                     QString::number(n)});
    b.start(helper, {QStringLiteral("ini"), path(), QStringLiteral("S"), QStringLiteral("b"),
                     QString::number(n)});
    ASSERT_TRUE(a.waitForFinished(30000));
    ASSERT_TRUE(b.waitForFinished(30000));
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_EQ(b.exitCode(), 0);
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadSection(QStringLiteral("S")).size(), 2 * n);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("b59"), -1), 59);
}

} // namespace
