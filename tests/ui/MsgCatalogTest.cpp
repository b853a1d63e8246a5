// Field markers, message elements and the composition of catalogued messages.
#include "UlmexBitBtn.h"
#include "UlmexMsgBox.h"
#include "ui_test_support.h"
#include "unitLanguage.h"

#include <gtest/gtest.h>

namespace {

const QString CRLF = QStringLiteral("\r\n");
QString M(int n) {
    return MsgFieldMarker(n);
}

TEST(MsgFields, MarkerIsControlCharNumberBlank) {
    EXPECT_EQ(MsgFieldMarker(0), QString(QChar(1)) + QStringLiteral("0 "));
    EXPECT_EQ(MsgFieldMarker(12), QString(QChar(1)) + QStringLiteral("12 "));
}

TEST(MsgFields, InsertFieldsTable) {
    const QStringList two{QStringLiteral("  alpha  "), QStringLiteral("beta")};
    const struct {
        const char* name;
        QString text;
        QStringList fields;
        int highest;
        QString expected;
    } cases[] = {
        {"trimmed", QStringLiteral("<") + M(0) + QStringLiteral(">"), two, 1,
         QStringLiteral("<alpha>")},
        {"two", M(1) + M(0), two, 1, QStringLiteral("betaalpha")},
        {"blank",
         QStringLiteral("[") + M(0) + QStringLiteral("]"),
         {QStringLiteral("   ")},
         0,
         QStringLiteral("[xxxxxxx]")},
        {"empty", M(0), {QString()}, 0, QStringLiteral("xxxxxxx")},
        {"beyond", QStringLiteral("F ") + M(3), two, 1, QStringLiteral("F [INSERT FIELD 4]")},
        {"aboveHighest", M(1), two, 0, QStringLiteral("[INSERT FIELD 2]")},
        {"noBlank", QString(QChar(1)) + QStringLiteral("7x"), two, 1,
         QStringLiteral("[INSERT FIELD]x")},
        {"atEnd", QStringLiteral("a") + QChar(1), two, 1, QStringLiteral("a[INSERT FIELD]")},
        {"noMarker", QStringLiteral("plain"), {}, -1, QStringLiteral("plain")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MsgInsertFields(c.text, c.fields, c.highest), c.expected) << c.name;
}

TEST(MsgFields, ElementTable) {
    const QList<int> table{0, 2, 1, 9};
    const QStringList texts{QStringLiteral("one"), QStringLiteral("two")};
    EXPECT_EQ(MsgElement(table, 3, 0, texts, 1), QString());
    EXPECT_EQ(MsgElement(table, 3, 1, texts, 1), CRLF + QStringLiteral("two"));
    EXPECT_EQ(MsgElement(table, 3, 2, texts, 1), CRLF + QStringLiteral("one"));
    EXPECT_EQ(MsgElement(table, 3, 3, texts, 1), CRLF + QStringLiteral("[MSG ELEMENT 3]"));
    EXPECT_EQ(MsgElement(table, 3, 4, texts, 1), CRLF + QStringLiteral("[MSG ELEMENT 4]"));
    EXPECT_EQ(MsgElement(table, 1, 2, texts, 1), CRLF + QStringLiteral("[MSG ELEMENT 2]"));
}

TUlmexMsgArgs Compose(int number, const QStringList& fields) {
    TUlmexMsgArgs args;
    EXPECT_TRUE(MsgCatalogCompose_b(number, 0, fields, args)) << number;
    return args;
}

TEST(MsgCatalog, StationIdMissing161) {
    const TUlmexMsgArgs a = Compose(161, {QStringLiteral(" ST01 ")});
    EXPECT_EQ(a.title, QStringLiteral("ERROR STATION PROBLEM 161 - STATION ID MISSING"));
    EXPECT_EQ(a.centredText,
              QStringLiteral("STATION ID ST01 IS NOT ASSIGNED TO A COMPUTER IN THE VRQ.\r\n\r\n"
                             "Select a Station ID in the VRQ list using\r\nthe system tab and "
                             "terminal settings button.\r\n\r\nIf your computer has an encoder or "
                             "hand-held connected and\r\nis not listed, it must be added using "
                             "the VRQ program."));
    EXPECT_TRUE(a.leftText.isEmpty());
    EXPECT_EQ(a.icon, UlmexMB_ICONERROR);
    EXPECT_EQ(a.buttons, UlmexMB_OK);
    EXPECT_EQ(a.defaultButton, Ulmex_DefaultButton1);
    EXPECT_FALSE(a.autoSizeWidth);
}

TEST(MsgCatalog, HostNameMismatch163WithBlankAndMissingFields) {
    const QString head =
        QStringLiteral("STATION ID %1 IS NO LONGER ASSIGNED TO COMPUTER NAME %2\r\n"
                       "BUT IS ASSIGNED TO COMPUTER NAME %3 IN THE VRQ.");
    const struct {
        QStringList fields;
        QString expectedHead;
    } cases[] = {
        {{QStringLiteral("ST01"), QStringLiteral("PC-A"), QStringLiteral("PC-B")},
         head.arg(QStringLiteral("ST01"), QStringLiteral("PC-A"), QStringLiteral("PC-B"))},
        {{QStringLiteral("ST01"), QStringLiteral("  "), QStringLiteral("PC-B")},
         head.arg(QStringLiteral("ST01"), QStringLiteral("xxxxxxx"), QStringLiteral("PC-B"))},
        {{QStringLiteral("ST01"), QStringLiteral("PC-A")},
         head.arg(QStringLiteral("ST01"), QStringLiteral("PC-A"),
                  QStringLiteral("[INSERT FIELD 3]"))},
    };
    for (const auto& c : cases) {
        const TUlmexMsgArgs a = Compose(163, c.fields);
        EXPECT_EQ(a.title, QStringLiteral("ERROR STATION PROBLEM 163 - HOST NAME DID NOT MATCH"));
        EXPECT_TRUE(
            a.centredText.startsWith(c.expectedHead + QStringLiteral("\r\n\r\nOpen your VRQ")))
            << a.centredText.toStdString();
        EXPECT_TRUE(a.centredText.endsWith(QStringLiteral("terminal settings button.")));
    }
}

TEST(MsgCatalog, ComPort184UsesField2InLeftText) {
    const TUlmexMsgArgs a =
        Compose(184, {QStringLiteral("3"), QStringLiteral("ENCODER"), QStringLiteral("HAND-HELD")});
    EXPECT_EQ(a.title, QStringLiteral("ERROR - RS232 PORT PROBLEM 184"));
    EXPECT_EQ(a.centredText, QStringLiteral("THE TERMINAL HAS A PROBLEM ACCESSING COM PORT 3\r\n"
                                            "ASSIGNED TO THE ENCODER."));
    EXPECT_EQ(
        a.leftText,
        QStringLiteral("Before trying again:\r\n- Check your terminal COM port assignment.\r\n"
                       "- Disconnect the device connected to the COM port.\r\n- Connect the "
                       "HAND-HELD to the COM port.\r\n\r\nIf this does not resolve the "
                       "problem,\r\nyou may need to reboot your computer\r\nor you may have "
                       "a computer hardware problem."));
    EXPECT_EQ(a.icon, UlmexMB_ICONERROR);
    EXPECT_EQ(a.buttons, UlmexMB_OK);
}

TEST(MsgCatalog, TitlesIconsAndButtonsOfQuotedEntries) {
    const struct {
        int number;
        QString title;
        TUlmexIconType icon;
        TUlmexButtonsType buttons;
        QString centredStart;
    } cases[] = {
        {8, QStringLiteral("WARNING 8"), UlmexMB_IconExclamation, UlmexMB_OK,
         QStringLiteral("The computer's Date and Time is different than the Halvex System.\r\nYour "
                        "computer's Date and Time is f0.\r\nHalvex System's Date and Time is f1.")},
        {10, QStringLiteral("ERROR STATION PROBLEM 10 - STATION ID MISSING"), UlmexMB_ICONERROR,
         UlmexMB_OK, QStringLiteral("STATION ID f0 IS NOT ASSIGNED")},
        {11, QStringLiteral("ERROR STATION PROBLEM 11 - CANNOT FIND HOST"), UlmexMB_ICONERROR,
         UlmexMB_OK,
         QStringLiteral("TRIED TO ACCESS STATION ID f0 AT COMPUTER NAME f1 IN THE VRQ.")},
        {12, QStringLiteral("ERROR 12"), UlmexMB_ICONERROR, UlmexMB_OK,
         QStringLiteral("THE DATABASE FILES ARE IN THE PROCESS")},
        {-12, QStringLiteral("ERROR -12"), UlmexMB_ICONERROR, UlmexMB_OK,
         QStringLiteral("THE DATABASE FILES ARE IN THE PROCESS")},
        {13, QStringLiteral("ERROR 13"), UlmexMB_ICONERROR, UlmexMB_OK,
         QStringLiteral("THE MAXIMUM # OF USERS (f0) ARE ALREADY LOGGED ON.\r\n\r\nYou cannot log "
                        "on until someone else logs off.")},
        {14, QStringLiteral("ERROR 14"), UlmexMB_ICONERROR, UlmexMB_OK,
         QStringLiteral("YOU ARE NO LONGER LOGGED ON.\r\n\r\nPlease try logging on again.")},
        {162, QStringLiteral("ERROR STATION PROBLEM 162 - CANNOT FIND HOST"), UlmexMB_ICONERROR,
         UlmexMB_OK,
         QStringLiteral("TRIED TO ACCESS STATION ID f0 AT COMPUTER NAME f1 IN THE VRQ.")},
        {198, QStringLiteral("WARNING - RS232 PORT PROBLEM 198"), UlmexMB_IconExclamation,
         UlmexMB_RetryCancel, QStringLiteral("THE STATION f0 ASSIGNED TO THE f1\r\nIS BUSY")},
        {89250, QStringLiteral("MESSAGE 89250"), UlmexMB_IconInformation, UlmexMB_YesNo, QString()},
    };
    const QStringList fields{QStringLiteral("f0"), QStringLiteral("f1"), QStringLiteral("f2")};
    for (const auto& c : cases) {
        const TUlmexMsgArgs a = Compose(c.number, fields);
        EXPECT_EQ(a.title, c.title) << c.number;
        EXPECT_EQ(a.icon, c.icon) << c.number;
        EXPECT_EQ(a.buttons, c.buttons) << c.number;
        EXPECT_TRUE(a.centredText.startsWith(c.centredStart)) << a.centredText.toStdString();
        EXPECT_FALSE(a.centredText.contains(QStringLiteral("%0:s")));
    }
    EXPECT_TRUE(Compose(89250, {}).centredText.endsWith(
        QStringLiteral("DO YOU WISH TO START THE CHECK IN PROCESS?")));
    EXPECT_TRUE(
        Compose(198, fields)
            .leftText.startsWith(QStringLiteral("If this problem continues:\r\n- Check your")));
}

TEST(MsgCatalog, Message0TakesFieldsDirectly) {
    const TUlmexMsgArgs a =
        Compose(0, {QString(), QStringLiteral("\r\nError - Com Open"), QStringLiteral("a%0:sb")});
    EXPECT_EQ(a.title, QString());
    EXPECT_EQ(a.centredText, QStringLiteral("Error - Com Open"));
    EXPECT_EQ(a.leftText, QStringLiteral("a\r\nb"));
    EXPECT_EQ(a.icon, UlmexMB_ICONERROR);
    EXPECT_EQ(a.buttons, UlmexMB_OK);
}

TEST(MsgCatalog, EveryListedNumberHasATitledEntry) {
    const QList<int> numbers = MsgCatalogNumbers();
    EXPECT_EQ(numbers.size(), 249);
    for (int n : {-12, 0, 111, 120, 183, 188, 451, 466, 3213, 15227, 60216, 71206, 89250})
        EXPECT_TRUE(numbers.contains(n)) << n;
    for (int n : numbers) {
        TUlmexMsgArgs a;
        ASSERT_TRUE(MsgCatalogCompose_b(n, 0, {QStringLiteral("detail")}, a));
        if (n != 0) {
            EXPECT_TRUE(a.title.contains(QString::number(n))) << n;
            EXPECT_FALSE(a.centredText.isEmpty()) << n;
            EXPECT_FALSE(a.centredText.contains(QChar(1))) << n;
        }
    }
}

TEST(MsgCatalog, UnknownNumberShowsNotice) {
    TUlmexMsgArgs a;
    EXPECT_FALSE(MsgCatalogCompose_b(4242, 3, {QStringLiteral("x")}, a));
    EXPECT_EQ(a.title, QApplication::applicationDisplayName());
    EXPECT_EQ(a.centredText, QStringLiteral("Ulmex Message Box"));
    EXPECT_EQ(a.icon, UlmexMB_IconInformation);
    EXPECT_EQ(a.buttons, UlmexMB_OK);
    EXPECT_EQ(a.timeOutSecs, 3);
}

TEST(MsgCatalog, BoxWritesDebugLinesAndShowsComposedTexts) {
    TDebugFolder log;
    TUlmexMsgArgs seen;
    g_UlmexMsgBox_Override.fn = [&](const QString& t, const QString& c, const QString& l, bool a,
                                    int s, TUlmexIconType i, TUlmexDefaultButtonType d,
                                    TUlmexButtonsType b, void*) {
        seen = {t, c, l, a, s, i, d, b};
        return 1;
    };
    const int r =
        MsgCatalogBox(184, 7, {QStringLiteral("2"), QStringLiteral("ENC"), QStringLiteral("ENC")});
    g_UlmexMsgBox_Override = {};
    EXPECT_EQ(r, 1);
    EXPECT_EQ(seen.title, QStringLiteral("ERROR - RS232 PORT PROBLEM 184"));
    EXPECT_EQ(seen.timeOutSecs, 7);
    const QString text = log.Text();
    EXPECT_TRUE(text.contains(QStringLiteral(" 0 toto7\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral(" 0 toto call app logBefore trying again:")));
    EXPECT_TRUE(text.contains(QStringLiteral(" 0 Before trying again:")));
}

TEST(MsgCatalog, TextsBoxTakesTitleAndTextsByPosition) {
    TUlmexMsgArgs seen;
    g_UlmexMsgBox_Override.fn = [&](const QString& t, const QString& c, const QString& l, bool a,
                                    int s, TUlmexIconType i, TUlmexDefaultButtonType d,
                                    TUlmexButtonsType b, void*) {
        seen = {t, c, l, a, s, i, d, b};
        return -1;
    };
    EXPECT_EQ(MsgTextsBox(UlmexMB_IconExclamation,
                          {QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("L")}, 1),
              -1);
    g_UlmexMsgBox_Override = {};
    EXPECT_EQ(seen.title, QStringLiteral("T"));
    EXPECT_EQ(seen.centredText, QStringLiteral("C"));
    EXPECT_EQ(seen.leftText, QString());
    EXPECT_EQ(seen.icon, UlmexMB_IconExclamation);
    EXPECT_EQ(seen.buttons, UlmexMB_OK);
    EXPECT_EQ(seen.timeOutSecs, 0);
}

} // namespace

namespace {

TEST(Language, InstalledTranslationReachesCatalogueAndButtons) {
    EXPECT_EQ(LangIDLocale_str(1031), QStringLiteral("de"));
    EXPECT_EQ(LangIDLocale_str(-1), QString());
    ASSERT_TRUE(ApplyLanguage_b(1031)) << TranslationsFolder_str().toStdString();
    TUlmexMsgArgs a;
    MsgCatalogCompose_b(14, 0, {}, a);
    EXPECT_EQ(a.title, QStringLiteral("FEHLER 14"));
    EXPECT_EQ(
        a.centredText,
        QStringLiteral("SIE SIND NICHT MEHR ANGEMELDET.\r\n\r\nBitte melden Sie sich erneut an."));
    EXPECT_EQ(TUlmexBitBtn::KindCaption(bkCancel), QStringLiteral("Abbrechen"));
    EXPECT_FALSE(ApplyLanguage_b(-1));
    MsgCatalogCompose_b(14, 0, {}, a);
    EXPECT_EQ(a.title, QStringLiteral("ERROR 14"));
}

} // namespace
