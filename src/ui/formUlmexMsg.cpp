#include "formUlmexMsg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QStyle>

namespace {

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}

const QString kCRLF = QStringLiteral("\r\n");
constexpr int kWrapWidth = 500;
constexpr int kMaxWidth = 640;
constexpr int kMaxHeight = 480;

QLabel* MakeImage(QWidget* parent, const char* name, QStyle::StandardPixmap pixmap,
                  const QRect& place) {
    auto* img = new QLabel(parent);
    img->setObjectName(QLatin1String(name));
    img->setPixmap(parent->style()->standardIcon(pixmap).pixmap(32, 32));
    img->setGeometry(place);
    img->hide();
    return img;
}

QString Displayed(const QString& text) {
    QString t = text;
    t.replace(kCRLF, QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    return t;
}

// Size of the text as an auto-sizing label would take it (every line, empty ones included).
QSize Measure(const QLabel* label, const QString& text) {
    const QFontMetrics fm(label->font());
    const QStringList lines = Displayed(text).split(u'\n');
    int w = 0;
    for (const QString& line : lines)
        w = qMax(w, fm.horizontalAdvance(line));
    return {w, int(lines.size()) * fm.height()};
}

} // namespace

TfrmUlmexMsg::TfrmUlmexMsg(QWidget* parent) : TfrmBaseDialog(parent) {
    setObjectName(QStringLiteral("frmUlmexMsg"));
    m_dClient = QSize(322, 119);
    m_dPanel = QRect(5, 5, 311, 71);
    m_dImage = QRect(10, 10, 32, 32);
    m_dCentred = QRect(54, 8, 250, 26);
    m_dLeft = QRect(54, 38, 250, 26);
    m_dOK = QRect(82, 86, 75, 25);
    m_dCancel = QRect(166, 86, 75, 25);

    pnlMessages = new QFrame(this);
    pnlMessages->setObjectName(QStringLiteral("pnlMessages"));
    pnlMessages->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMessages->setGeometry(m_dPanel);
    auto* bevel = new QFrame(pnlMessages);
    bevel->setObjectName(QStringLiteral("bvlImage"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    bevel->setGeometry(m_dImage.adjusted(-2, -2, 2, 2));
    imgInformation =
        MakeImage(pnlMessages, "imgInformation", QStyle::SP_MessageBoxInformation, m_dImage);
    imgExclamation = MakeImage(pnlMessages, "imgExclamation", QStyle::SP_MessageBoxWarning,
                               m_dImage.translated(36, 0));
    imgQuestion = MakeImage(pnlMessages, "imgQuestion", QStyle::SP_MessageBoxQuestion,
                            m_dImage.translated(72, 0));
    imgCancel = MakeImage(pnlMessages, "imgCancel", QStyle::SP_MessageBoxCritical,
                          m_dImage.translated(108, 0));

    lblCenteredMessageText = new QLabel(pnlMessages);
    lblCenteredMessageText->setObjectName(QStringLiteral("lblCenteredMessageText"));
    lblCenteredMessageText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblCenteredMessageText->setGeometry(m_dCentred);
    lblLeftJustMessageText = new QLabel(pnlMessages);
    lblLeftJustMessageText->setObjectName(QStringLiteral("lblLeftJustMessageText"));
    lblLeftJustMessageText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblLeftJustMessageText->setGeometry(m_dLeft);
    for (QLabel* l : {lblCenteredMessageText, lblLeftJustMessageText}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(false);
    }

    lblLengthCalc = new QLabel(this);
    lblLengthCalc->setObjectName(QStringLiteral("lblLengthCalc"));
    lblLengthCalc->hide();

    BitBtnOK = new TUlmexBitBtn(this);
    BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
    BitBtnOK->setGeometry(m_dOK);
    BitBtnCancel = new TUlmexBitBtn(this);
    BitBtnCancel->setObjectName(QStringLiteral("BitBtnCancel"));
    BitBtnCancel->setGeometry(m_dCancel);

    setFixedSize(m_dClient);
}

QString TfrmUlmexMsg::WrapText(const QString& text) const {
    const QFontMetrics fm(lblLengthCalc->font());
    QString out;
    QString line;
    int lastBlank = -1;
    for (const QChar c : text) {
        if (c == u'\r')
            continue;
        if (c == u'\n') {
            out += line + kCRLF;
            line.clear();
            lastBlank = -1;
            continue;
        }
        line += c;
        if (c == u' ')
            lastBlank = int(line.size()) - 1;
        if (lastBlank >= 0 && fm.horizontalAdvance(line) > kWrapWidth) {
            out += line.left(lastBlank) + kCRLF;
            line = line.mid(lastBlank + 1);
            lastBlank = int(line.lastIndexOf(u' '));
        }
    }
    out += line;
    if (!out.isEmpty())
        out += kCRLF + kCRLF;
    return out;
}

void TfrmUlmexMsg::SetUp(const TUlmexMsgArgs& args) {
    setWindowTitle(args.title);
    m_autoSize = args.autoSizeWidth;
    m_icon = args.icon;
    m_defaultButton = args.defaultButton;
    m_buttons = args.buttons;
    m_timeOutMs = args.timeOutSecs * 1000;
    if (m_autoSize) {
        m_centredText = args.centredText;
        m_leftText = args.leftText;
    } else {
        m_centredText = WrapText(args.centredText);
        m_leftText = WrapText(args.leftText);
    }
    lblCenteredMessageText->setText(Displayed(m_centredText));
    lblLeftJustMessageText->setText(Displayed(m_leftText));
}

void TfrmUlmexMsg::showEvent(QShowEvent* event) {
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
    TfrmBaseDialog::showEvent(event);
}

void TfrmUlmexMsg::FormShow() {
    if (windowTitle().isEmpty())
        setWindowTitle(QGuiApplication::applicationDisplayName());
    if (m_centredText.isEmpty() && m_leftText.isEmpty()) {
        m_centredText = QStringLiteral("Ulmex Message Box");
        lblCenteredMessageText->setText(m_centredText);
    }
    if (m_timeOutMs < 0)
        m_timeOutMs = 0;

    struct TPlaced {
        QLabel* label;
        const QString& text;
        int width = 0;
        int height = 0;
        int excess = 0;
    };
    TPlaced placed[] = {{lblCenteredMessageText, m_centredText},
                        {lblLeftJustMessageText, m_leftText}};
    for (TPlaced& p : placed) {
        if (p.text.isEmpty()) {
            p.label->hide();
            continue;
        }
        const QSize measured = Measure(p.label, p.text);
        p.width = qMax(measured.width(), m_dCentred.width());
        p.excess = p.width - m_dCentred.width();
        // The formula leaves room for short texts; a longer text keeps every line visible.
        p.height = m_autoSize ? measured.height()
                              : qMax(LabelHeight(measured.height()), measured.height());
        p.label->show();
    }
    TPlaced& c = placed[0];
    TPlaced& l = placed[1];

    const int areaTop = m_dCentred.top();
    const int areaHeight = m_dLeft.bottom() + 1 - m_dCentred.top();
    const int gap = m_dLeft.top() - (m_dCentred.bottom() + 1);
    int cTop = areaTop;
    int lTop = areaTop;
    int total = 0;
    if (c.height > 0 && l.height > 0) {
        lTop = cTop + c.height + gap;
        total = c.height + gap + l.height;
    } else {
        TPlaced& one = c.height > 0 ? c : l;
        int top = areaTop;
        if (one.height < areaHeight)
            top += (areaHeight - one.height) / 2;
        (c.height > 0 ? cTop : lTop) = top;
        total = one.height;
    }
    const int heightGrowth = qMin(qMax(0, total - areaHeight), kMaxHeight - m_dClient.height());
    const int widthGrowth = qMin(qMax(0, qMax(c.excess, l.excess)), kMaxWidth - m_dClient.width());
    const int labelRoom = m_dCentred.width() + widthGrowth;
    lblCenteredMessageText->setGeometry(m_dCentred.left(), cTop, qMin(c.width, labelRoom),
                                        c.height);
    lblLeftJustMessageText->setGeometry(m_dLeft.left(), lTop, qMin(l.width, labelRoom), l.height);
    pnlMessages->setGeometry(m_dPanel.adjusted(0, 0, widthGrowth, heightGrowth));
    setFixedSize(m_dClient.width() + widthGrowth, m_dClient.height() + heightGrowth);

    for (QLabel* img : {imgInformation, imgExclamation, imgQuestion, imgCancel})
        img->hide();
    QLabel* shown = imgInformation;
    switch (m_icon) {
    case UlmexMB_IconExclamation:
        shown = imgExclamation;
        break;
    case UlmexMB_IconQuestion:
        shown = imgQuestion;
        break;
    case UlmexMB_ICONERROR:
        shown = imgCancel;
        break;
    default:
        break;
    }
    shown->setGeometry(m_dImage);
    shown->show();

    const int buttonsTop = m_dOK.top() + heightGrowth;
    const int centredLeft = (m_dClient.width() - m_dOK.width()) / 2;
    TUlmexBitBtn* defaultButton = BitBtnOK;
    switch (m_buttons) {
    case UlmexMB_Cancel:
        BitBtnOK->hide();
        BitBtnCancel->SetKind(bkCancel);
        BitBtnCancel->setText(res(QT_TRANSLATE_NOOP("Resource", "&Cancel")));
        BitBtnCancel->move(centredLeft, buttonsTop);
        BitBtnCancel->show();
        defaultButton = BitBtnCancel;
        break;
    case UlmexMB_OKCancel:
    case UlmexMB_YesNo:
    case UlmexMB_RetryCancel:
        if (m_buttons == UlmexMB_OKCancel) {
            BitBtnOK->SetKind(bkOK);
            BitBtnOK->setText(res(QT_TRANSLATE_NOOP("Resource", "&OK")));
            BitBtnCancel->SetKind(bkCancel);
            BitBtnCancel->setText(res(QT_TRANSLATE_NOOP("Resource", "&Cancel")));
        } else if (m_buttons == UlmexMB_YesNo) {
            BitBtnOK->SetKind(bkYes);
            BitBtnCancel->SetKind(bkNo);
        } else {
            BitBtnOK->SetKind(bkRetry);
            BitBtnCancel->SetKind(bkCancel);
        }
        BitBtnOK->move(m_dOK.left(), buttonsTop);
        BitBtnCancel->move(m_dCancel.left(), buttonsTop);
        BitBtnOK->show();
        BitBtnCancel->show();
        defaultButton = m_defaultButton == Ulmex_DefaultButton2 ? BitBtnCancel : BitBtnOK;
        break;
    case UlmexMB_OK:
    default:
        BitBtnCancel->hide();
        BitBtnOK->SetKind(bkOK);
        BitBtnOK->setText(res(QT_TRANSLATE_NOOP("Resource", "&OK")));
        BitBtnOK->move(centredLeft, buttonsTop);
        BitBtnOK->show();
        break;
    }
    // The window's own results replace those of the button kinds.
    BitBtnOK->SetModalResult(1);
    BitBtnCancel->SetModalResult(-1);
    BitBtnCancel->SetCancel(BitBtnCancel->isVisibleTo(this));
    for (TUlmexBitBtn* b : {BitBtnOK, BitBtnCancel}) {
        if (b->isVisibleTo(this))
            b->move(b->x() + widthGrowth / 2, b->y());
        b->setDefault(b == defaultButton);
    }
    defaultButton->setFocus();

    UlmexETimer1->setInterval(m_timeOutMs);
    if (m_timeOutMs > 0)
        UlmexETimer1->start();
    else
        UlmexETimer1->stop();
    CenterOnScreen();
}

void TfrmUlmexMsg::UlmexETimer1Timer() {
    UlmexETimer1->stop();
    SetModalResult(-2);
}

void TfrmUlmexMsg::closeEvent(QCloseEvent* event) {
    // No close box: only the buttons and the time-out end the box.
    event->ignore();
}
