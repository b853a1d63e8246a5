#pragma once
// Small text, number, date and program-information routines the whole system calls by name.

#include "DateTime.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// Version text: "a.bb" (+ "  build d" when withBuild), short form "a.dd".
QString VersionText_str(const QString& version, bool withBuild = false, bool shortForm = false);

int64_t Ulmex_GetCurrentThreadID();
// Remembers the calling thread as the main thread.
void RememberMainThread();
bool IsMainThread_b();

QString ComputerName_str();

bool StrToBool_b(const QString& text);
QString BoolToStr_str(bool b, bool yesNo = false, bool translated = false);
inline int BoolToInt_int(bool b) { return b ? -1 : 0; }
inline bool IntToBool_b(int64_t v) { return v != 0; }

// Whole seconds on a continuous scale (days and milliseconds since the start of the calendar).
int64_t SecondClock();

QString Reverse_str(const QString& text);
QStringList Split(const QString& text, const QString& delimiter);
QByteArray HexEncode(const QByteArray& bytes);
QByteArray HexDecode(const QByteArray& hex);
uint8_t XorCheck(const QByteArray& bytes);
QString RightStr(const QString& text, int n);
QByteArray RightStr(const QByteArray& text, int n);
QString PadLeft(const QString& text, int n, QChar fill);
QString StripLeadingZeros(const QString& text);

// "MMDDYYYYHHNNSS", right-padded with "0" to 14 characters. Returns false on failure, or throws
// EUlmex("Error - LPIStrToDateTime\r\n" + message) when raiseOnError.
bool LPIStrToDateTime(const QString& text, TDateTime* out, bool raiseOnError = false);

// The system's short date format normalised to "dd", "mm", "yyyy" in the system's order.
QString DateDisplayFormat_str();
// The system's long time format as "hh", "nn", "ss" (+ " ampm" for a 12-hour clock).
QString TimeDisplayFormat_str();
