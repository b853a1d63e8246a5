#include "unitPrinterOutput.h"

#include "Errors.h"
#include "unitKeyPrintLayoutBase.h"
#include "unitTrace.h"

#include <QMutex>
#include <QMutexLocker>
#include <QPrinter>
#include <cups/cups.h>

namespace {

// Bounds for every exchange with the scheduler.
constexpr int kConnectTimeoutMs = 10000;
constexpr double kIoTimeoutSecs = 30.0;

// One connection to the scheduler, closed on scope exit.
class TCupsConnection {
public:
    TCupsConnection()
        : m_http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kConnectTimeoutMs, nullptr)) {
        if (m_http)
            httpSetTimeout(m_http, kIoTimeoutSecs, nullptr, nullptr);
        else
            DebugLog(QStringLiteral("CUPS: cannot connect to %1").arg(cupsServer()));
    }
    ~TCupsConnection() {
        if (m_http)
            httpClose(m_http);
    }
    TCupsConnection(const TCupsConnection&) = delete;
    TCupsConnection& operator=(const TCupsConnection&) = delete;
    http_t* get() const { return m_http; }

private:
    http_t* m_http;
};

QList<TInstalledPrinter> DestinationsOf(http_t* http, QString* defaultName) {
    QList<TInstalledPrinter> printers;
    if (!http)
        return printers;
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(http, &dests);
    for (int i = 0; i < n; ++i) {
        if (dests[i].instance)
            continue;
        TInstalledPrinter p;
        p.name = QString::fromUtf8(dests[i].name);
        p.description = QString::fromUtf8(
            cupsGetOption("printer-info", dests[i].num_options, dests[i].options));
        if (dests[i].is_default && defaultName)
            *defaultName = p.name;
        printers << p;
    }
    cupsFreeDests(n, dests);
    return printers;
}

QString FindIn(const QList<TInstalledPrinter>& printers, const QString& printerName) {
    for (const TInstalledPrinter& p : printers)
        if (p.name.compare(printerName, Qt::CaseInsensitive) == 0)
            return p.name;
    for (const TInstalledPrinter& p : printers)
        if (!p.description.isEmpty() &&
            p.description.compare(printerName, Qt::CaseInsensitive) == 0)
            return p.name;
    return {};
}

QMutex g_selectionMutex;
bool g_selectionKnown = false;
QString g_selectedPrinter;

void CancelJob(http_t* http, const QByteArray& queue, int job) {
    if (cupsCancelJob2(http, queue.constData(), job, 0) != IPP_STATUS_OK)
        DebugLog(QStringLiteral("CUPS: cancel of job %1 failed: %2")
                     .arg(job)
                     .arg(QString::fromUtf8(cupsLastErrorString())));
}

} // namespace

QList<TInstalledPrinter> InstalledPrinters() {
    const TCupsConnection http;
    return DestinationsOf(http.get(), nullptr);
}

QString FindInstalledPrinter_str(const QString& printerName) {
    return FindIn(InstalledPrinters(), printerName);
}

QString SelectedPrinter_str() {
    QMutexLocker lock(&g_selectionMutex);
    if (!g_selectionKnown) {
        const TCupsConnection http;
        QString defaultName;
        DestinationsOf(http.get(), &defaultName);
        g_selectedPrinter = defaultName;
        g_selectionKnown = true;
    }
    return g_selectedPrinter;
}

void SelectPrinter(const QString& queue) {
    QMutexLocker lock(&g_selectionMutex);
    g_selectedPrinter = queue;
    g_selectionKnown = true;
}

std::unique_ptr<QPrinter> NewSelectedPrinter() {
    const QString queue = SelectedPrinter_str();
    if (queue.isEmpty())
        throw EUlmex(QStringLiteral("No printer is selected"));
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(queue);
    if (printer->outputFormat() != QPrinter::NativeFormat || !printer->isValid() ||
        printer->printerName() != queue)
        throw EUlmex(QStringLiteral("Printer \"%1\" is not available").arg(queue));
    printer->setResolution(kCardPrinterDpi);
    printer->setFullPage(true);
    return printer;
}

QByteArray MagStripeData(const QByteArray& track1, const QByteArray& track2,
                         const QByteArray& track3) {
    static const QByteArray kEncode("\x1B\x00\x02M", 4);
    const QByteArray* tracks[] = {&track1, &track2, &track3};
    const char* markers[] = {"1%", "2;", "*"};
    QByteArray raw;
    for (int i = 0; i < 3; ++i) {
        if (tracks[i]->isEmpty())
            continue;
        raw += kEncode;    // the printer's magnetic encode command
        raw += markers[i]; // track number and start sentinel
        raw += *tracks[i]; // track text
        raw += '?';        // end sentinel
        raw += char(0x00); // end of the track record
    }
    return raw;
}

QString SpoolerName_str(const QString& printerName) {
    const qsizetype on = printerName.lastIndexOf(QStringLiteral(" on "));
    return on < 0 ? printerName : printerName.left(on);
}

QString Print_Mag(const QString& printerName, const QByteArray& track1, const QByteArray& track2,
                  const QByteArray& track3) {
    try {
        const QByteArray raw = MagStripeData(track1, track2, track3);
        if (raw.isEmpty()) {
            DebugLog(QStringLiteral("Print_Mag: no track data, no magnetic job"));
            return {};
        }
        const TCupsConnection http;
        QString queueName;
        if (http.get()) {
            const QList<TInstalledPrinter> printers = DestinationsOf(http.get(), nullptr);
            queueName = FindIn(printers, SpoolerName_str(printerName));
            if (queueName.isEmpty())
                queueName = FindIn(printers, printerName);
        }
        if (queueName.isEmpty())
            return QStringLiteral("CANNOT OPEN PRINTER: ") + printerName;
        const QByteArray queue = queueName.toUtf8();
        const int job = cupsCreateJob(http.get(), queue.constData(), "MAG-Print", 0, nullptr);
        if (job == 0) {
            DebugLog(QStringLiteral("CUPS: create job: %1")
                         .arg(QString::fromUtf8(cupsLastErrorString())));
            return QStringLiteral("CANNOT START DOC PRINTER");
        }
        if (cupsStartDocument(http.get(), queue.constData(), job, "MAG-Print", CUPS_FORMAT_RAW,
                              1) != HTTP_STATUS_CONTINUE) {
            CancelJob(http.get(), queue, job);
            return QStringLiteral("CANNOT START PAGE PRINTER");
        }
        QString error;
        if (cupsWriteRequestData(http.get(), raw.constData(), size_t(raw.size())) !=
            HTTP_STATUS_CONTINUE)
            error = QStringLiteral("CANNOT WRITE PRINTER");
        // The scheduler takes the job only with a finished document.
        if (cupsFinishDocument(http.get(), queue.constData()) > IPP_STATUS_OK_EVENTS_COMPLETE &&
            error.isEmpty())
            error = QStringLiteral("CANNOT WRITE PRINTER");
        if (!error.isEmpty()) {
            DebugLog(QStringLiteral("CUPS: job %1: %2")
                         .arg(job)
                         .arg(QString::fromUtf8(cupsLastErrorString())));
            CancelJob(http.get(), queue, job);
        }
        return error;
    } catch (const std::exception& e) {
        return ErrorOccurred_str(QStringLiteral("dmodKeyPrintLayout.Print_Mag"), 1,
                                 ExceptionText(e));
    }
}

bool PrintCard_b(const QString& printerName, const QByteArray& layoutText,
                 const TKeyStringData& keyData) {
    // Restores the selection on every way out.
    struct TRestoreSelection {
        QString previous = SelectedPrinter_str();
        ~TRestoreSelection() {
            if (SelectedPrinter_str() != previous)
                SelectPrinter(previous);
        }
    } restore;

    QString error;
    const QString queue = FindInstalledPrinter_str(printerName);
    if (queue.isEmpty()) {
        error = printerName + QStringLiteral("; PRINTER NOT FOUND");
    } else {
        SelectPrinter(queue);
        TKeyPrintLayoutBase layout;
        error = layout.SetCommString(layoutText);
        if (error.isEmpty())
            error = Print_Mag(printerName, keyData.track1, keyData.track2, keyData.track3);
        if (error.isEmpty())
            error = layout.Print_Lines(keyData.printTexts, layout.lngOrientation());
    }
    if (!error.isEmpty())
        throw EUlmex(error);
    return true;
}
