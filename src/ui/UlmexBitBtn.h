#pragma once
// Bitmap push button with standard kinds and a caption that can wrap.

#include <QPixmap>
#include <QPushButton>

enum TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };

// Modal results of the button kinds.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8
};

// Called for a click on a bkHelp button with the help context of the nearest parent that has one
// (the "HelpContext" property of a widget); empty: nothing happens.
using THelpContextHandler = void (*)(int helpContext);
void SetHelpContextHandler(THelpContextHandler handler);

class TUlmexBitBtn : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(int Kind READ KindInt WRITE SetKindInt)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)

public:
    explicit TUlmexBitBtn(QWidget* parent = nullptr);

    TBitBtnKind Kind() const { return m_kind; }
    // Supplies the standard glyph, caption and modal result of the kind.
    void SetKind(TBitBtnKind kind);
    QPixmap Glyph() const { return m_glyph; }
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int n);
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return m_margin; }
    void SetMargin(int margin);
    int Spacing() const { return m_spacing; }
    void SetSpacing(int spacing);
    TButtonStyle Style() const { return m_style; }
    void SetStyle(TButtonStyle style) { m_style = style; }
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool cancel) { m_cancel = cancel; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wrap);

    static QString KindCaption(TBitBtnKind kind);
    static int KindModalResult(TBitBtnKind kind);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int KindInt() const { return int(m_kind); }
    void SetKindInt(int kind) { SetKind(TBitBtnKind(kind)); }
    void Clicked();
    QPixmap CurrentGlyph() const;

    TBitBtnKind m_kind = bkCustom;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    TButtonLayout m_layout = blGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    TButtonStyle m_style = bsAutoDetect;
    int m_modalResult = mrNone;
    bool m_cancel = false;
    bool m_wordWrap = false;
};
