#include "UlmexBitBtn.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}

THelpContextHandler g_helpHandler = nullptr;

struct TKindInfo {
    const char* caption;
    int modalResult;
    QStyle::StandardPixmap glyph;
};

const TKindInfo& KindInfo(TBitBtnKind kind) {
    static const TKindInfo table[] = {
        {"", mrNone, QStyle::SP_CustomBase},
        {QT_TRANSLATE_NOOP("Resource", "OK"), mrOk, QStyle::SP_DialogOkButton},
        {QT_TRANSLATE_NOOP("Resource", "Cancel"), mrCancel, QStyle::SP_DialogCancelButton},
        {QT_TRANSLATE_NOOP("Resource", "&Help"), mrNone, QStyle::SP_DialogHelpButton},
        {QT_TRANSLATE_NOOP("Resource", "&Yes"), mrYes, QStyle::SP_DialogYesButton},
        {QT_TRANSLATE_NOOP("Resource", "&No"), mrNo, QStyle::SP_DialogNoButton},
        {QT_TRANSLATE_NOOP("Resource", "&Close"), mrNone, QStyle::SP_DialogCloseButton},
        {QT_TRANSLATE_NOOP("Resource", "Abort"), mrAbort, QStyle::SP_DialogAbortButton},
        {QT_TRANSLATE_NOOP("Resource", "&Retry"), mrRetry, QStyle::SP_DialogRetryButton},
        {QT_TRANSLATE_NOOP("Resource", "&Ignore"), mrIgnore, QStyle::SP_DialogIgnoreButton},
        {QT_TRANSLATE_NOOP("Resource", "&All"), mrAll, QStyle::SP_DialogYesToAllButton},
    };
    const int i = int(kind);
    return table[(i >= 0 && i <= int(bkAll)) ? i : 0];
}

} // namespace

void SetHelpContextHandler(THelpContextHandler handler) {
    g_helpHandler = handler;
}

TUlmexBitBtn::TUlmexBitBtn(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &TUlmexBitBtn::Clicked);
}

QString TUlmexBitBtn::KindCaption(TBitBtnKind kind) {
    const char* caption = KindInfo(kind).caption;
    return *caption ? res(caption) : QString();
}

int TUlmexBitBtn::KindModalResult(TBitBtnKind kind) {
    return KindInfo(kind).modalResult;
}

void TUlmexBitBtn::SetKind(TBitBtnKind kind) {
    m_kind = kind;
    if (kind == bkCustom) {
        update();
        return;
    }
    const TKindInfo& info = KindInfo(kind);
    setText(KindCaption(kind));
    m_modalResult = info.modalResult;
    m_cancel = kind == bkCancel || kind == bkNo;
    if (kind == bkOK || kind == bkYes)
        setDefault(true);
    const QIcon icon = style()->standardIcon(info.glyph, nullptr, this);
    m_glyph = icon.pixmap(16, 16);
    m_numGlyphs = 1;
    update();
}

void TUlmexBitBtn::SetGlyph(const QPixmap& glyph) {
    m_glyph = glyph;
    update();
}

void TUlmexBitBtn::SetNumGlyphs(int n) {
    m_numGlyphs = qBound(1, n, 4);
    update();
}

void TUlmexBitBtn::SetLayout(TButtonLayout layout) {
    m_layout = layout;
    update();
}

void TUlmexBitBtn::SetMargin(int margin) {
    m_margin = margin;
    update();
}

void TUlmexBitBtn::SetSpacing(int spacing) {
    m_spacing = spacing;
    update();
}

void TUlmexBitBtn::SetWordWrap(bool wrap) {
    m_wordWrap = wrap;
    update();
}

void TUlmexBitBtn::Clicked() {
    if (m_kind == bkHelp) {
        for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
            const int context = w->property("HelpContext").toInt();
            if (context > 0) {
                if (g_helpHandler)
                    g_helpHandler(context);
                break;
            }
        }
        return;
    }
    if (m_kind == bkClose) {
        if (QWidget* form = window())
            form->close();
        return;
    }
    if (m_modalResult != mrNone) {
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(m_modalResult);
    }
}

QPixmap TUlmexBitBtn::CurrentGlyph() const {
    if (m_glyph.isNull())
        return {};
    // The strip holds normal, disabled, pressed and down images side by side.
    const int n = qBound(1, m_numGlyphs, 4);
    const int w = m_glyph.width() / n;
    int index = 0;
    if (!isEnabled() && n > 1)
        index = 1;
    else if (isDown() && n > 2)
        index = 2;
    else if (isChecked() && n > 3)
        index = 3;
    return m_glyph.copy(index * w, 0, w, m_glyph.height());
}

void TUlmexBitBtn::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QPixmap glyph = CurrentGlyph();
    const QSize gs = glyph.isNull() ? QSize() : glyph.deviceIndependentSize().toSize();
    const int spacing = (gs.isEmpty() || text().isEmpty()) ? 0 : m_spacing;
    const bool horizontal = m_layout == blGlyphLeft || m_layout == blGlyphRight;

    int flags = Qt::TextShowMnemonic | Qt::AlignCenter;
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    const int textRoom = qMax(1, horizontal ? area.width() - gs.width() - spacing : area.width());
    const QRect textBounds =
        fontMetrics().boundingRect(QRect(0, 0, textRoom, area.height()), flags, text());
    const QSize ts = text().isEmpty() ? QSize() : textBounds.size();

    // The block of glyph and caption is centred; Margin >= 0 pins it to the glyph's edge instead.
    const int blockW =
        horizontal ? gs.width() + spacing + ts.width() : qMax(gs.width(), ts.width());
    const int blockH =
        horizontal ? qMax(gs.height(), ts.height()) : gs.height() + spacing + ts.height();
    int x = area.left() + (area.width() - blockW) / 2;
    int y = area.top() + (area.height() - blockH) / 2;
    if (m_margin >= 0) {
        if (m_layout == blGlyphLeft)
            x = area.left() + m_margin;
        else if (m_layout == blGlyphRight)
            x = area.right() - m_margin - blockW;
        else if (m_layout == blGlyphTop)
            y = area.top() + m_margin;
        else
            y = area.bottom() - m_margin - blockH;
    }
    if (isDown()) {
        ++x;
        ++y;
    }
    QRect glyphRect, textRect;
    switch (m_layout) {
    case blGlyphLeft:
        glyphRect = QRect(QPoint(x, y + (blockH - gs.height()) / 2), gs);
        textRect = QRect(QPoint(x + gs.width() + spacing, y + (blockH - ts.height()) / 2), ts);
        break;
    case blGlyphRight:
        textRect = QRect(QPoint(x, y + (blockH - ts.height()) / 2), ts);
        glyphRect = QRect(QPoint(x + ts.width() + spacing, y + (blockH - gs.height()) / 2), gs);
        break;
    case blGlyphTop:
        glyphRect = QRect(QPoint(x + (blockW - gs.width()) / 2, y), gs);
        textRect = QRect(QPoint(x + (blockW - ts.width()) / 2, y + gs.height() + spacing), ts);
        break;
    case blGlyphBottom:
        textRect = QRect(QPoint(x + (blockW - ts.width()) / 2, y), ts);
        glyphRect = QRect(QPoint(x + (blockW - gs.width()) / 2, y + ts.height() + spacing), gs);
        break;
    }
    if (!glyph.isNull()) {
        if (!isEnabled() && m_numGlyphs < 2)
            p.setOpacity(0.4);
        p.drawPixmap(glyphRect, glyph);
        p.setOpacity(1.0);
    }
    if (!text().isEmpty()) {
        if (isEnabled()) {
            p.setPen(palette().color(QPalette::ButtonText));
            p.drawText(textRect, flags, text());
        } else {
            // Embossed: a light copy one pixel down and right under the shadow-coloured text.
            p.setPen(palette().color(QPalette::Light));
            p.drawText(textRect.translated(1, 1), flags, text());
            p.setPen(palette().color(QPalette::Dark));
            p.drawText(textRect, flags, text());
        }
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
