#pragma once
// Card printer output through CUPS: the installed printers, the process-wide selected printer,
// the magnetic stripe job and the whole card print.

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QPrinter;
struct TKeyStringData;

// Resolution of the printed page: one device unit is one dot of a 300 dpi card printer.
inline constexpr int kCardPrinterDpi = 300;

struct TInstalledPrinter {
    QString name;        // the CUPS queue
    QString description; // printer-info, where a Windows-style "Model on Port" name is kept
};

// The CUPS destinations of the scheduler (CUPS_SERVER or the system's).
QList<TInstalledPrinter> InstalledPrinters();
// The queue whose name or description equals printerName (letter case ignored); empty if none.
QString FindInstalledPrinter_str(const QString& printerName);

// The process-wide printer selection; starts at the CUPS default destination.
QString SelectedPrinter_str();
void SelectPrinter(const QString& queue);
// A printer for the page on the selected queue (raises EUlmex when there is none).
std::unique_ptr<QPrinter> NewSelectedPrinter();

// The raw bytes of the magnetic stripe job; empty when every track text is empty.
QByteArray MagStripeData(const QByteArray& track1, const QByteArray& track2,
                         const QByteArray& track3);
// The printer name without everything from its last " on ".
QString SpoolerName_str(const QString& printerName);

// Sends the magnetic tracks as the raw job "MAG-Print". Returns the error text. With no track
// text at all no job is sent (a printer would take an empty job for a blank encode).
QString Print_Mag(const QString& printerName, const QByteArray& track1, const QByteArray& track2,
                  const QByteArray& track3);

// The whole print: printer look-up and selection, layout, magnetic job, page, selection
// restored. Raises EUlmex with the error text on failure.
bool PrintCard_b(const QString& printerName, const QByteArray& layoutText,
                 const TKeyStringData& keyData);
