// Idle timer with an injected clock, the base windows, the bitmap button and the edit box filter.
#include "UlmexBitBtn.h"
#include "UlmexETimer.h"
#include "UlmexEdit.h"
#include "formBase.h"
#include "ui_test_support.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int64_t kSec = 1000;

class IdleTimer : public ::testing::Test {
protected:
    IdleTimer() {
        SetUlmexClock([this]() { return now; });
        NoteUserInput();
    }
    ~IdleTimer() override { SetUlmexClock({}); }

    // A real mouse event through the application, as the input recorder sees it.
    void MoveMouse(QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }

    int64_t now = 1'000'000 * kSec;
};

TEST_F(IdleTimer, ExpiresAfterSnoozeAndInputPostponesByAFullPeriod) {
    TUlmexETimer timer;
    QWidget target;
    timer.SetSnoozeSecs(310);
    EXPECT_EQ(timer.interval(), 310000);
    timer.Reset();
    now += 300 * kSec;
    EXPECT_FALSE(timer.Expired());
    EXPECT_EQ(timer.interval(), 10000); // the next tick comes when the period would end
    MoveMouse(&target);
    EXPECT_EQ(LastUserInputTime(), now);
    now += 309 * kSec;
    EXPECT_FALSE(timer.Expired());
    EXPECT_EQ(timer.interval(), 1000);
    now += 1 * kSec;
    EXPECT_TRUE(timer.Expired());
    // Expiry resets: a new period starts now.
    EXPECT_FALSE(timer.Expired());
    EXPECT_EQ(timer.ElapsedMs(), 0);
}

TEST_F(IdleTimer, SnoozeZeroKeepsIntervalAndAlwaysExpires) {
    TUlmexETimer timer;
    timer.setInterval(1234);
    timer.SetSnoozeSecs(0);
    EXPECT_EQ(timer.interval(), 1234);
    EXPECT_TRUE(timer.Expired());
    EXPECT_TRUE(timer.Expired());
}

TEST_F(IdleTimer, RecorderLivesWhileATimerExists) {
    QWidget target;
    {
        const TUlmexETimer a;
        {
            const TUlmexETimer b;
            EXPECT_GE(UlmexETimerCount(), 2);
        }
        now += kSec;
        MoveMouse(&target);
        EXPECT_EQ(LastUserInputTime(), now);
    }
    if (UlmexETimerCount() == 0) {
        const int64_t before = LastUserInputTime();
        now += kSec;
        MoveMouse(&target);
        EXPECT_EQ(LastUserInputTime(), before);
    }
}

TEST_F(IdleTimer, TimeOutDialogClosesWithCancelAfterIdlePeriod) {
    TfrmBaseDialogTimeOut dialog;
    dialog.show();
    ASSERT_TRUE(dialog.UlmexETimer1->isActive());
    EXPECT_EQ(dialog.UlmexETimer1->SnoozeSecs(), 310);

    // Input at second 300 keeps it open at second 311.
    now += 300 * kSec;
    MoveMouse(&dialog);
    now += 11 * kSec;
    dialog.UlmexETimer1->setInterval(5);
    ASSERT_TRUE(WaitFor(
        [&]() { return dialog.UlmexETimer1->interval() != 5 || !dialog.isVisible(); }, 2000));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.UlmexETimer1->interval(), 299000);

    // 310 seconds after that input it closes with cancel.
    now += 299 * kSec;
    dialog.UlmexETimer1->setInterval(5);
    EXPECT_TRUE(WaitFor([&]() { return !dialog.isVisible(); }, 2000));
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_FALSE(dialog.UlmexETimer1->isActive());
}

TEST(BaseWindows, DesignedSizesFlagsAndCentring) {
    TfrmBase base;
    EXPECT_EQ(base.size(), QSize(435, 300));
    EXPECT_FALSE(base.UlmexETimer1->isActive());
    EXPECT_EQ(base.UlmexETimer1->interval(), 310000);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(base.x(), (screen.width() - 435) / 2);
    EXPECT_EQ(base.y(), (screen.height() - 300) / 2);

    TfrmBaseDialog dialog;
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);

    TfrmBaseEdit edit;
    EXPECT_EQ(edit.size(), QSize(435, 307));
    EXPECT_EQ(edit.windowTitle(), QStringLiteral("Edit Form"));
    EXPECT_EQ(edit.btnOK->ModalResult(), int(mrOk));
    EXPECT_EQ(edit.btnCancel->ModalResult(), int(mrCancel));
    EXPECT_EQ(edit.findChild<TUlmexBitBtn*>(QStringLiteral("btnOK")), edit.btnOK);
}

TEST(BaseWindows, EditFormButtonsEndWithTheirModalResults) {
    const struct {
        bool ok;
        int result;
    } cases[] = {{true, 1}, {false, 2}};
    for (const auto& c : cases) {
        TfrmBaseEdit edit;
        edit.show();
        (c.ok ? edit.btnOK : edit.btnCancel)->click();
        EXPECT_FALSE(edit.isVisible());
        EXPECT_EQ(edit.result(), c.result);
    }
    TfrmBaseEdit edit;
    edit.show();
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_EQ(edit.result(), 2);
}

TEST(BitBtn, KindsSupplyCaptionAndModalResult) {
    const struct {
        TBitBtnKind kind;
        const char* caption;
        int modalResult;
        bool cancel;
    } cases[] = {
        {bkOK, "OK", mrOk, false},
        {bkCancel, "Cancel", mrCancel, true},
        {bkYes, "&Yes", mrYes, false},
        {bkNo, "&No", mrNo, true},
        {bkAbort, "Abort", mrAbort, false},
        {bkRetry, "&Retry", mrRetry, false},
        {bkIgnore, "&Ignore", mrIgnore, false},
        {bkAll, "&All", mrAll, false},
        {bkHelp, "&Help", mrNone, false},
        {bkClose, "&Close", mrNone, false},
    };
    for (const auto& c : cases) {
        TUlmexBitBtn b;
        b.SetKind(c.kind);
        EXPECT_EQ(b.text(), QLatin1String(c.caption)) << c.caption;
        EXPECT_EQ(b.ModalResult(), c.modalResult) << c.caption;
        EXPECT_EQ(b.Cancel(), c.cancel) << c.caption;
    }
    TUlmexBitBtn b;
    EXPECT_EQ(b.NumGlyphs(), 1);
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_FALSE(b.WordWrap());
}

int g_helpSeen = 0;

TEST(BitBtn, ClicksByKind) {
    TfrmBase form;
    auto* yes = new TUlmexBitBtn(&form);
    yes->SetKind(bkYes);
    form.show();
    yes->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), int(mrYes));

    TfrmBase closing;
    auto* close = new TUlmexBitBtn(&closing);
    close->SetKind(bkClose);
    closing.show();
    close->click();
    EXPECT_FALSE(closing.isVisible());

    QWidget parent;
    parent.setProperty("HelpContext", 42);
    auto* help = new TUlmexBitBtn(&parent);
    help->SetKind(bkHelp);
    SetHelpContextHandler([](int context) { g_helpSeen = context; });
    help->click();
    SetHelpContextHandler(nullptr);
    EXPECT_EQ(g_helpSeen, 42);
}

TEST(BitBtn, WrappedCaptionPaints) {
    TUlmexBitBtn b;
    b.SetKind(bkOK);
    b.setText(QStringLiteral("A caption long enough to wrap"));
    b.SetWordWrap(true);
    b.resize(75, 40);
    b.setEnabled(false);
    EXPECT_FALSE(b.grab().isNull());
}

struct EditCase {
    const char* name;
    TValidationType type;
    bool specialIncluded;
    const char* specialChars;
    const char* typed;
    const char* expected;
};

class EditFilter : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditFilter, KeepsOnlyAllowedCharacters) {
    const EditCase& c = GetParam();
    TUlmexEdit edit;
    edit.SetValidationType(c.type);
    edit.SetSpecialCharsIncluded(c.specialIncluded);
    edit.SetSpecialChars(QLatin1String(c.specialChars));
    for (const QChar ch : QString::fromUtf8(c.typed)) {
        const int key = ch.unicode() < 0x80 ? int(ch.toUpper().unicode()) : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&edit, &press);
    }
    EXPECT_EQ(edit.text(), QString::fromUtf8(c.expected));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QString::fromUtf8(c.expected).chopped(1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditFilter,
    ::testing::Values(EditCase{"NumericRefusesDot", vtNumeric, false, "-.", "12.3a-", "123"},
                      EditCase{"NumericDotAsSpecial", vtNumeric, true, "-.", "12.3a-", "12.3-"},
                      EditCase{"NumericDotNotInSpecials", vtNumeric, true, "-", "12.3a-", "123-"},
                      EditCase{"AlphaLettersAndBlank", vtAlpha, false, "-.", "ab C1\xc3\xa9.",
                               "ab C"},
                      EditCase{"AlphaNumeric", vtAlphaNumeric, false, "-.", "a1 B2_", "a1 B2"},
                      EditCase{"NoneTakesAll", vtNone, false, "", "a1._\xc3\xa9", "a1._\xc3\xa9"}),
    [](const ::testing::TestParamInfo<EditCase>& i) { return std::string(i.param.name); });

TEST(EditFilterRule, BackspaceAlwaysAllowed) {
    EXPECT_TRUE(UlmexEditCharAllowed_b(QChar(8), vtNumeric, false, QString()));
    EXPECT_FALSE(UlmexEditCharAllowed_b(u'.', vtNumeric, false, QStringLiteral(".")));
    EXPECT_TRUE(UlmexEditCharAllowed_b(u'.', vtNumeric, true, QStringLiteral(".")));
    TUlmexEdit edit;
    EXPECT_EQ(edit.SpecialChars(), QStringLiteral("-."));
    EXPECT_FALSE(edit.SpecialCharsIncluded());
}

} // namespace
