#include "untFileDrops.h"

#include "unitSharedSettings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FileDropTest : public ::testing::Test {
protected:
    QTemporaryDir work;
    void SetUp() override { SetAppPath(work.path()); }
    void TearDown() override { SetAppPath(QString()); }
    QByteArray read(const QString& name) const {
        QFile f(work.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    TInnerRangeSettings settings(int format) const {
        TInnerRangeSettings s;
        s.bInnerRangeInterface = true;
        s.intInnerRangeFile_Format = format;
        s.strInnerRangeGenericFile_Name = QStringLiteral("keys.txt");
        s.strInnerRangeFilePath = QStringLiteral("  ") + work.path() + QStringLiteral("/  ");
        return s;
    }
};

TEST_F(FileDropTest, InnerRangeFileGetsItsHeaderOnceThenOneLinePerRequest) {
    InnerRangeFileWrite(settings(3), "101\tSMITH", QStringLiteral("dd/mm/yyyy hh:nn:ss:zzz"));
    InnerRangeFileWrite(settings(3), "102\tJONES", QStringLiteral("dd/mm/yyyy hh:nn:ss:zzz"));
    const QList<QByteArray> lines = read(QStringLiteral("keys.txt")).split('\n');
    ASSERT_EQ(lines.size(), 4); // three lines and the final line end
    EXPECT_EQ(lines[0], QByteArray("###\tsecondname\tusertype\tdirectnumber\texpiry\tkeygroup\tkeyname"
                                   "\tdupid\tstatus\tdatecreated\r"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^101\tSMITH\t\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3}\r$"))
                    .match(QString::fromLatin1(lines[1]))
                    .hasMatch())
        << lines[1].constData();
}

TEST_F(FileDropTest, InnerRangeFormatOneUsesItsOwnFileNameAndCommas) {
    InnerRangeFileWrite(settings(1), "7", {});
    EXPECT_TRUE(read(QStringLiteral("Insight001.dui")).startsWith("###,secondname,"));
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("keys.txt"))));
}

TEST_F(FileDropTest, InnerRangeOffOrIncompleteWritesNothing) {
    TInnerRangeSettings off = settings(2);
    off.bInnerRangeInterface = false;
    InnerRangeFileWrite(off, "1", {});
    TInnerRangeSettings noName = settings(2);
    noName.strInnerRangeGenericFile_Name.clear();
    InnerRangeFileWrite(noName, "1", {});
    InnerRangeFileWrite(settings(2), "", {});
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("keys.txt"))));
}

TEST_F(FileDropTest, InnerRangeUnreachableFolderRaises) {
    TInnerRangeSettings s = settings(2);
    s.strInnerRangeFilePath = work.filePath(QStringLiteral("missing/"));
    EXPECT_THROW(InnerRangeFileWrite(s, "1", {}), std::exception);
}

TEST_F(FileDropTest, InnerRangeStampUsesTheSystemDateSeparator) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    InnerRangeFileWrite(settings(2), "1", QStringLiteral("dd/mm/yyyy hh:nn:ss:zzz"));
    QLocale::setDefault(saved);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\n1,\\d\\d\\.\\d\\d\\.\\d{4} "))
                    .match(QString::fromLatin1(read(QStringLiteral("keys.txt"))))
                    .hasMatch());
}

TEST_F(FileDropTest, GenericFileSplitsAtTheFirstCaret) {
    GenericFileWrite("log.txt^a^b^c", QStringLiteral("yyyy-mm-dd hh:nn:ss:zzz"));
    GenericFileWrite("log.txt^second", {});
    const QList<QByteArray> lines = read(QStringLiteral("log.txt")).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(", a^b^c\r"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}, second\r$"))
                    .match(QString::fromLatin1(lines[1]))
                    .hasMatch());
}

TEST_F(FileDropTest, GenericFileWithoutUsableNameOrLineWritesNothing) {
    for (const char* data : {"nocaret", "^line", "name.txt^", "../escape.txt^x", "sub/a.txt^x"})
        EXPECT_NO_THROW(GenericFileWrite(data, {})) << data;
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("name.txt"))));
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("../escape.txt"))));
}

TEST_F(FileDropTest, GenericFileNeverFollowsALinkOutOfTheWorkFolder) {
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("target.txt"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("untouched");
    }
    ASSERT_TRUE(QFile::link(target, work.filePath(QStringLiteral("link.txt"))));
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("folder.txt")));
    EXPECT_NO_THROW(GenericFileWrite("link.txt^x", {}));
    EXPECT_NO_THROW(GenericFileWrite("folder.txt^x", {}));
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("untouched"));
}

TEST_F(FileDropTest, ExistingFileIsNeverEmptied) {
    {
        QFile f(work.filePath(QStringLiteral("log.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept\r\n");
    }
    GenericFileWrite("log.txt^new", {});
    EXPECT_TRUE(read(QStringLiteral("log.txt")).startsWith("kept\r\n"));
}

} // namespace
