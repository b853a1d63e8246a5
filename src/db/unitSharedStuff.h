#pragma once
// Finding the site's databases and attaching them at start-up.

#include "FbConnection.h"

#include <QDialog>
#include <QString>
#include <functional>

class QWidget;
class QTimer;

extern int g_intAppInitReturnCode;
// Told when AppInit reads "\ULMEXDEBUG" (the device layer shows its debug boxes then).
extern std::function<void(bool)> DebugModeChanged;

struct TAttachState {
    QString LinkPath, MsgLinkPath, PhysicalPath, MsgPhysicalPath;
    QString ServerPathCache[2]; // main kind, messenger kind
    int ServerType = 0;         // 0 unknown, 1 through a server, 2 embedded on this computer
    bool MultiDBMode = false;
    bool DebugMode = false; // "\ULMEXDEBUG"
};
TAttachState& g_Attach();

enum TDBKind { dbkZeth = 0, dbkMSGR = 1 };

// The whole start-up attachment; false with g_intAppInitReturnCode holding the reason.
bool AppInit(TFbConnection& main, TFbConnection& log, bool skipConfigRead, const QStringList& args);
bool DatabasesAttached_b(TFbConnection& main, TFbConnection& log);
bool DBConnectCheckLoop(TDBKind kind, QString& linkPath, TFbConnection& main, TFbConnection& log);
// The first missing file of the kind, reported when asked; true when nothing is missing.
bool DatabaseFilesCheck_b(const QString& linkPath, TDBKind kind, bool report);
// The name under which the database server opens the file; throws EUlmex with the text.
QString HalvexInterbaseDatabasePath(TFbConnection* connection, const QString& fileName,
                                    TDBKind kind, const QString& physicalOverride, bool useCache);
QString LinkPath_Find_str(QWidget* parent, const QString& title, const QString& proposedFile);

// Database versions: the required minima and the check of the attached databases.
double VersionDatabaseGet_single(TFbConnection& db, const QString& table);
bool VersionDatabase_SetAll_b(TFbConnection& main, TFbConnection& log);
QString VersionDatabase_Check_str(bool checkMSG, bool checkMLG);
void SetRequiredVersions(double dat, double dsn, double log, double sys);

// The start-up dialog: runs AppInit on its first timer tick; accepted on success.
class TfrmSplash : public QDialog {
    Q_OBJECT
public:
    TfrmSplash(TFbConnection& main, TFbConnection& log, QStringList args,
               QWidget* parent = nullptr);
    bool LogonStep = true;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void tick();

    TFbConnection& m_main;
    TFbConnection& m_log;
    QStringList m_args;
    QTimer* m_timer;
};
