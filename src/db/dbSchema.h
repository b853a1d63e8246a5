#pragma once
// The tables, keys and seed rows of a site's main and log databases.

#include "FbConnection.h"

#include <QString>

struct TSiteOptions {
    int lngVRQPort = 6669;
    int lngPropNum = 1;
    QString strPropName = QStringLiteral("Demo Property");
    QString adminUserID; // empty: no administrator
    QString adminPassword;
};

// The schema versions a new site is created with.
inline constexpr double kSiteVersionSYS = 7.6;
inline constexpr double kSiteVersionDSN = 6.7;
inline constexpr double kSiteVersionDAT = 6.3;
inline constexpr double kSiteVersionLOG = 1.2;

void CreateMainSchema(TFbConnection& db);
void SeedMainDatabase(TFbConnection& db, const TSiteOptions& options);
void CreateLogSchema(TFbConnection& db);
void SeedLogDatabase(TFbConnection& db);
// The stored form of a password (strPassword_New).
QString PasswordStoredForm(const QString& password);
