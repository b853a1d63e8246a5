// Renders each window of the program, as an operator would see it, to DIR/<name>.png.
// Later windows add a row to kWindows.

#include "UlmexMsgBox.h"
#include "formBase.h"
#include "formUlmexAbout.h"
#include "formUlmexMsg.h"
#include "formVersions.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>
#include <functional>
#include <memory>

namespace {

using TMake = std::function<std::unique_ptr<QWidget>()>;

std::unique_ptr<QWidget> CatalogueBox(int number, const QStringList& fields) {
    auto form = std::make_unique<TfrmUlmexMsg>();
    TUlmexMsgArgs args;
    MsgCatalogCompose_b(number, 0, fields, args);
    form->SetUp(args);
    return form;
}

std::unique_ptr<QWidget> Versions() {
    TDatabaseVersions v;
    v.DSN = {3.6, 3.6};
    v.DAT = {3.6, 3.5};
    v.LOG = {1.0, 1.0};
    v.SYS = {4.5, 4.5};
    return std::make_unique<TfrmVersions>(
        v, QString(),
        QStringLiteral("Version 3.50 of DAT database is less than the required 3.60\r\n"), true,
        false, false);
}

const struct {
    const char* name;
    TMake make;
} kWindows[] = {
    {"frmUlmexMsg_184",
     [] {
         return CatalogueBox(
             184, {QStringLiteral("3"), QStringLiteral("ENCODER"), QStringLiteral("ENCODER")});
     }},
    {"frmUlmexMsg_198",
     [] {
         return CatalogueBox(
             198, {QStringLiteral("ST01"), QStringLiteral("ENCODER"), QStringLiteral("ENCODER")});
     }},
    {"frmUlmexMsg_161", [] { return CatalogueBox(161, {QStringLiteral("ST01")}); }},
    {"frmUlmexMsg_0",
     [] {
         return CatalogueBox(0, {QString(), QStringLiteral("Error - Com Open"),
                                 QStringLiteral("Invalid Port Number!")});
     }},
    {"frmUlmexMsg_89250", [] { return CatalogueBox(89250, {}); }},
    {"frmUlmexMsg_empty", [] { return CatalogueBox(-999999, {}); }},
    {"frmBase", [] { return std::make_unique<TfrmBase>(); }},
    {"frmBaseDialog", [] { return std::make_unique<TfrmBaseDialog>(); }},
    {"frmBaseDialogTimeOut", [] { return std::make_unique<TfrmBaseDialogTimeOut>(); }},
    {"frmBaseEdit", [] { return std::make_unique<TfrmBaseEdit>(); }},
    {"frmVersions", [] { return Versions(); }},
    {"frmUlmexAbout",
     [] {
         return std::make_unique<TfrmUlmexAbout>(QString(), QStringLiteral("Halvex_VRQSVC.EXE"));
     }},
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Halvex Vorqen"));
    QTextStream err(stderr);
    if (argc < 2) {
        err << "usage: vrq_screenshots DIR\n";
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        err << "cannot create " << dir << "\n";
        return 1;
    }
    int failures = 0;
    for (const auto& w : kWindows) {
        std::unique_ptr<QWidget> window = w.make();
        window->show();
        QApplication::processEvents();
        const QString file = QDir(dir).filePath(QLatin1String(w.name) + QStringLiteral(".png"));
        if (!window->grab().save(file)) {
            err << "cannot write " << file << "\n";
            ++failures;
        }
        window->hide();
    }
    return failures == 0 ? 0 : 1;
}
