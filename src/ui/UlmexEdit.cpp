#include "UlmexEdit.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

bool IsAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u' ';
}
bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

bool UlmexEditCharAllowed_b(QChar c, TValidationType type, bool specialCharsIncluded,
                            const QString& specialChars) {
    if (c == QChar(8) || type == vtNone)
        return true;
    if (type == vtNumeric && IsAsciiDigit(c))
        return true;
    if (type == vtAlpha && IsAsciiLetter(c))
        return true;
    if (type == vtAlphaNumeric && (IsAsciiDigit(c) || IsAsciiLetter(c)))
        return true;
    return specialCharsIncluded && specialChars.contains(c);
}

TUlmexEdit::TUlmexEdit(QWidget* parent) : QLineEdit(parent) {}

void TUlmexEdit::keyPressEvent(QKeyEvent* event) {
    // Only typed characters are filtered; editing keys, shortcuts and control characters pass.
    const QString text = event->text();
    if (text.size() == 1 && text.at(0).unicode() >= 0x20 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) &&
        !UlmexEditCharAllowed_b(text.at(0), m_type, m_specialIncluded, m_specialChars)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
