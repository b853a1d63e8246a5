#include "unitLPIClass.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QCoreApplication>

namespace {

// Characters from..to (1-based, inclusive) of text; a text too short is a fault.
QString chars(const QString& text, int from, int to) {
    if (text.size() < to)
        throw EUlmex(QStringLiteral("Text too short: %1 characters, position %2 needed")
                         .arg(text.size())
                         .arg(to));
    return text.mid(from - 1, to - from + 1);
}

int number(const QString& text, int from, int to) {
    const QString s = chars(text, from, to);
    bool ok = false;
    const int v = s.toInt(&ok, 10);
    if (!ok)
        throw EUlmex(QStringLiteral("'%1' is not a valid integer value").arg(s));
    return v;
}

uint8_t byteValue(const QString& text, int from, int to) {
    const int v = number(text, from, to);
    if (v < 0 || v > 255)
        throw EUlmex(QStringLiteral("Range check error: %1 is not a byte").arg(v));
    return uint8_t(v);
}

bool flag(const QString& text, int pos) { return chars(text, pos, pos) == QStringLiteral("1"); }

TDateTime date(const QString& text, int from, int to) {
    TDateTime dt;
    LPIStrToDateTime(chars(text, from, to), &dt, true);
    return dt;
}

} // namespace

void TBaseLockIntInfo::Report(const QString& heading, const QString& fault) {
    FaultText = fault;
    DebugLog(heading + QStringLiteral("->") + fault);
    MsgCatalogBox(0, 0, {QString(), heading, fault});
}

bool TBaseLockIntInfo::Parse(const QString& text) {
    FaultText.clear();
    try {
        Format = text.startsWith(QStringLiteral("33")) ? 2 : 1;
        RecordNumber = number(text, 3, 5);
        if (Format == 1) {
            LockNumber = number(text, 6, 9);
            SubNumber = 0;
        } else {
            LockNumber = number(text, 9, 13);
            SubNumber = byteValue(text, 6, 8);
        }
        return true;
    } catch (const std::exception& e) {
        Report(QStringLiteral("Error - Base Lock Int Info Parse"), ExceptionText(e));
        return false;
    }
}

bool TGeneralLockIntInfo::Parse(const QString& text) {
    if (!TBaseLockIntInfo::Parse(text))
        return false;
    Count = 0;
    const int o = Format == 2 ? 4 : 0;
    try {
        const QString name = m_lookup ? m_lookup(LockNumber) : QString();
        LockName = name.isEmpty() ? QCoreApplication::translate("Resource", "Unknown") : name;
        ValueA = number(text, 15 + o, 18 + o);
        for (int i = 0; i < 8; ++i)
            Flags[size_t(i)] = flag(text, 19 + o + i);
        ValueB = byteValue(text, 27 + o, 29 + o);
        Date1 = date(text, 30 + o, 43 + o);
        Flags[8] = flag(text, 44 + o);
        Date2 = date(text, 45 + o, 58 + o);
        Flags[9] = flag(text, 59 + o);
        if (chars(text, 60 + o, 67 + o) == QStringLiteral("00000000")) {
            Date3 = Date2;
            Count = number(text, 72, 77);
        } else {
            Date3 = date(text, 60 + o, 73 + o);
        }
        Flags[10] = flag(text, 74 + o);
        ValueC = byteValue(text, 75 + o, 75 + o);
        ValueD = byteValue(text, 76 + o, 76 + o);
        ValueE = byteValue(text, 77 + o, 79 + o);
        return true;
    } catch (const std::exception& e) {
        Report(QStringLiteral("Error - General Lock Int Parse Data"), ExceptionText(e));
        return false;
    }
}
