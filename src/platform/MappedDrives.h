#pragma once
// Mapped network drives: a path under a CIFS/SMB mount becomes //server/share/rest, under an NFS
// mount //server/export/rest; other paths are unchanged.

#include <QString>

// mountInfo = the text of /proc/self/mountinfo; empty reads the real one.
QString ExpandMappedPath(const QString& path, const QString& mountInfo = QString());
