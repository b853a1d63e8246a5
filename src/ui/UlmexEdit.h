#pragma once
// Single-line edit box that refuses characters outside its validation type.

#include <QLineEdit>

enum TValidationType { vtNone, vtNumeric, vtAlpha, vtAlphaNumeric };

// The rule applied to every typed character (8 = backspace).
bool UlmexEditCharAllowed_b(QChar c, TValidationType type, bool specialCharsIncluded,
                            const QString& specialChars);

class TUlmexEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int ValidationType READ ValidationTypeInt WRITE SetValidationTypeInt)
    Q_PROPERTY(bool SpecialCharsIncluded READ SpecialCharsIncluded WRITE SetSpecialCharsIncluded)
    Q_PROPERTY(QString SpecialChars READ SpecialChars WRITE SetSpecialChars)

public:
    explicit TUlmexEdit(QWidget* parent = nullptr);

    TValidationType ValidationType() const { return m_type; }
    void SetValidationType(TValidationType type) { m_type = type; }
    bool SpecialCharsIncluded() const { return m_specialIncluded; }
    void SetSpecialCharsIncluded(bool b) { m_specialIncluded = b; }
    QString SpecialChars() const { return m_specialChars; }
    void SetSpecialChars(const QString& chars) { m_specialChars = chars; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int ValidationTypeInt() const { return int(m_type); }
    void SetValidationTypeInt(int t) { m_type = TValidationType(t); }

    TValidationType m_type = vtNone;
    bool m_specialIncluded = false;
    QString m_specialChars = QStringLiteral("-.");
};
