#pragma once
// Printer-encoder transactions (interface type 2): the status command and the card print under
// the process-wide printer lock.

#include <QByteArray>
#include <functional>

class THalvexError;

// Printer commands.
inline constexpr int kPrinterCmdStatus = 1;
inline constexpr int kPrinterCmdPrintCard = 0x24;

// Answers of the printer encoder.
QByteArray PrinterStatusAnswer(); // STX "320010010000000BFEA0001127A11127A1" ETX
inline constexpr const char* kPrinterCardPrinted = "39001001000";

// The pauses around the release of the printer lock; tests shorten them.
struct TPrinterPauses {
    int beforeReleaseMs = 500;
    int afterReleaseMs = 500;
    // How a pause is spent; empty: keep the calling thread's events flowing.
    std::function<void(int ms)> pause;
};

// Parses the key string, prints the card (magnetic job, then the page) under the printer lock.
// A record type other than 1 to 4 prints nothing and still succeeds with an empty answer.
bool FargoWrite(const QByteArray& deviceName, const QByteArray& keyString, QByteArray& answer,
                const QByteArray& printLayout, THalvexError& error,
                const TPrinterPauses& pauses = {});

// Interface type 2 by command: 1 status, 0x24 FargoWrite, anything else false with no answer.
// The caller clears the error record before the transaction.
bool PrinterDispatch(int command, const QByteArray& deviceName, const QByteArray& printLayout,
                     const QByteArray& data, QByteArray& answer, THalvexError& error,
                     const TPrinterPauses& pauses = {});
