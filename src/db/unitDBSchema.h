#pragma once
// The tables of the main and log databases, the stored procedure NEXTLOGID, the schema versions
// a new site starts with, and site creation (halvexdatav2.GDB, halvexlogv2.GDB, NetworkInfo.INI).

#include <QString>
#include <QStringList>

class TSQLConnection;

inline constexpr const char* kMainDatabaseFile = "halvexdatav2.GDB";
inline constexpr const char* kLogDatabaseFile = "halvexlogv2.GDB";
inline constexpr const char* kMsgrDatabaseFile = "halvexmsgrV2.GDB";
inline constexpr const char* kMsgrLogDatabaseFile = "HalvexMsgrLogV2.GDB";
inline constexpr const char* kNetworkInfoFile = "NetworkInfo.INI";

// Versions written into a new site.
inline constexpr double kSiteVersionSYS = 7.6;
inline constexpr double kSiteVersionDSN = 6.7;
inline constexpr double kSiteVersionDAT = 6.3;
inline constexpr double kSiteVersionLOG = 1.2;

// DDL of each database, one statement per entry, in the order they must run.
QStringList MainDatabaseSchema_SQL();
QStringList LogDatabaseSchema_SQL();

struct TSiteOptions {
    QString folder;            // where the three files go (this computer's view)
    int port = 6669;           // lngVRQPort
    int propertyNumber = 1;    // lngPropNum
    QString propertyName = QStringLiteral("Vorqen Demo");
    QString adminUserID;       // empty: no user row
    QString adminPassword;
    // Empty: embedded files. Otherwise the Firebird server that creates the files (the folder
    // must then be a path that server can write).
    QString server;
};

// Creates the schema and the seed rows on an open, empty connection.
void CreateMainSchema(TSQLConnection& db, const TSiteOptions& options);
void CreateLogSchema(TSQLConnection& db);

// Creates the site; refuses (false, error text) when one of the three files exists already.
bool CreateSite_b(const TSiteOptions& options, QString* error);

// The database name under which a file of the site is created or opened directly.
QString SiteDatabaseName(const TSiteOptions& options, const QString& fileName);
