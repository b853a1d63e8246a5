#pragma once
// The system's date-time scale: days since 30 December 1899, the fraction is the time of day,
// 0 is the empty date.

#include <QDateTime>
#include <QString>

struct TDateTime {
    double value = 0.0;

    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double v) : value(v) {}

    static TDateTime Now();
    static TDateTime FromQDateTime(const QDateTime& dt);
    static TDateTime FromDate(int year, int month, int day);
    // Fails (returns false) for out-of-range parts.
    static bool TryEncode(int year, int month, int day, int hour, int minute, int second, int msec,
                          TDateTime* out);

    QDateTime ToQDateTime() const;
    bool IsEmpty() const { return value == 0.0; }

    friend bool operator==(TDateTime a, TDateTime b) { return a.value == b.value; }
    friend bool operator<(TDateTime a, TDateTime b) { return a.value < b.value; }
};

// Formats with the system's patterns: "yyyy", "yy", "mm" (month, or minutes right after "hh"),
// "m", "dd", "d", "hh", "h", "nn", "n", "ss", "s", "zzz", "ampm", "am/pm", quoted literals; "/"
// and ":" become the system's date and time separators.
QString FormatDateTime(const QString& pattern, TDateTime dt);
QString FormatDateTime(const QString& pattern, const QDateTime& dt);

// The system's separators (from the current locale).
QString SystemDateSeparator();
QString SystemTimeSeparator();
