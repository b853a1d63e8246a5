// Card printing into a private CUPS scheduler (scripts/cups-server.sh): each test adds its own
// raw queue whose socket device is a capture listener of the test.
#include "THalvexError.h"
#include "print/capture_listener.h"
#include "print/print_test_support.h"
#include "unitFargoWrite.h"
#include "unitKeyPrintLayoutBase.h"
#include "unitPrinterOutput.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <thread>

using namespace print_test;

namespace {

constexpr int kJobWaitMs = 30000;

const QByteArray kEncode("\x1B\x00\x02M", 4);

QByteArray MagTrack(const char* marker, const QByteArray& text) {
    return kEncode + marker + text + "?" + QByteArray(1, '\0');
}

QByteArray LayoutText(const QList<QByteArray>& items) {
    return items.join(char(0x7F));
}

// Two fields, portrait.
const QByteArray kTwoFieldLayout =
    LayoutText({"1", "1", "DejaVu Sans", "0", "1", "12", "1", "150", "150", //
                "1", "2", "DejaVu Sans", "0", "1", "10", "0", "150", "400", "2"});

// Titles of the queue's jobs, oldest first.
QStringList JobTitles(const QString& queue) {
    QStringList titles;
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                10000, nullptr);
    if (!http)
        return titles;
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(http, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    for (int i = n - 1; i >= 0; --i)
        titles << QString::fromUtf8(jobs[i].title);
    cupsFreeJobs(n, jobs);
    httpClose(http);
    return titles;
}

} // namespace

class CupsPrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QByteArray server = qgetenv("VRQ_CUPS_SERVER");
        if (!server.isEmpty())
            qputenv("CUPS_SERVER", server);
    }

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("VRQ_CUPS_SERVER"))
            GTEST_SKIP() << "no private cupsd (run scripts/cups-server.sh start)";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(capture.Start());
        static int counter = 0;
        queue =
            QStringLiteral("VrqTest%1x%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        description = queue + QStringLiteral(" on USB001");
        QByteArray out;
        ASSERT_TRUE(RunTool("lpadmin",
                            {"-p", queue, "-E", "-v",
                             QStringLiteral("socket://127.0.0.1:%1").arg(capture.Port()), "-m",
                             "raw", "-D", description},
                            &out))
            << "lpadmin could not add the queue";
        added = true;
        SelectPrinter(QString());
    }

    void TearDown() override {
        if (added)
            RunTool("lpadmin", {"-x", queue}, nullptr);
    }

    // Reads a captured page job as PDF.
    TPdfPage Page(const QByteArray& job) {
        TPdfPage page;
        const QString file = dir.filePath(QStringLiteral("job%1.pdf").arg(++pdfCount));
        QFile f(file);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(job);
            f.close();
            ReadPdf(file, page);
        }
        return page;
    }

    static TPrinterPauses ShortPauses() {
        TPrinterPauses p;
        p.beforeReleaseMs = p.afterReleaseMs = 20;
        p.pause = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
        return p;
    }

    QTemporaryDir dir;
    CaptureListener capture;
    QString queue, description;
    bool added = false;
    int pdfCount = 0;
};

struct MagCase {
    const char* name;
    QByteArray track1, track2, track3, expected;
};

TEST_F(CupsPrint, MagneticJobCarriesExactlyTheTrackBytes) {
    const MagCase cases[] = {
        {"track 1", "B123", {}, {}, MagTrack("1%", "B123")},
        {"track 2", {}, "1234=5", {}, MagTrack("2;", "1234=5")},
        {"track 3", {}, {}, "987", MagTrack("*", "987")},
        {"all tracks in order", "A", "2", "3",
         MagTrack("1%", "A") + MagTrack("2;", "2") + MagTrack("*", "3")},
    };
    size_t n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Print_Mag(queue, c.track1, c.track2, c.track3), QString());
        const auto jobs = capture.WaitForJobs(++n, kJobWaitMs);
        ASSERT_EQ(jobs.size(), n);
        EXPECT_EQ(jobs.back().toHex(' '), c.expected.toHex(' '));
    }
    EXPECT_EQ(JobTitles(queue).value(0), "MAG-Print");
}

TEST_F(CupsPrint, MagneticJobFindsTheQueueAndReportsWhatIsMissing) {
    // No track text: no job at all, so the next job captured is the real one.
    EXPECT_EQ(Print_Mag(queue, {}, {}, {}), QString());
    // "Model on Port": the spooler knows the model name alone.
    EXPECT_EQ(Print_Mag(queue + " on LPT9", "X", {}, {}), QString());
    const auto jobs = capture.WaitForJobs(1, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], MagTrack("1%", "X"));
    EXPECT_EQ(Print_Mag("VrqNoSuchPrinter on USB001", "X", {}, {}),
              "CANNOT OPEN PRINTER: VrqNoSuchPrinter on USB001");
    EXPECT_EQ(SpoolerName_str("Card on the desk on USB001"), "Card on the desk");
}

TEST_F(CupsPrint, FargoWriteSendsTheMagneticJobThenThePage) {
    const QByteArray keyString = Track1Record("B123") + Record('4', "ROOM\"SMITH\"NOTPRINTED");
    QByteArray answer;
    THalvexError error;
    std::vector<int> pauses;
    TPrinterPauses recorder;
    recorder.pause = [&](int ms) { pauses.push_back(ms); };
    // The Windows-style name is found by its description, letter case ignored.
    ASSERT_TRUE(FargoWrite(description.toUpper().toLatin1(), keyString, answer, kTwoFieldLayout,
                           error, recorder))
        << error.Text().toStdString();
    EXPECT_EQ(answer, "39001001000");
    EXPECT_EQ(error.Code(), 0);
    EXPECT_EQ(pauses, (std::vector<int>{500, 500}));
    const auto jobs = capture.WaitForJobs(2, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].toHex(' '), MagTrack("1%", "B123").toHex(' '));
    ASSERT_TRUE(jobs[1].startsWith("%PDF"));
    const TPdfPage page = Page(jobs[1]);
    EXPECT_TRUE(page.Has("ROOM"));
    EXPECT_TRUE(page.Has("SMITH"));
    EXPECT_FALSE(page.Has("NOTPRINTED"));
    EXPECT_LT(page.width, page.height) << "layout orientation 2 is portrait";
    EXPECT_EQ(SelectedPrinter_str(), QString()) << "the previous selection is restored";
}

TEST_F(CupsPrint, KeyStringWithoutTracksPrintsThePageOnly) {
    QByteArray answer;
    THalvexError error;
    ASSERT_TRUE(FargoWrite(queue.toLatin1(), Record('4', "ONLYTEXT"), answer, kTwoFieldLayout,
                           error, ShortPauses()));
    const auto jobs = capture.WaitForJobs(1, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 1u);
    ASSERT_TRUE(jobs[0].startsWith("%PDF"));
    EXPECT_TRUE(Page(jobs[0]).Has("ONLYTEXT"));
}

struct FailureCase {
    const char* name;
    QByteArray deviceName, keyString, layout;
    bool result;
    QString errorText; // empty: no error recorded
};

TEST_F(CupsPrint, FargoWriteFailuresAreReportedAndPrintNothing) {
    const FailureCase cases[] = {
        {"printer not installed", "VrqNoSuchPrinter", Track1Record("1"), kTwoFieldLayout, false,
         "Error - TClientThread.FargoWrite->VrqNoSuchPrinter; PRINTER NOT FOUND"},
        {"invalid layout", "", Track1Record("1"), LayoutText({"1", "2"}), false,
         "Error - TClientThread.FargoWrite->INVALID PRINT LAYOUT COMM STRING"},
        {"unknown record type", "", Record('7', "00"), kTwoFieldLayout, true, {}},
        {"malformed key string", "", "1000", kTwoFieldLayout, false,
         "Error - TClientThread.FargoWrite->Error - ParseHalvexKeyString_b "},
    };
    SelectPrinter(queue);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray answer = "old";
        THalvexError error;
        const QByteArray device = c.deviceName.isEmpty() ? queue.toLatin1() : c.deviceName;
        EXPECT_EQ(FargoWrite(device, c.keyString, answer, c.layout, error, ShortPauses()),
                  c.result);
        if (c.errorText.isEmpty()) {
            EXPECT_FALSE(error.IsSet());
            EXPECT_EQ(answer, QByteArray());
        } else {
            EXPECT_EQ(error.Code(), -99);
            EXPECT_TRUE(error.Text().startsWith(c.errorText)) << error.Text().toStdString();
        }
        EXPECT_EQ(SelectedPrinter_str(), queue);
    }
    // Every failure above stops before the scheduler is given a job.
    ASSERT_EQ(Print_Mag(queue, "END", {}, {}), QString());
    const auto jobs = capture.WaitForJobs(1, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0], MagTrack("1%", "END"));
}

TEST_F(CupsPrint, PrinterCommands) {
    QByteArray answer;
    THalvexError error;
    EXPECT_TRUE(PrinterDispatch(1, "VrqNoSuchPrinter", {}, {}, answer, error, ShortPauses()));
    EXPECT_EQ(answer, "\x02"
                      "320010010000000BFEA0001127A11127A1"
                      "\x03");
    EXPECT_FALSE(PrinterDispatch(2, queue.toLatin1(), kTwoFieldLayout, Track1Record("1"), answer,
                                 error, ShortPauses()));
    EXPECT_EQ(answer, QByteArray());
    EXPECT_TRUE(PrinterDispatch(36, queue.toLatin1(), kTwoFieldLayout, Track2Record("42"), answer,
                                error, ShortPauses()));
    EXPECT_EQ(answer, "39001001000");
    const auto jobs = capture.WaitForJobs(2, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 2u) << "commands 1 and 2 sent nothing";
    EXPECT_EQ(jobs[0], MagTrack("2;", "42"));
}

TEST_F(CupsPrint, TwoStationsPrintingAtOnceDoNotInterleave) {
    const QByteArray names[] = {"ALPHA", "BRAVO"};
    bool results[2] = {false, false};
    THalvexError errors[2];
    std::vector<std::thread> stations;
    for (int i = 0; i < 2; ++i)
        stations.emplace_back([&, i] {
            QByteArray answer;
            results[i] =
                FargoWrite(queue.toLatin1(), Track1Record(names[i]) + Record('4', names[i]), answer,
                           kTwoFieldLayout, errors[i], ShortPauses());
        });
    for (auto& t : stations)
        t.join();
    ASSERT_TRUE(results[0]) << errors[0].Text().toStdString();
    ASSERT_TRUE(results[1]) << errors[1].Text().toStdString();
    const auto jobs = capture.WaitForJobs(4, kJobWaitMs);
    ASSERT_EQ(jobs.size(), 4u);
    for (size_t pair = 0; pair < 2; ++pair) {
        const QByteArray& mag = jobs[2 * pair];
        const QByteArray& pageJob = jobs[2 * pair + 1];
        const QByteArray name = mag.contains("ALPHA") ? "ALPHA" : "BRAVO";
        EXPECT_EQ(mag, MagTrack("1%", name)) << "job " << 2 * pair;
        ASSERT_TRUE(pageJob.startsWith("%PDF")) << "job " << 2 * pair + 1;
        EXPECT_TRUE(Page(pageJob).Has(QString::fromLatin1(name)));
    }
    EXPECT_NE(jobs[0], jobs[2]);
}
