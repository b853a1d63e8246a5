#include "unitUtils.h"

#include "Errors.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>
#include <atomic>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<int64_t> g_mainThreadID{-1};

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}
} // namespace

QString VersionText_str(const QString& version, bool withBuild, bool shortForm) {
    const QString v = version.trimmed();
    if (v.isEmpty())
        return {};
    if (!v.contains(u'.'))
        return v + QStringLiteral(".00");
    const QStringList p = v.split(u'.');
    const QString a = p.value(0);
    const QString b = p.value(1);
    const QString d = p.value(3);
    if (shortForm)
        return a + u'.' + RightStr(QStringLiteral("00") + d, 2);
    QString out = a + u'.' + RightStr(QStringLiteral("00") + b, 2);
    if (withBuild)
        out += QStringLiteral("  ") + res("build") + u' ' + d;
    return out;
}

int64_t Ulmex_GetCurrentThreadID() {
    return int64_t(::syscall(SYS_gettid));
}

void RememberMainThread() {
    g_mainThreadID = Ulmex_GetCurrentThreadID();
}

bool IsMainThread_b() {
    return g_mainThreadID.load() == Ulmex_GetCurrentThreadID();
}

QString ComputerName_str() {
    return QSysInfo::machineHostName().trimmed().left(256);
}

bool StrToBool_b(const QString& text) {
    const QString u = text.toUpper();
    return u == res("True").toUpper() || u == QStringLiteral("TRUE") ||
           u == QStringLiteral("YES") || u == res("Yes").toUpper();
}

QString BoolToStr_str(bool b, bool yesNo, bool translated) {
    const char* t = yesNo ? (b ? "Yes" : "No") : (b ? "True" : "False");
    return translated ? res(t) : QString::fromLatin1(t);
}

int64_t SecondClock() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.date().toJulianDay() * 86400 + now.time().msecsSinceStartOfDay() / 1000;
}

QString Reverse_str(const QString& text) {
    QString r;
    r.reserve(text.size());
    for (auto it = text.crbegin(); it != text.crend(); ++it)
        r += *it;
    return r;
}

QStringList Split(const QString& text, const QString& delimiter) {
    if (delimiter.isEmpty())
        return {};
    return text.split(delimiter, Qt::KeepEmptyParts);
}

QByteArray HexEncode(const QByteArray& bytes) {
    return bytes.toHex().toUpper();
}

QByteArray HexDecode(const QByteArray& hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return 0;
    };
    QByteArray out;
    out.reserve(hex.size() / 2);
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2)
        out.append(char((nibble(hex[i]) << 4) | nibble(hex[i + 1])));
    return out;
}

uint8_t XorCheck(const QByteArray& bytes) {
    uint8_t x = 0;
    for (const char c : bytes)
        x ^= uint8_t(c);
    return x;
}

QString RightStr(const QString& text, int n) {
    return n <= 0 ? QString() : text.right(n);
}
QByteArray RightStr(const QByteArray& text, int n) {
    return n <= 0 ? QByteArray() : text.right(n);
}

QString PadLeft(const QString& text, int n, QChar fill) {
    return text.rightJustified(n, fill);
}

QString StripLeadingZeros(const QString& text) {
    QString t = text.trimmed();
    int i = 0;
    while (i < t.size() - 1 && t[i] == u'0')
        ++i;
    return t.mid(i);
}

bool LPIStrToDateTime(const QString& text, TDateTime* out, bool raiseOnError) {
    const QString s = text.leftJustified(14, u'0');
    auto num = [&](int pos, int len, bool* ok) { return s.mid(pos, len).toInt(ok); };
    bool ok[6] = {};
    const int month = num(0, 2, &ok[0]);
    const int day = num(2, 2, &ok[1]);
    const int year = num(4, 4, &ok[2]);
    const int hour = num(8, 2, &ok[3]);
    const int minute = num(10, 2, &ok[4]);
    const int second = num(12, 2, &ok[5]);
    TDateTime dt;
    const bool digits = ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && ok[5];
    if (digits && TDateTime::TryEncode(year, month, day, hour, minute, second, 0, &dt)) {
        if (out)
            *out = dt;
        return true;
    }
    if (raiseOnError)
        throw EUlmex(QStringLiteral("Error - LPIStrToDateTime\r\n'") + text +
                     QStringLiteral("' is not a valid date and time"));
    return false;
}

QString DateDisplayFormat_str() {
    QString s = QLocale().toString(QDate(1986, 12, 30), QLocale::ShortFormat);
    s.replace(QStringLiteral("30"), QStringLiteral("dd"));
    s.replace(QStringLiteral("12"), QStringLiteral("mm"));
    s.replace(QStringLiteral("86"), QStringLiteral("yy"));
    s.replace(QStringLiteral("19"), QStringLiteral("yy"));
    if (!s.contains(QStringLiteral("yyyy")))
        s.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    // A locale that writes month names (the C locale: "30 Dec 1986") has no numeric short date;
    // such systems show the month first.
    if (QString(s)
            .remove(QRegularExpression(QStringLiteral("dd|mm|yyyy")))
            .contains(QRegularExpression(QStringLiteral("[A-Za-z0-9]"))))
        return QStringLiteral("mm/dd/yyyy");
    return s;
}

QString TimeDisplayFormat_str() {
    const QLocale loc = QLocale();
    // Qt's long format carries the time zone, which the display format has no field for.
    QString fmt = loc.timeFormat(QLocale::LongFormat);
    fmt.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    QString s = loc.toString(QTime(22, 33, 44, 55), fmt).toUpper();
    auto cutBefore = [&s](const QString& marker) {
        const int at = s.indexOf(marker);
        if (at >= 0)
            s.truncate(at > 0 ? at - 1 : 0);
    };
    cutBefore(QStringLiteral("AM"));
    cutBefore(QStringLiteral("PM"));
    cutBefore(QStringLiteral("055"));
    cutBefore(QStringLiteral("55"));
    s = s.trimmed();
    s.replace(QStringLiteral("10"), QStringLiteral("hh"));
    s.replace(QStringLiteral("33"), QStringLiteral("nn"));
    s.replace(QStringLiteral("44"), QStringLiteral("ss"));
    if (s.contains(QStringLiteral("hh")))
        s += QStringLiteral(" ampm");
    else
        s.replace(QStringLiteral("22"), QStringLiteral("hh"));
    return s;
}
