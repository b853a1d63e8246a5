#include "DateTime.h"

#include <QLocale>
#include <QTimeZone>
#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

QString firstSeparator(const QString& format, const QString& fallback) {
    for (const QChar c : format)
        if (!c.isLetter() && c != u'\'' && !c.isSpace())
            return QString(c);
    return fallback;
}
} // namespace

TDateTime TDateTime::Now() { return FromQDateTime(QDateTime::currentDateTime()); }

TDateTime TDateTime::FromQDateTime(const QDateTime& dt) {
    if (!dt.isValid())
        return TDateTime();
    const qint64 days = kEpoch.daysTo(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / kMsPerDay;
    return TDateTime(days >= 0 ? days + frac : days - frac);
}

TDateTime TDateTime::FromDate(int year, int month, int day) {
    return TDateTime(double(kEpoch.daysTo(QDate(year, month, day))));
}

bool TDateTime::TryEncode(int year, int month, int day, int hour, int minute, int second, int msec,
                          TDateTime* out) {
    const QDate d(year, month, day);
    if (!d.isValid() || !QTime::isValid(hour, minute, second, msec))
        return false;
    if (out)
        *out = FromQDateTime(QDateTime(d, QTime(hour, minute, second, msec)));
    return true;
}

QDateTime TDateTime::ToQDateTime() const {
    const double whole = std::trunc(value);
    const double frac = std::fabs(value - whole);
    qint64 ms = std::llround(frac * kMsPerDay);
    qint64 days = qint64(whole);
    if (ms >= qint64(kMsPerDay)) { // rounding up to midnight
        ms -= qint64(kMsPerDay);
        days += 1;
    }
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString SystemDateSeparator() {
    return firstSeparator(QLocale().dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
}

QString SystemTimeSeparator() {
    return firstSeparator(QLocale().timeFormat(QLocale::LongFormat), QStringLiteral(":"));
}

QString FormatDateTime(const QString& pattern, TDateTime dt) {
    return FormatDateTime(pattern, dt.ToQDateTime());
}

QString FormatDateTime(const QString& pattern, const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    const QLocale loc = QLocale();
    // A 12-hour clock is used when the pattern has an am/pm marker anywhere.
    const bool twelve = pattern.contains(QStringLiteral("ampm"), Qt::CaseInsensitive) ||
                        pattern.contains(QStringLiteral("am/pm"), Qt::CaseInsensitive) ||
                        pattern.contains(QStringLiteral("a/p"), Qt::CaseInsensitive);
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    const int hour = twelve ? hour12 : t.hour();

    QString out;
    bool lastWasHour = false;
    const int n = pattern.size();
    auto countRun = [&](int i, QChar c) {
        int k = i;
        while (k < n && pattern[k].toLower() == c)
            ++k;
        return k - i;
    };
    for (int i = 0; i < n;) {
        const QChar c = pattern[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            const int end = pattern.indexOf(c, i + 1);
            const int stop = end < 0 ? n : end;
            out += pattern.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        if (pattern.mid(i, 4).compare(QStringLiteral("ampm"), Qt::CaseInsensitive) == 0) {
            out += t.hour() < 12 ? loc.amText() : loc.pmText();
            i += 4;
            continue;
        }
        if (pattern.mid(i, 5).compare(QStringLiteral("am/pm"), Qt::CaseInsensitive) == 0) {
            const QString s = t.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            out += pattern[i].isUpper() ? s.toUpper() : s;
            i += 5;
            continue;
        }
        if (pattern.mid(i, 3).compare(QStringLiteral("a/p"), Qt::CaseInsensitive) == 0) {
            const QString s = t.hour() < 12 ? QStringLiteral("a") : QStringLiteral("p");
            out += pattern[i].isUpper() ? s.toUpper() : s;
            i += 3;
            continue;
        }
        int run = 1;
        switch (lc.unicode()) {
        case 'y':
            run = countRun(i, u'y');
            out += run <= 2 ? QString::number(d.year() % 100).rightJustified(2, u'0')
                            : QString::number(d.year()).rightJustified(4, u'0');
            lastWasHour = false;
            break;
        case 'm':
            run = countRun(i, u'm');
            if (lastWasHour) {
                out += run >= 2 ? QString::number(t.minute()).rightJustified(2, u'0')
                                : QString::number(t.minute());
            } else if (run >= 4) {
                out += loc.monthName(d.month(), QLocale::LongFormat);
            } else if (run == 3) {
                out += loc.monthName(d.month(), QLocale::ShortFormat);
            } else {
                out += run == 2 ? QString::number(d.month()).rightJustified(2, u'0')
                                : QString::number(d.month());
            }
            lastWasHour = false;
            break;
        case 'd':
            run = countRun(i, u'd');
            if (run >= 4)
                out += loc.dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (run == 3)
                out += loc.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += run == 2 ? QString::number(d.day()).rightJustified(2, u'0')
                                : QString::number(d.day());
            lastWasHour = false;
            break;
        case 'h':
            run = countRun(i, u'h');
            out += run >= 2 ? QString::number(hour).rightJustified(2, u'0') : QString::number(hour);
            lastWasHour = true;
            break;
        case 'n':
            run = countRun(i, u'n');
            out += run >= 2 ? QString::number(t.minute()).rightJustified(2, u'0')
                            : QString::number(t.minute());
            lastWasHour = false;
            break;
        case 's':
            run = countRun(i, u's');
            out += run >= 2 ? QString::number(t.second()).rightJustified(2, u'0')
                            : QString::number(t.second());
            lastWasHour = false;
            break;
        case 'z':
            run = countRun(i, u'z');
            out += run >= 3 ? QString::number(t.msec()).rightJustified(3, u'0')
                            : QString::number(t.msec());
            lastWasHour = false;
            break;
        case '/':
            out += SystemDateSeparator();
            break;
        case ':':
            out += SystemTimeSeparator();
            break;
        default:
            out += c;
            break;
        }
        i += run;
    }
    return out;
}
