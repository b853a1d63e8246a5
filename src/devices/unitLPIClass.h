#pragma once
// Lock interface information: the fixed-position raw text of a lock read-out, as stored in
// LockLogs.STRRAWDATA.

#include "DateTime.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

class TBaseLockIntInfo {
public:
    virtual ~TBaseLockIntInfo() = default;
    // Reports a fault through the error report and returns false.
    virtual bool Parse(const QString& text);

    int Format = 1;
    int RecordNumber = 0;
    int LockNumber = 0;
    uint8_t SubNumber = 0;
    // The last fault's text (empty after a good parse).
    QString FaultText;

protected:
    void Report(const QString& heading, const QString& fault);
};

class TGeneralLockIntInfo : public TBaseLockIntInfo {
public:
    // Looks a lock name up by number (locks up to 32767, other devices above); empty when unknown.
    using TNameLookup = std::function<QString(int number)>;
    explicit TGeneralLockIntInfo(TNameLookup lookup = {}) : m_lookup(std::move(lookup)) {}

    bool Parse(const QString& text) override;

    QString LockName;
    int ValueA = 0;
    std::array<bool, 11> Flags{}; // flags 1..11 at indices 0..10
    uint8_t ValueB = 0;
    TDateTime Date1, Date2, Date3;
    int Count = 0;
    uint8_t ValueC = 0, ValueD = 0, ValueE = 0;

    bool Flag(int n) const { return n >= 1 && n <= 11 && Flags[size_t(n - 1)]; }

private:
    TNameLookup m_lookup;
};
