#include "unitLPIClass.h"

#include <gtest/gtest.h>

namespace {

// A format-1 text: record, lock, then the fields from position 15 on; format 2 inserts the
// sub-number and shifts everything from the lock name on by four.
QString body(const QString& date3) {
    return QStringLiteral("0123") +             // 15-18 value A
           QStringLiteral("00000100") +         // 19-26 flags 1..8 (flag 6 set)
           QStringLiteral("255") +              // 27-29 value B
           QStringLiteral("07032024101112") +   // 30-43 date 1
           QStringLiteral("1") +                // 44 flag 9
           QStringLiteral("12312023235958") +   // 45-58 date 2
           QStringLiteral("0") +                // 59 flag 10
           date3 +                              // 60-73 date 3
           QStringLiteral("1") +                // 74 flag 11
           QStringLiteral("45") +               // 75, 76 values C, D
           QStringLiteral("200");               // 77-79 value E
}

QString format1(const QString& date3) { return QStringLiteral("01") + "007" + "0042" + "00000" + body(date3); }
QString format2(const QString& date3) {
    return QStringLiteral("33") + "007" + "012" + "00042" + "00000" + body(date3);
}

TEST(LockIntInfoTest, FormatsAndPositions) {
    for (const bool f2 : {false, true}) {
        TGeneralLockIntInfo info([](int n) { return n == 42 ? QStringLiteral("Room 42") : QString(); });
        const QString text = f2 ? format2(QStringLiteral("01022024080000")) : format1(QStringLiteral("01022024080000"));
        ASSERT_TRUE(info.Parse(text)) << info.FaultText.toStdString();
        EXPECT_EQ(info.Format, f2 ? 2 : 1);
        EXPECT_EQ(info.RecordNumber, 7);
        EXPECT_EQ(info.LockNumber, 42);
        EXPECT_EQ(info.SubNumber, f2 ? 12 : 0);
        EXPECT_EQ(info.LockName, QStringLiteral("Room 42"));
        EXPECT_EQ(info.ValueA, 123);
        EXPECT_TRUE(info.Flag(6));
        EXPECT_EQ(text.at(f2 ? 27 : 23), u'1'); // flag 6 is character 24 or 28
        EXPECT_EQ(info.ValueB, 255);
        EXPECT_EQ(info.Date1.ToQDateTime(), QDateTime(QDate(2024, 7, 3), QTime(10, 11, 12)));
        EXPECT_EQ(info.Date3.ToQDateTime(), QDateTime(QDate(2024, 1, 2), QTime(8, 0, 0)));
        EXPECT_TRUE(info.Flag(9));
        EXPECT_TRUE(info.Flag(11));
        EXPECT_EQ(info.ValueC, 4);
        EXPECT_EQ(info.ValueD, 5);
        EXPECT_EQ(info.ValueE, 200);
        EXPECT_EQ(info.Count, 0);
    }
}

TEST(LockIntInfoTest, EmptyDateThreeTakesDateTwoAndTheCount) {
    TGeneralLockIntInfo info;
    const QString text = format1(QStringLiteral("00000000001234"));
    ASSERT_TRUE(info.Parse(text));
    EXPECT_EQ(info.Date3, info.Date2);
    EXPECT_EQ(info.Count, text.mid(71, 6).toInt());
    EXPECT_EQ(info.LockName, QStringLiteral("Unknown"));
}

TEST(LockIntInfoTest, FaultsAreReportedAndFail) {
    const QString good = format1(QStringLiteral("01022024080000"));
    QString badByte = good;
    badByte.replace(26, 3, QStringLiteral("300"));
    QString badDate = good;
    badDate.replace(29, 2, QStringLiteral("13"));
    for (const QString& text : {QStringLiteral("01x"), good.left(50), badByte, badDate,
                                QStringLiteral("01ab70042")}) {
        TGeneralLockIntInfo info;
        EXPECT_FALSE(info.Parse(text)) << text.toStdString();
        EXPECT_FALSE(info.FaultText.isEmpty());
    }
}

} // namespace
