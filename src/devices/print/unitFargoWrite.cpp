#include "unitFargoWrite.h"

#include "Errors.h"
#include "THalvexError.h"
#include "unitKeyPrintLayoutBase.h"
#include "unitPrinterOutput.h"
#include "unitPumpEvents.h"
#include "unitTrace.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

// One card print at a time in the whole server.
QMutex g_printerLock;

void Pause(const TPrinterPauses& pauses, int ms) {
    if (ms <= 0)
        return;
    if (pauses.pause)
        pauses.pause(ms);
    else
        PumpEventsUntil([] { return false; }, ms);
}

} // namespace

QByteArray PrinterStatusAnswer() {
    return QByteArrayLiteral("\x02"
                             "320010010000000BFEA0001127A11127A1"
                             "\x03");
}

bool FargoWrite(const QByteArray& deviceName, const QByteArray& keyString, QByteArray& answer,
                const QByteArray& printLayout, THalvexError& error, const TPrinterPauses& pauses) {
    TTraceScope trace(QStringLiteral("TClientThread.FargoWrite"));
    try {
        TKeyStringData keyData;
        if (!ParseHalvexKeyString_b(keyString, keyData)) {
            DebugLog(QStringLiteral("FargoWrite: unknown record type, nothing printed"));
            answer.clear();
            return true;
        }
        bool result = false;
        QString failure;
        QMutexLocker locker(&g_printerLock);
        try {
            result = PrintCard_b(QString::fromLatin1(deviceName), printLayout, keyData);
            if (result)
                answer = kPrinterCardPrinted;
        } catch (const std::exception& e) {
            failure = ExceptionText(e);
        }
        Pause(pauses, pauses.beforeReleaseMs);
        locker.unlock();
        Pause(pauses, pauses.afterReleaseMs);
        if (!failure.isEmpty())
            throw EUlmex(failure);
        return result;
    } catch (const std::exception& e) {
        error.Record(-99, {QStringLiteral("Error - TClientThread.FargoWrite"), ExceptionText(e)});
        DebugLog(error.Text());
        return false;
    }
}

bool PrinterDispatch(int command, const QByteArray& deviceName, const QByteArray& printLayout,
                     const QByteArray& data, QByteArray& answer, THalvexError& error,
                     const TPrinterPauses& pauses) {
    answer.clear();
    switch (command) {
    case kPrinterCmdStatus:
        answer = PrinterStatusAnswer();
        return true;
    case kPrinterCmdPrintCard:
        return FargoWrite(deviceName, data, answer, printLayout, error, pauses);
    default:
        return false;
    }
}
