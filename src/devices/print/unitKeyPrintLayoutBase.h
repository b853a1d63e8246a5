#pragma once
// Card print layouts (named sets of text fields with a font and a device position), their
// layout text for the wire, and the key string a printer-encoder station sends.

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

class QPrinter;

// Items of a layout text are separated by this character.
inline constexpr char kLayoutItemSeparator = 0x7F;

enum TFontStyleBits { fsBold = 0x01, fsItalic = 0x02, fsUnderline = 0x04, fsStrikeOut = 0x08 };

// One printed field.
class TKeyPrintFieldDef {
public:
    int idxKeyPrintLayoutID = 0;
    int idxFieldID = 0;
    QString strFont_Name;
    int intFont_Charset = 0; // 0..255
    int intFont_Pitch = 0;   // 1 variable, 2 fixed, anything else default
    int intFont_Size = 0;    // points
    int intFont_Style = 0;   // TFontStyleBits; higher bits ignored
    int intXPos = 0;         // text origin (top left) in printer device units
    int intYPos = 0;

    // The font the field is printed with.
    const QFont& Font();

private:
    QFont m_font;
};

// Orientation values of a layout.
inline constexpr int kOrientationLandscape = 1;
inline constexpr int kOrientationPortrait = 2;

class TKeyPrintLayoutBase {
public:
    TKeyPrintLayoutBase() = default;
    virtual ~TKeyPrintLayoutBase() = default;
    TKeyPrintLayoutBase(const TKeyPrintLayoutBase&) = delete;
    TKeyPrintLayoutBase& operator=(const TKeyPrintLayoutBase&) = delete;

    int idxKeyPrintLayoutID() const { return m_idxKeyPrintLayoutID; }
    void SetidxKeyPrintLayoutID(int id) { m_idxKeyPrintLayoutID = id; }
    const QString& strName() const { return m_strName; }
    void SetstrName(const QString& name) { m_strName = name.left(50); }
    int lngOrientation() const { return m_lngOrientation; }
    // 2 is portrait; every other value is stored as 1 (landscape).
    void SetlngOrientation(int orientation);
    const QString& ErrorText() const { return m_errorText; }
    const QString& LockText() const { return m_lockText; }

    const std::vector<std::unique_ptr<TKeyPrintFieldDef>>& Fields() const { return m_fields; }
    TKeyPrintFieldDef& AddField();
    // Name, orientation 1, fields, error and lock texts.
    void Clear();

    // Appends one field per nine items (the list is not cleared first), then takes the
    // orientation from the last item. Returns the error text (empty on success).
    QString SetCommString(const QByteArray& layoutText);
    // The inverse: nine items per field, then the orientation, joined with 0x7F.
    QByteArray GetCommString() const;

    // Prints texts[i] with field i on the selected printer (see unitPrinterOutput.h).
    QString Print_Lines(const QList<QByteArray>& texts, int orientation);
    // The same on a given printer (a PDF file in tests).
    QString Print_Lines(QPrinter& printer, const QList<QByteArray>& texts, int orientation);

protected:
    QString m_errorText;
    QString m_lockText;

private:
    int m_idxKeyPrintLayoutID = 0;
    QString m_strName;
    int m_lngOrientation = kOrientationLandscape;
    std::vector<std::unique_ptr<TKeyPrintFieldDef>> m_fields;
};

// The "%s: An error occurred: " heading followed by blanks and the failure's text.
QString ErrorOccurred_str(const QString& where, int blanks, const QString& text);

// What a key string holds.
struct TKeyStringData {
    QByteArray track1;
    QByteArray track2;
    QByteArray track3;
    QList<QByteArray> printTexts;
};

// Reads the records of a key string. False for a record type other than 1 to 4; a malformed
// record raises EUlmex("Error - ParseHalvexKeyString_b " + fault).
bool ParseHalvexKeyString_b(const QByteArray& keyString, TKeyStringData& out);

// Track bit streams (hexadecimal, most significant bit first) to characters: groups of
// bitsPerChar bits, each assembled least significant bit first; the low dataBits + offset.
QByteArray DecodeTrackBits(const QByteArray& hex, int bitsPerChar, int dataBits, int offset);
// Cuts a track text to the characters between the start sentinel and the first "?".
QByteArray CutAtEndSentinel(const QByteArray& text);
