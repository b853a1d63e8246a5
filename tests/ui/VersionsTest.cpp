// The versions and about windows open offscreen and show what they are given.
#include "formUlmexAbout.h"
#include "formVersions.h"
#include "ui_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

TDatabaseVersions Sample() {
    TDatabaseVersions v;
    v.DSN = {3.6, -1};
    v.DAT = {3.6, 3.5};
    v.LOG = {1.0, 1.2};
    v.SYS = {4.5, 4.5};
    v.MSG = {0, 2.25};
    v.MLG = {0, -1};
    v.ARCH = {0, -1};
    return v;
}

TEST(VersionsWindow, ShowsEveryVersionFormatted) {
    const QString check =
        QStringLiteral("Version 3.50 of DAT database is less than the required 3.60\r\n");
    TfrmVersions form(Sample(), QStringLiteral("given error\r\n"), check, true, false, false);
    form.show();
    EXPECT_EQ(form.height(), 550);
    EXPECT_EQ(form.EditDSN_MIN->text(), QStringLiteral("3.60"));
    EXPECT_EQ(form.EditDSN_ACT->text(), QStringLiteral("-1.00"));
    EXPECT_EQ(form.EditDAT_ACT->text(), QStringLiteral("3.50"));
    EXPECT_EQ(form.EditLOG_MIN->text(), QStringLiteral("1.00"));
    EXPECT_EQ(form.EditSYS_ACT->text(), QStringLiteral("4.50"));
    EXPECT_EQ(form.EditARCH_ACT->text(), QStringLiteral("N/A"));
    EXPECT_FALSE(form.EditMSG_ACT->isVisible());
    EXPECT_FALSE(form.EditMLG_MIN->isVisible());
    EXPECT_TRUE(form.lblDatabasesUpdated->isVisible());
    EXPECT_TRUE(form.MemoErrors->toPlainText().startsWith(QStringLiteral("given error\n") +
                                                          check.trimmed()));
    EXPECT_TRUE(form.lblVersion->text().startsWith(QStringLiteral("Version: ")));
    EXPECT_TRUE(form.lblName->text().startsWith(QStringLiteral("Name: ")));
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("About ")));
    EXPECT_FALSE(form.TimerAutoHide->isActive());
    form.hide();
}

TEST(VersionsWindow, MessengerRowsAndHeightWithoutErrors) {
    TDatabaseVersions v = Sample();
    v.ARCH.Actual = 1.5;
    TfrmVersions form(v, QString(), QString(), false, false, true);
    form.show();
    EXPECT_EQ(form.height(), 400);
    EXPECT_TRUE(form.EditMSG_ACT->isVisible());
    EXPECT_EQ(form.EditMSG_ACT->text(), QStringLiteral("2.25"));
    EXPECT_EQ(form.EditARCH_ACT->text(), QStringLiteral("1.50"));
    EXPECT_FALSE(form.lblDatabasesUpdated->isVisible());
    form.hide();
}

TEST(VersionsWindow, AutoHideClosesWithOK) {
    const int saved = g_intVersionsAutoHideSecs();
    g_intVersionsAutoHideSecs() = 1;
    TfrmVersions form(Sample(), QString(), QString(), false, true, false);
    form.show();
    EXPECT_TRUE(form.TimerAutoHide->isActive());
    EXPECT_TRUE(WaitFor([&]() { return !form.isVisible(); }, 5000));
    EXPECT_EQ(form.result(), 1);
    g_intVersionsAutoHideSecs() = saved;
}

TEST(VersionsWindow, ShowFunctionUsesInstalledCheckAndIsUnattendedSafe) {
    TDebugFolder log;
    SetVersionCheck([](bool msg, bool mlg) {
        return QStringLiteral("check %1 %2").arg(int(msg)).arg(int(mlg));
    });
    EXPECT_EQ(RunVersionCheck_str(true, false), QStringLiteral("check 1 0"));
    EXPECT_EQ(ShowVersionsWindow(QStringLiteral("errs "), false, false, false), -2);
    SetVersionCheck({});
    EXPECT_TRUE(log.Text().contains(QStringLiteral("errs check 0 0")));
    EXPECT_EQ(VersionFormat_str(-1), QStringLiteral("-1.00"));
    EXPECT_EQ(VersionFormat_str(3.6), QStringLiteral("3.60"));
}

TEST(AboutWindow, OwnVersionOnlyWithoutServiceProgram) {
    TfrmUlmexAbout form(QString(), QStringLiteral("Halvex_VRQSVC.EXE"));
    form.show();
    EXPECT_EQ(form.lblVersionLabel->text(), QStringLiteral("Version:"));
    EXPECT_FALSE(form.lblService->isVisible());
    EXPECT_FALSE(form.lblServiceLabel->isVisible());
    EXPECT_FALSE(form.lblVersion->text().isEmpty());
    EXPECT_FALSE(form.lblLegalCopyright->text().isEmpty());
    EXPECT_TRUE(form.windowTitle().startsWith(QStringLiteral("About ")));
    form.hide();
}

TEST(AboutWindow, ReadableServiceProgramShowsBothVersions) {
    // Our own program file answers with the compiled-in information.
    TfrmUlmexAbout form(QStringLiteral("My caption"), QCoreApplication::applicationFilePath());
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("My caption"));
    EXPECT_EQ(form.lblVersionLabel->text(), QStringLiteral("GUI"));
    EXPECT_TRUE(form.lblServiceLabel->isVisible());
    EXPECT_TRUE(form.lblService->isVisible());
    EXPECT_EQ(form.lblService->text(), form.lblVersion->text());
    form.hide();
}

} // namespace
