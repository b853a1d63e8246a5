#pragma once
// Program information (the version resource of a program file).

#include <QString>

struct TAppInfo {
    QString FileVersion;
    QString FileDescription;
    QString InternalName;
    QString ProductName;
    QString Comments;
    QString LegalCopyright;
    QString ProductVersion;
};

// Our own program's compiled-in information.
TAppInfo OwnAppInfo();
// Key=Value lines as printed by --app-info.
QString AppInfoText(const TAppInfo& info);
// Fills info from a program file: our own file gives the compiled-in record; another program is
// run with --app-info (5 s limit). Throws std::runtime_error("AppInfo\r\n" + reason) on failure.
void AppInfo(const QString& programFile, TAppInfo& info);
