#pragma once
// halvex.ini and the routines around it.

#include "IniFile.h"
#include "NamedMutex.h"

#include <memory>

#include <QString>
#include <cstdint>

inline constexpr const char* INI_FILE_NAME = "halvex.ini";
inline constexpr const char* IDENTITY_APPLICATIONVRQ = "APPLICATIONVRQ";
inline constexpr const char* IDENTITY_SERVICEVRQ = "ServiceVRQ";

// The work folder with a trailing separator ("/" on this system); empty until set.
QString g_strAppPath();
void SetAppPath(const QString& folder);
// Sets the work folder from $HALVEX_WORK_FOLDER, else from the program file's folder.
void InitAppPath(const QString& programFile);
// g_strAppPath() + "halvex.ini".
QString HalvexIniPath();
TIniFile HalvexIni();

// Process-started stamp; returns "(" + attempts + ") Success: " or a failure text.
QString ProcessStarted_Set_str(const QString& identity, bool bClear, const QString& text = {});
// True when the key is empty or missing.
bool ProcessStarted_Cleared_b(const QString& identity);
QString ProcessStarted_Get_str(const QString& identity);

// Window handles (section WindowHandles); empty text on success.
QString WindowsHandle_INIFile_Store_str(const QString& identity, qint64 handle);
qint64 WindowsHandle_INIFile_Load(const QString& identity, QString* error = nullptr);

struct TMutexCreateResult {
    std::unique_ptr<TNamedMutex> handle;
    int lastError = 0;             // 183 when it already existed
    QString errorText;             // failures of the two steps joined by CR LF
};
TMutexCreateResult Mutex_CreateAndRecord(const QString& identity, const QString& mutexName,
                                         bool initialOwner);

// The exit warning selector; default true.
bool GUIStopService_b();

// Readers with default; writeBack writes the default when the value read equals it.
int INIReadInteger_int(const QString& section, const QString& key, int def, bool writeBack);
QString INIReadString_str(const QString& section, const QString& key, const QString& def,
                          bool writeBack);
bool INIWriteString_b(const QString& section, const QString& key, const QString& value);

// Diagnostics from this layer reach the debug log through a sink the log installs at start.
using TDebugLogSink = void (*)(const QString&);
void SetDebugLogSink(TDebugLogSink sink);
void PlatformDebugLog(const QString& message);
