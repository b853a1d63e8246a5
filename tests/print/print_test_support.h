#pragma once
// Helpers of the printer tests: track encoding, key strings, PDF inspection.

#include <QByteArray>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <bit>
#include <vector>

namespace print_test {

// Encodes characters as a magnetic track bit stream: (char - offset) in dataBits bits, least
// significant bit first, then an odd parity bit; the stream is packed most significant bit
// first and written in hexadecimal.
inline QByteArray EncodeTrack(const QByteArray& chars, int dataBits, int offset) {
    std::vector<int> bits;
    for (const char c : chars) {
        const int value = (uchar(c) - offset) & ((1 << dataBits) - 1);
        for (int i = 0; i < dataBits; ++i)
            bits.push_back((value >> i) & 1);
        bits.push_back(std::popcount(unsigned(value)) % 2 == 0 ? 1 : 0);
    }
    while (bits.size() % 8 != 0)
        bits.push_back(0);
    QByteArray bytes;
    for (size_t i = 0; i < bits.size(); i += 8) {
        int b = 0;
        for (size_t j = 0; j < 8; ++j)
            b = (b << 1) | bits[i + j];
        bytes.append(char(b));
    }
    return bytes.toHex().toUpper();
}

// One key string record: type, two unused characters, two-digit length, data.
inline QByteArray Record(char type, const QByteArray& data) {
    const qsizetype n = type == '4' ? data.size() : data.size() / 2;
    return QByteArray(1, type) + "00" + QByteArray::number(n).rightJustified(2, '0') + data;
}

inline QByteArray Track1Record(const QByteArray& text) {
    return Record('1', EncodeTrack("%" + text + "?", 6, 32));
}
inline QByteArray Track2Record(const QByteArray& text) {
    return Record('2', EncodeTrack(";" + text + "?", 4, 48));
}

// Runs a tool with a time limit; false when it did not run or failed.
inline bool RunTool(const QString& program, const QStringList& args, QByteArray* out,
                    int timeoutMs = 20000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs))
        return false;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A word of `pdftotext -bbox` output (positions in points from the top left corner).
struct TPdfWord {
    QString text;
    double xMin = 0, yMin = 0;
};
struct TPdfPage {
    double width = 0, height = 0;
    std::vector<TPdfWord> words;
    bool Has(const QString& text) const {
        for (const auto& w : words)
            if (w.text == text)
                return true;
        return false;
    }
    const TPdfWord* Find(const QString& text) const {
        for (const auto& w : words)
            if (w.text == text)
                return &w;
        return nullptr;
    }
};

inline bool ReadPdf(const QString& pdfFile, TPdfPage& page) {
    QByteArray html;
    if (!RunTool(QStringLiteral("pdftotext"),
                 {QStringLiteral("-bbox"), pdfFile, QStringLiteral("-")}, &html))
        return false;
    const QString text = QString::fromUtf8(html);
    const QRegularExpression pageRe(
        QStringLiteral("<page width=\"([0-9.]+)\" height=\"([0-9.]+)\""));
    const auto pm = pageRe.match(text);
    if (!pm.hasMatch())
        return false;
    page.width = pm.captured(1).toDouble();
    page.height = pm.captured(2).toDouble();
    const QRegularExpression wordRe(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto it = wordRe.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        page.words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return true;
}

inline QByteArray PdfFonts(const QString& pdfFile) {
    QByteArray out;
    RunTool(QStringLiteral("pdffonts"), {pdfFile}, &out);
    return out;
}

} // namespace print_test
