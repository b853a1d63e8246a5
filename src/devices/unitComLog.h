#pragma once
// The serial communications log "/COMLOG": every port appends one line per chunk it sends or
// receives to PellCom.Log in the work folder.

#include <QByteArray>
#include <QString>

// Process-wide switch, set from the command line; read when a link is created.
void SetComLogEnabled(bool on);
bool ComLogEnabled();

// g_strAppPath() + "PellCom.Log".
QString ComLogFileName();

enum class TComLogDirection { Out, In };

// "yyyy-MM-dd hh:mm:ss.zzz <device> Out|In <bytes in hex, blank separated>".
QString ComLogLine(const QString& device, TComLogDirection direction, const QByteArray& bytes);
// Appends the line; failures to write the log are ignored (the log must not stop a card).
void ComLogWrite(const QString& device, TComLogDirection direction, const QByteArray& bytes);
