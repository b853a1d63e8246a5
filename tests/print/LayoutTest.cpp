// Layout text, key strings, database load and the drawn page (to a PDF file).
#include "Errors.h"
#include "print/print_test_support.h"
#include "unitKeyPrintLayout.h"
#include "unitKeyPrintLayoutBase.h"

#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace print_test;

namespace {

QByteArray Items(const QList<QByteArray>& items) {
    return items.join(char(0x7F));
}

QList<QByteArray> FieldItems(int field, const QByteArray& font, int size, int style, int x, int y) {
    return {"7",
            QByteArray::number(field),
            font,
            "0",
            "1",
            QByteArray::number(size),
            QByteArray::number(style),
            QByteArray::number(x),
            QByteArray::number(y)};
}

} // namespace

struct LayoutTextCase {
    const char* name;
    QByteArray text;
    QString error;
    size_t fields;
    int orientation;
};

TEST(LayoutText, ParsesFieldsAndOrientation) {
    const QList<QByteArray> f1 = FieldItems(1, "DejaVu Sans", 12, 1, 100, 200);
    const QList<QByteArray> f2 = FieldItems(2, "DejaVu Serif", 9, 6, 300, 400);
    const LayoutTextCase cases[] = {
        {"two fields (19 items)", Items(f1 + f2 + QList<QByteArray>{"2"}), {}, 2, 2},
        {"18 items", Items(f1 + f2.mid(0, 8) + QList<QByteArray>{"2"}),
         "INVALID PRINT LAYOUT COMM STRING", 0, 1},
        {"orientation alone", "2", {}, 0, 2},
        {"orientation 3 is landscape", Items(f1 + QList<QByteArray>{"3"}), {}, 1, 1},
        {"empty text", "", "COULD NOT PARSE PRINT LAYOUT COMM STRING", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKeyPrintLayoutBase layout;
        EXPECT_EQ(layout.SetCommString(c.text), c.error);
        EXPECT_EQ(layout.Fields().size(), c.fields);
        EXPECT_EQ(layout.lngOrientation(), c.orientation);
    }
}

TEST(LayoutText, FieldItemsLandInTheirPlaces) {
    TKeyPrintLayoutBase layout;
    ASSERT_EQ(layout.SetCommString(
                  Items({"7", "3", "Arial Narrow", "238", "2", "14", "13", "120", "340", "1"})),
              QString());
    ASSERT_EQ(layout.Fields().size(), 1u);
    const TKeyPrintFieldDef& f = *layout.Fields()[0];
    EXPECT_EQ(f.idxKeyPrintLayoutID, 7);
    EXPECT_EQ(f.idxFieldID, 3);
    EXPECT_EQ(f.strFont_Name, "Arial Narrow");
    EXPECT_EQ(f.intFont_Charset, 238);
    EXPECT_EQ(f.intFont_Pitch, 2);
    EXPECT_EQ(f.intFont_Size, 14);
    EXPECT_EQ(f.intFont_Style, 13);
    EXPECT_EQ(f.intXPos, 120);
    EXPECT_EQ(f.intYPos, 340);
}

TEST(LayoutText, RoundTripsThroughTheInverse) {
    const QByteArray text =
        Items(FieldItems(1, "DejaVu Sans", 12, 1, 100, 200) +
              FieldItems(2, "DejaVu Serif", 9, 6, 300, 400) + QList<QByteArray>{"2"});
    TKeyPrintLayoutBase layout;
    ASSERT_EQ(layout.SetCommString(text), QString());
    EXPECT_EQ(layout.GetCommString(), text);
    TKeyPrintLayoutBase empty;
    EXPECT_EQ(empty.GetCommString(), "1");
}

TEST(LayoutText, AppendsToExistingFields) {
    TKeyPrintLayoutBase layout;
    const QByteArray text = Items(FieldItems(1, "A", 10, 0, 1, 2) + QList<QByteArray>{"1"});
    ASSERT_EQ(layout.SetCommString(text), QString());
    ASSERT_EQ(layout.SetCommString(text), QString());
    EXPECT_EQ(layout.Fields().size(), 2u);
}

TEST(LayoutText, NonNumberItemIsReportedNotThrown) {
    TKeyPrintLayoutBase layout;
    const QString error = layout.SetCommString(
        Items(FieldItems(1, "A", 10, 0, 1, 2).mid(0, 7) + QList<QByteArray>{"x1", "2", "1"}));
    EXPECT_TRUE(error.startsWith("TKeyPrintLayoutBase.SetCommString: An error occurred:   "))
        << error.toStdString();
    EXPECT_TRUE(error.contains("x1")) << error.toStdString();
}

struct KeyStringCase {
    const char* name;
    QByteArray keyString;
    bool ok;
    QByteArray track1, track2, track3;
    QList<QByteArray> texts;
};

TEST(KeyString, RecordsDecode) {
    const KeyStringCase cases[] = {
        {"track 1 B123", Track1Record("B123"), true, "B123", {}, {}, {}},
        {"track 1 literal %B?", "10003A28FE0", true, "B", {}, {}, {}},
        {"track 2 literal ;1?", "20002D43E", true, {}, "1", {}, {}},
        {"track 2 digits", Track2Record("1234567890=99"), true, {}, "1234567890=99", {}, {}},
        {"track 1 without end sentinel keeps every character",
         Record('1', EncodeTrack("%AB", 6, 32)),
         true,
         "%AB",
         {},
         {},
         {}},
        {"track 3 reversed", Record('3', "123ABC"), true, {}, {}, "CBA321", {}},
        {"printed texts split at quotes",
         Record('4', "ROOM 12\"JOHN SMITH\"01/02"),
         true,
         {},
         {},
         {},
         {"ROOM 12", "JOHN SMITH", "01/02"}},
        {"all records",
         Track1Record("X9") + Track2Record("55") + Record('3', "12") + Record('4', "A\"B"),
         true,
         "X9",
         "55",
         "21",
         {"A", "B"}},
        {"unknown record type", Record('4', "A") + Record('5', "00"), false, {}, {}, {}, {"A"}},
        {"empty key string", "", true, {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKeyStringData data;
        EXPECT_EQ(ParseHalvexKeyString_b(c.keyString, data), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(data.track1, c.track1);
        EXPECT_EQ(data.track2, c.track2);
        EXPECT_EQ(data.track3, c.track3);
        EXPECT_EQ(data.printTexts, c.texts);
    }
}

TEST(KeyString, MalformedRecordsRaiseWithTheParserHeading) {
    const QByteArray cases[] = {"1000", "100XY12", "10002A2", "10001ZZ", "40010ABC"};
    for (const QByteArray& keyString : cases) {
        SCOPED_TRACE(keyString.constData());
        TKeyStringData data;
        try {
            ParseHalvexKeyString_b(keyString, data);
            ADD_FAILURE() << "no fault raised";
        } catch (const EUlmex& e) {
            EXPECT_TRUE(e.Message().startsWith("Error - ParseHalvexKeyString_b "))
                << e.Message().toStdString();
        }
    }
}

// A data module stand-in holding rows in memory.
class MemoryLayoutStore : public IKeyPrintLayoutStore {
public:
    std::map<int, TKeyPrintLayoutRecord> layouts;
    std::map<int, QList<TKeyPrintFieldDefRow>> fields;
    bool failFieldDefs = false;
    int updates = 0;

    bool ReadLayoutRecord_b(int id, TKeyPrintLayoutRecord& record) override {
        const auto it = layouts.find(id);
        if (it == layouts.end())
            return false;
        record = it->second;
        return true;
    }
    QList<TKeyPrintFieldDefRow> ReadFieldDefRows(int id) override {
        if (failFieldDefs)
            throw EUlmex("connection lost");
        return fields[id];
    }
    void AppendLayoutRecord(const TKeyPrintLayoutRecord& r) override {
        layouts[r.idxKeyPrintLayoutID] = r;
    }
    bool UpdateLayoutRecord_b(const TKeyPrintLayoutRecord& r) override {
        ++updates;
        if (!layouts.count(r.idxKeyPrintLayoutID))
            return false;
        layouts[r.idxKeyPrintLayoutID] = r;
        return true;
    }
};

class KeyPrintLayoutDb : public ::testing::Test {
protected:
    void SetUp() override {
        store.layouts[5] = {5, "Guest card", 2, {}};
        store.fields[5] = {{5, 1, "DejaVu Sans", 0, 1, 12, 1, 100, 150},
                           {5, 2, "DejaVu Serif", 0, 2, 8, 0, 100, 400}};
    }
    MemoryLayoutStore store;
};

TEST_F(KeyPrintLayoutDb, LoadsRecordAndFieldsInRowOrder) {
    TKeyPrintLayout layout(&store);
    EXPECT_EQ(layout.SetKeyPrintLayoutID(5), QString());
    EXPECT_EQ(layout.strName(), "Guest card");
    EXPECT_EQ(layout.lngOrientation(), 2);
    ASSERT_EQ(layout.Fields().size(), 2u);
    EXPECT_EQ(layout.Fields()[1]->strFont_Name, "DejaVu Serif");
    EXPECT_FALSE(layout.Editing());
}

TEST_F(KeyPrintLayoutDb, LayoutTextForStation) {
    QString error;
    const QByteArray text = LayoutTextForStation(&store, 5, error);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(text, Items({"5", "1", "DejaVu Sans", "0", "1", "12", "1", "100", "150", //
                           "5", "2", "DejaVu Serif", "0", "2", "8", "0", "100", "400", "2"}));
    EXPECT_EQ(store.updates, 0);
}

TEST_F(KeyPrintLayoutDb, LoadFailuresGiveTexts) {
    {
        TKeyPrintLayout layout(&store);
        EXPECT_EQ(layout.SetKeyPrintLayoutID(9),
                  "Unable to find definition record for Key Print Layout ID 9");
    }
    {
        TKeyPrintLayout layout(nullptr);
        EXPECT_EQ(layout.SetKeyPrintLayoutID(5), "dmKeyPrintLayout not assigned");
    }
    {
        store.failFieldDefs = true;
        TKeyPrintLayout layout(&store);
        EXPECT_EQ(layout.SetKeyPrintLayoutID(5),
                  "TKeyPrintLayout.ReadFieldDefs: An error occurred:  connection lost");
    }
}

TEST_F(KeyPrintLayoutDb, EditCycleWritesBackAndReportsAMissingRow) {
    {
        TKeyPrintLayout layout(&store);
        ASSERT_EQ(layout.SetKeyPrintLayoutID(5), QString());
        layout.SetEditing(true);
        layout.SetstrName("Staff card");
    }
    EXPECT_EQ(store.layouts[5].strName, "Staff card");
    EXPECT_FALSE(store.layouts[5].datRecordLocked.IsEmpty());

    TKeyPrintLayout layout(&store);
    ASSERT_EQ(layout.SetKeyPrintLayoutID(5), QString());
    EXPECT_TRUE(layout.LockText().startsWith("Record locked since "));
    store.layouts.erase(5);
    EXPECT_EQ(layout.UpdateRecord(), "CANNOT UPDATE : Unable to find KeyPrintLayoutID: 5");
}

// The drawn page, printed to a PDF file and read back with pdftotext.
class PrintLinesPdf : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QByteArray out;
        if (!RunTool("pdftotext", {"-v"}, &out))
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setResolution(300);
        printer.setFullPage(true);
    }
    QTemporaryDir dir;
    QString pdf = dir.filePath("page.pdf");
    QPrinter printer{QPrinter::HighResolution};
};

TEST_F(PrintLinesPdf, TextsAtTheirFieldsDeviceCoordinates) {
    TKeyPrintLayoutBase layout;
    // 300 dpi: 300 units are one inch (72 pt).
    ASSERT_EQ(layout.SetCommString(Items(FieldItems(1, "DejaVu Sans", 12, 0, 300, 600) +
                                         FieldItems(2, "DejaVu Sans", 12, 0, 900, 150) +
                                         QList<QByteArray>{"2"})),
              QString());
    ASSERT_EQ(layout.Print_Lines(printer, {"ALPHA", "BRAVO", "CHARLIE", "DELTA"}, 2), QString());
    TPdfPage page;
    ASSERT_TRUE(ReadPdf(pdf, page));
    EXPECT_LT(page.width, page.height) << "orientation 2 is portrait";
    const TPdfWord* alpha = page.Find("ALPHA");
    const TPdfWord* bravo = page.Find("BRAVO");
    ASSERT_TRUE(alpha && bravo);
    EXPECT_NEAR(alpha->xMin, 72, 3);
    EXPECT_NEAR(alpha->yMin, 144, 4);
    EXPECT_NEAR(bravo->xMin, 216, 3);
    EXPECT_NEAR(bravo->yMin, 36, 4);
    EXPECT_FALSE(page.Has("CHARLIE")) << "only as many texts as fields";
    EXPECT_FALSE(page.Has("DELTA"));
}

TEST_F(PrintLinesPdf, OtherOrientationsPrintLandscapeWithTheFieldsFont) {
    TKeyPrintLayoutBase layout;
    ASSERT_EQ(
        layout.SetCommString(Items(FieldItems(1, "DejaVu Serif", 20, fsBold | fsItalic, 100, 100) +
                                   QList<QByteArray>{"3"})),
        QString());
    ASSERT_EQ(layout.Print_Lines(printer, {"ROOM"}, layout.lngOrientation()), QString());
    TPdfPage page;
    ASSERT_TRUE(ReadPdf(pdf, page));
    EXPECT_GT(page.width, page.height);
    EXPECT_TRUE(page.Has("ROOM"));
    const QByteArray fonts = PdfFonts(pdf);
    EXPECT_TRUE(fonts.contains("DejaVuSerif-BoldItalic")) << fonts.constData();
}
