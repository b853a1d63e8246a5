// The message window: layout, buttons and results, time-out, override and unattended mode.
#include "UlmexMsgBox.h"
#include "formUlmexMsg.h"
#include "ui_test_support.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString Words(int count) {
    QStringList w;
    for (int i = 0; i < count; ++i)
        w << QStringLiteral("word%1").arg(i % 10);
    return w.join(u' ');
}

struct LayoutCase {
    const char* name;
    QString title;
    QString centred;
    QString left;
    int width;  // expected window width, -1: any
    int height; // expected window height, -1: any
};

class MsgBoxLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(MsgBoxLayout, WindowSizeAndLabels) {
    const LayoutCase& c = GetParam();
    TfrmUlmexMsg form;
    TUlmexMsgArgs args;
    args.title = c.title;
    args.centredText = c.centred;
    args.leftText = c.left;
    form.SetUp(args);
    form.show();
    if (c.width >= 0) {
        EXPECT_EQ(form.width(), c.width);
    }
    if (c.height >= 0) {
        EXPECT_EQ(form.height(), c.height);
    }
    EXPECT_LE(form.width(), 640);
    EXPECT_LE(form.height(), 480);
    // The panel and the buttons follow the window's growth.
    EXPECT_EQ(form.pnlMessages->width(), form.width() - 11);
    EXPECT_EQ(form.pnlMessages->height(), form.height() - 48);
    EXPECT_EQ(form.BitBtnOK->y(), form.height() - 33);
    EXPECT_NEAR(form.BitBtnOK->x(), (form.width() - 75) / 2, 1);
    EXPECT_FALSE(form.BitBtnCancel->isVisible());
    EXPECT_EQ(form.imgInformation->geometry(), QRect(10, 10, 32, 32));
    EXPECT_EQ(form.lblLeftJustMessageText->isVisible(), !c.left.isEmpty());
    form.hide();
}

const QString kNoBlanks = QString(120, u'W');

INSTANTIATE_TEST_SUITE_P(
    Cases, MsgBoxLayout,
    ::testing::Values(
        LayoutCase{"ShortText", QStringLiteral("T"), QStringLiteral("Hello"), {}, 322, 119},
        LayoutCase{"NoBlanks120", QStringLiteral("T"), kNoBlanks, {}, 640, -1},
        LayoutCase{"LongWrapped", QStringLiteral("T"), Words(60), Words(2000), -1, 480},
        LayoutCase{"BothEmpty", {}, {}, {}, 322, 119}),
    [](const ::testing::TestParamInfo<LayoutCase>& i) { return std::string(i.param.name); });

TEST(MsgBoxLayoutRules, LabelHeightFormula) {
    const struct {
        int measured, height;
    } cases[] = {{0, 26}, {13, 26}, {64, 26}, {65, 39}, {142, 39}, {143, 52}};
    for (const auto& c : cases)
        EXPECT_EQ(TfrmUlmexMsg::LabelHeight(c.measured), c.height) << c.measured;
}

TEST(MsgBoxLayoutRules, WrapsAtLastBlankBeyond500Pixels) {
    TfrmUlmexMsg form;
    const QString text = Words(200);
    const QString wrapped = form.WrapText(text);
    ASSERT_TRUE(wrapped.endsWith(QStringLiteral("\r\n\r\n")));
    const QStringList lines = wrapped.chopped(4).split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 3);
    const QFontMetrics fm(form.lblLengthCalc->font());
    for (const QString& line : lines) {
        EXPECT_LE(fm.horizontalAdvance(line), 500) << line.toStdString();
        EXPECT_FALSE(line.startsWith(u' ') || line.endsWith(u' '));
    }
    // Only blanks were dropped.
    EXPECT_EQ(lines.join(u' '), text);
    EXPECT_EQ(form.WrapText(kNoBlanks), kNoBlanks + QStringLiteral("\r\n\r\n"));
    EXPECT_EQ(form.WrapText(QStringLiteral("a\r\nb")), QStringLiteral("a\r\nb\r\n\r\n"));
    EXPECT_EQ(form.WrapText(QString()), QString());
}

TEST(MsgBoxLayoutRules, EmptyBoxShowsApplicationTitleAndNotice) {
    TfrmUlmexMsg form;
    form.SetUp({});
    form.show();
    EXPECT_EQ(form.windowTitle(), QApplication::applicationDisplayName());
    EXPECT_EQ(form.lblCenteredMessageText->text(), QStringLiteral("Ulmex Message Box"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    form.hide();
}

TEST(MsgBoxLayoutRules, AutoSizeKeepsTextAndLabelHeight) {
    TfrmUlmexMsg form;
    TUlmexMsgArgs args;
    args.autoSizeWidth = true;
    args.centredText = Words(10);
    form.SetUp(args);
    form.show();
    EXPECT_EQ(form.CentredText(), Words(10));
    EXPECT_EQ(form.lblCenteredMessageText->height(),
              QFontMetrics(form.lblCenteredMessageText->font()).height());
    form.hide();
}

TEST(MsgBoxLayoutRules, IconShownAtInformationPlace) {
    TfrmUlmexMsg form;
    TUlmexMsgArgs args;
    args.centredText = QStringLiteral("x");
    args.icon = UlmexMB_ICONERROR;
    form.SetUp(args);
    form.show();
    EXPECT_TRUE(form.imgCancel->isVisible());
    EXPECT_FALSE(form.imgInformation->isVisible());
    EXPECT_EQ(form.imgCancel->geometry(), QRect(10, 10, 32, 32));
    form.hide();
}

// Modal runs: the box really shows and is answered from inside its own event loop.
class MsgBoxResults : public ::testing::Test {
protected:
    TAttended attended;
};

enum class Answer { Return, ClickLeft, ClickRight, Escape };

struct ResultCase {
    const char* name;
    TUlmexButtonsType buttons;
    TUlmexDefaultButtonType defaultButton;
    Answer answer;
    int result;
    const char* focused; // object name of the default button
    const char* leftCaption;
    const char* rightCaption; // nullptr: right button hidden
};

class MsgBoxResultTable : public MsgBoxResults, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(MsgBoxResultTable, DefaultButtonFocusAndResult) {
    const ResultCase& c = GetParam();
    QString focused, left, right;
    bool leftVisible = false, rightVisible = false;
    TWhenModal<TfrmUlmexMsg> answer([&](TfrmUlmexMsg* box) {
        focused = box->focusWidget() ? box->focusWidget()->objectName() : QString();
        leftVisible = box->BitBtnOK->isVisible();
        rightVisible = box->BitBtnCancel->isVisible();
        left = box->BitBtnOK->text();
        right = box->BitBtnCancel->text();
        switch (c.answer) {
        case Answer::Return:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Answer::ClickLeft:
            box->BitBtnOK->click();
            break;
        case Answer::ClickRight:
            box->BitBtnCancel->click();
            break;
        case Answer::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        }
    });
    // The time-out bounds the test if the answer does not reach the box.
    const int r = UlmexMsgBox(QStringLiteral("Title"), QStringLiteral("Question?"), QString(),
                              false, 5, UlmexMB_IconQuestion, c.defaultButton, c.buttons);
    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(focused, QLatin1String(c.focused));
    if (c.buttons != UlmexMB_Cancel) {
        EXPECT_TRUE(leftVisible);
        EXPECT_EQ(left, QLatin1String(c.leftCaption));
    }
    EXPECT_EQ(rightVisible, c.rightCaption != nullptr);
    if (c.rightCaption) {
        EXPECT_EQ(right, QLatin1String(c.rightCaption));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MsgBoxResultTable,
    ::testing::Values(ResultCase{"OK_Return", UlmexMB_OK, Ulmex_DefaultButton1, Answer::Return, 1,
                                 "BitBtnOK", "&OK", nullptr},
                      ResultCase{"OK_IgnoresDefault2", UlmexMB_OK, Ulmex_DefaultButton2,
                                 Answer::Return, 1, "BitBtnOK", "&OK", nullptr},
                      ResultCase{"OKCancel_Return1", UlmexMB_OKCancel, Ulmex_DefaultButton1,
                                 Answer::Return, 1, "BitBtnOK", "&OK", "&Cancel"},
                      ResultCase{"OKCancel_Return2", UlmexMB_OKCancel, Ulmex_DefaultButton2,
                                 Answer::Return, -1, "BitBtnCancel", "&OK", "&Cancel"},
                      ResultCase{"OKCancel_Escape", UlmexMB_OKCancel, Ulmex_DefaultButton1,
                                 Answer::Escape, -1, "BitBtnOK", "&OK", "&Cancel"},
                      ResultCase{"YesNo_ClickYes", UlmexMB_YesNo, Ulmex_DefaultButton1,
                                 Answer::ClickLeft, 1, "BitBtnOK", "&Yes", "&No"},
                      ResultCase{"YesNo_Default2FocusesNo", UlmexMB_YesNo, Ulmex_DefaultButton2,
                                 Answer::Return, -1, "BitBtnCancel", "&Yes", "&No"},
                      ResultCase{"RetryCancel_ClickCancel", UlmexMB_RetryCancel,
                                 Ulmex_DefaultButton1, Answer::ClickRight, -1, "BitBtnOK", "&Retry",
                                 "Cancel"},
                      ResultCase{"Cancel_Return", UlmexMB_Cancel, Ulmex_DefaultButton1,
                                 Answer::Return, -1, "BitBtnCancel", "", "&Cancel"},
                      ResultCase{"UnknownType_ShowsOK", TUlmexButtonsType(9), Ulmex_DefaultButton1,
                                 Answer::Return, 1, "BitBtnOK", "&OK", nullptr}),
    [](const ::testing::TestParamInfo<ResultCase>& i) { return std::string(i.param.name); });

TEST_F(MsgBoxResults, TimeOutClosesWithMinus2) {
    bool timerRunning = false;
    TWhenModal<TfrmUlmexMsg> look([&](TfrmUlmexMsg* box) {
        timerRunning = box->UlmexETimer1->isActive() && box->UlmexETimer1->interval() == 1000;
    });
    EXPECT_EQ(UlmexMsgBox(QStringLiteral("T"), QStringLiteral("waits"), QString(), false, 1), -2);
    EXPECT_TRUE(look.Done());
    EXPECT_TRUE(timerRunning);
}

TEST_F(MsgBoxResults, CloseRequestIsIgnored) {
    bool stillVisible = false;
    TWhenModal<TfrmUlmexMsg> act([&](TfrmUlmexMsg* box) {
        box->close();
        stillVisible = box->isVisible();
        box->BitBtnOK->click();
    });
    EXPECT_EQ(UlmexMsgBox(QStringLiteral("T"), QStringLiteral("x"), QString(), false, 5), 1);
    EXPECT_TRUE(stillVisible);
}

// A question from a worker waits for its answer from the main thread; a notice does not keep
// the worker (which may hold the printer or reader lock) waiting for the operator.
TEST_F(MsgBoxResults, WorkerThreadBoxesShowInMainThread) {
    std::atomic<int> result{0};
    std::atomic<bool> inMainThread{false};
    const std::unique_ptr<QThread> worker(QThread::create([&]() {
        result = UlmexMsgBox(QStringLiteral("T"), QStringLiteral("from a worker"), QString(), false,
                             5, UlmexMB_IconQuestion, Ulmex_DefaultButton1, UlmexMB_YesNo);
    }));
    TWhenModal<TfrmUlmexMsg> answer([&](TfrmUlmexMsg* box) {
        inMainThread = box->thread() == QApplication::instance()->thread();
        box->BitBtnOK->click();
    });
    worker->start();
    ASSERT_TRUE(WaitFor([&]() { return worker->isFinished(); }, 8000));
    worker->wait(1000);
    EXPECT_TRUE(answer.Done());
    EXPECT_TRUE(inMainThread);
    EXPECT_EQ(result, 1);

    std::atomic<bool> noticeReturned{false};
    const std::unique_ptr<QThread> notifier(QThread::create([&]() {
        result = UlmexMsgBox(QStringLiteral("T"), QStringLiteral("a notice"), QString(), false, 5);
        noticeReturned = true;
    }));
    notifier->start();
    // Returns while nobody has answered: the main thread has not even run yet.
    ASSERT_TRUE(notifier->wait(5000));
    EXPECT_TRUE(noticeReturned);
    EXPECT_EQ(result, -2);
    inMainThread = false;
    TWhenModal<TfrmUlmexMsg> shown([&](TfrmUlmexMsg* box) {
        inMainThread = box->thread() == QApplication::instance()->thread();
        box->BitBtnOK->click();
    });
    EXPECT_TRUE(WaitFor([&]() { return shown.Done(); }, 4000)) << "the notice is still shown";
    EXPECT_TRUE(inMainThread);
}

TEST(MsgBoxOverride, ReceivesEveryArgumentAndItsContext) {
    int context = 0;
    TUlmexMsgArgs seen;
    void* seenContext = nullptr;
    g_UlmexMsgBox_Override.fn = [&](const QString& t, const QString& c, const QString& l, bool a,
                                    int s, TUlmexIconType i, TUlmexDefaultButtonType d,
                                    TUlmexButtonsType b, void* ctx) {
        seen = {t, c, l, a, s, i, d, b};
        seenContext = ctx;
        return 7;
    };
    g_UlmexMsgBox_Override.context = &context;
    const int r = UlmexMsgBox(QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("L"), true,
                              9, UlmexMB_IconQuestion, Ulmex_DefaultButton2, UlmexMB_YesNo);
    g_UlmexMsgBox_Override = {};
    EXPECT_EQ(r, 7);
    EXPECT_EQ(seenContext, &context);
    EXPECT_EQ(seen.title, QStringLiteral("T"));
    EXPECT_EQ(seen.centredText, QStringLiteral("C"));
    EXPECT_EQ(seen.leftText, QStringLiteral("L"));
    EXPECT_TRUE(seen.autoSizeWidth);
    EXPECT_EQ(seen.timeOutSecs, 9);
    EXPECT_EQ(seen.icon, UlmexMB_IconQuestion);
    EXPECT_EQ(seen.defaultButton, Ulmex_DefaultButton2);
    EXPECT_EQ(seen.buttons, UlmexMB_YesNo);
}

TEST(MsgBoxUnattended, LogsTextsAndAnswersMinus2AtOnce) {
    TDebugFolder log;
    ASSERT_TRUE(UnattendedMode_b());
    EXPECT_EQ(UlmexMsgBox(QStringLiteral("Box title"), QStringLiteral("centred words"),
                          QStringLiteral("left words"), false, 0, UlmexMB_ICONERROR,
                          Ulmex_DefaultButton1, UlmexMB_OKCancel),
              -2);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QString text = log.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("Box title")));
    EXPECT_TRUE(text.contains(QStringLiteral("centred words")));
    EXPECT_TRUE(text.contains(QStringLiteral("left words")));
}

} // namespace
