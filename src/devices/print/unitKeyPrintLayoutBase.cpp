#include "unitKeyPrintLayoutBase.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitPrinterOutput.h"
#include "unitTrace.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cctype>

namespace {

int ItemToInt(const QByteArray& item) {
    bool ok = false;
    const int value = item.trimmed().toInt(&ok);
    if (!ok)
        throw EUlmex(
            QStringLiteral("'%1' is not a valid integer value").arg(QString::fromLatin1(item)));
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QString ErrorOccurred_str(const QString& where, int blanks, const QString& text) {
    return QStringLiteral("%1: An error occurred: ").arg(where) + QString(blanks, QChar(' ')) +
           text;
}

const QFont& TKeyPrintFieldDef::Font() {
    m_font = QFont(strFont_Name);
    // The charset has no counterpart in Qt's fonts: the family decides the glyphs.
    if (intFont_Pitch == 1) {
        m_font.setFixedPitch(false);
    } else if (intFont_Pitch == 2) {
        m_font.setFixedPitch(true);
        m_font.setStyleHint(QFont::TypeWriter);
    }
    if (intFont_Size > 0)
        m_font.setPointSize(intFont_Size);
    m_font.setBold((intFont_Style & fsBold) != 0);
    m_font.setItalic((intFont_Style & fsItalic) != 0);
    m_font.setUnderline((intFont_Style & fsUnderline) != 0);
    m_font.setStrikeOut((intFont_Style & fsStrikeOut) != 0);
    return m_font;
}

void TKeyPrintLayoutBase::SetlngOrientation(int orientation) {
    m_lngOrientation =
        orientation == kOrientationPortrait ? kOrientationPortrait : kOrientationLandscape;
}

TKeyPrintFieldDef& TKeyPrintLayoutBase::AddField() {
    m_fields.push_back(std::make_unique<TKeyPrintFieldDef>());
    return *m_fields.back();
}

void TKeyPrintLayoutBase::Clear() {
    m_strName.clear();
    m_lngOrientation = kOrientationLandscape;
    m_fields.clear();
    m_errorText.clear();
    m_lockText.clear();
}

QString TKeyPrintLayoutBase::SetCommString(const QByteArray& layoutText) {
    try {
        if (layoutText.isEmpty())
            return QStringLiteral("COULD NOT PARSE PRINT LAYOUT COMM STRING");
        const QList<QByteArray> items = layoutText.split(kLayoutItemSeparator);
        if ((items.size() - 1) % 9 != 0)
            return QStringLiteral("INVALID PRINT LAYOUT COMM STRING");
        for (qsizetype i = 0; i + 9 < items.size(); i += 9) {
            TKeyPrintFieldDef& field = AddField();
            field.idxKeyPrintLayoutID = ItemToInt(items[i]);
            field.idxFieldID = ItemToInt(items[i + 1]);
            field.strFont_Name = QString::fromLatin1(items[i + 2]).left(50);
            field.intFont_Charset = ItemToInt(items[i + 3]) & 0xFF;
            field.intFont_Pitch = ItemToInt(items[i + 4]);
            field.intFont_Size = ItemToInt(items[i + 5]);
            field.intFont_Style = ItemToInt(items[i + 6]);
            field.intXPos = ItemToInt(items[i + 7]);
            field.intYPos = ItemToInt(items[i + 8]);
        }
        SetlngOrientation(ItemToInt(items.last()));
        return {};
    } catch (const std::exception& e) {
        const QString where = QStringLiteral("TKeyPrintLayoutBase.SetCommString");
        const QString text = ErrorOccurred_str(where, 2, ExceptionText(e));
        DebugLog(text);
        MsgCatalogBox(
            0, 0,
            {QString(), ErrorOccurred_str(where, 0, QStringLiteral("\r\n")) + ExceptionText(e)});
        return text;
    }
}

QByteArray TKeyPrintLayoutBase::GetCommString() const {
    QList<QByteArray> items;
    for (const auto& f : m_fields) {
        items << QByteArray::number(f->idxKeyPrintLayoutID) << QByteArray::number(f->idxFieldID)
              << f->strFont_Name.toLatin1() << QByteArray::number(f->intFont_Charset)
              << QByteArray::number(f->intFont_Pitch) << QByteArray::number(f->intFont_Size)
              << QByteArray::number(f->intFont_Style) << QByteArray::number(f->intXPos)
              << QByteArray::number(f->intYPos);
    }
    items << QByteArray::number(m_lngOrientation);
    return items.join(kLayoutItemSeparator);
}

QString TKeyPrintLayoutBase::Print_Lines(const QList<QByteArray>& texts, int orientation) {
    try {
        std::unique_ptr<QPrinter> printer = NewSelectedPrinter();
        return Print_Lines(*printer, texts, orientation);
    } catch (const std::exception& e) {
        return ErrorOccurred_str(QStringLiteral("TKeyPrintLayoutBase.Print_Lines"), 1,
                                 ExceptionText(e));
    }
}

QString TKeyPrintLayoutBase::Print_Lines(QPrinter& printer, const QList<QByteArray>& texts,
                                         int orientation) {
    const QString where = QStringLiteral("TKeyPrintLayoutBase.Print_Lines");
    QPainter painter;
    try {
        printer.setPageOrientation(orientation == kOrientationPortrait ? QPageLayout::Portrait
                                                                       : QPageLayout::Landscape);
        if (!painter.begin(&printer))
            throw EUlmex(QStringLiteral("Cannot start a document on printer \"%1\"")
                             .arg(printer.printerName()));
        const qsizetype count = std::min<qsizetype>(texts.size(), m_fields.size());
        for (qsizetype i = 0; i < count; ++i) {
            TKeyPrintFieldDef& field = *m_fields[size_t(i)];
            painter.setFont(QFont(field.Font(), painter.device()));
            // The field's position is the top left corner of the text.
            const QFontMetricsF metrics(painter.font(), painter.device());
            painter.drawText(QPointF(field.intXPos, field.intYPos + metrics.ascent()),
                             QString::fromLatin1(texts[i]));
        }
        if (!painter.end())
            throw EUlmex(QStringLiteral("The page could not be handed to printer \"%1\"")
                             .arg(printer.printerName()));
        return {};
    } catch (const std::exception& e) {
        if (painter.isActive())
            painter.end();
        return ErrorOccurred_str(where, 1, ExceptionText(e));
    }
}

QByteArray DecodeTrackBits(const QByteArray& hex, int bitsPerChar, int dataBits, int offset) {
    QByteArray out;
    int group = 0;
    int bitsInGroup = 0;
    for (const char c : hex) {
        const int nibble = HexDigit(c);
        if (nibble < 0)
            throw EUlmex(QStringLiteral("'%1' is not a hexadecimal digit").arg(QChar(c)));
        for (int bit = 3; bit >= 0; --bit) {
            group |= ((nibble >> bit) & 1) << bitsInGroup;
            if (++bitsInGroup == bitsPerChar) {
                out.append(char((group & ((1 << dataBits) - 1)) + offset));
                group = 0;
                bitsInGroup = 0;
            }
        }
    }
    return out;
}

QByteArray CutAtEndSentinel(const QByteArray& text) {
    const qsizetype end = text.indexOf('?', 1);
    if (end < 0)
        return text;
    return text.mid(1, end - 1);
}

bool ParseHalvexKeyString_b(const QByteArray& keyString, TKeyStringData& out) {
    out = TKeyStringData{};
    try {
        qsizetype pos = 0;
        while (pos < keyString.size()) {
            const char type = keyString[pos];
            if (type < '1' || type > '4')
                return false;
            if (pos + 5 > keyString.size())
                throw EUlmex(QStringLiteral("record at %1 is cut short").arg(pos + 1));
            const QByteArray lengthText = keyString.mid(pos + 3, 2);
            if (!std::isdigit(uchar(lengthText[0])) || !std::isdigit(uchar(lengthText[1])))
                throw EUlmex(QStringLiteral("'%1' is not a valid record length")
                                 .arg(QString::fromLatin1(lengthText)));
            const int n = lengthText.toInt();
            const qsizetype dataLength = type == '4' ? n : 2 * n;
            pos += 5;
            if (pos + dataLength > keyString.size())
                throw EUlmex(QStringLiteral("record at %1 holds fewer than %2 characters")
                                 .arg(pos - 4)
                                 .arg(dataLength));
            const QByteArray data = keyString.mid(pos, dataLength);
            pos += dataLength;
            switch (type) {
            case '1':
                out.track1 = CutAtEndSentinel(DecodeTrackBits(data, 7, 6, 32));
                break;
            case '2':
                out.track2 = CutAtEndSentinel(DecodeTrackBits(data, 5, 4, 48));
                break;
            case '3':
                out.track3 = data;
                std::reverse(out.track3.begin(), out.track3.end());
                break;
            default:
                out.printTexts += data.split('"');
                break;
            }
        }
        return true;
    } catch (const std::exception& e) {
        throw EUlmex(QStringLiteral("Error - ParseHalvexKeyString_b ") + ExceptionText(e));
    }
}
