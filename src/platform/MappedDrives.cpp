#include "MappedDrives.h"

#include <QFile>
#include <QStringList>

namespace {

// mountinfo escapes blanks and a few other characters as \ooo.
QString unescapeMount(const QString& s) {
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 3 < s.size() + 0 && s.mid(i + 1, 3).toInt(nullptr, 8) > 0) {
            bool ok = false;
            const int code = s.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += QChar(code);
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QString normalise(QString path) {
    path.replace(u'\\', u'/');
    return path;
}

} // namespace

QString ExpandMappedPath(const QString& path, const QString& mountInfo) {
    QString table = mountInfo;
    if (table.isEmpty()) {
        QFile f(QStringLiteral("/proc/self/mountinfo"));
        if (f.open(QIODevice::ReadOnly))
            table = QString::fromLocal8Bit(f.read(4 * 1024 * 1024));
    }
    const QString p = normalise(path);
    if (p.startsWith(QStringLiteral("//")))
        return path;

    QString bestMount;
    QString bestRemote;
    for (const QString& line : table.split(u'\n', Qt::SkipEmptyParts)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        const int dash = f.indexOf(QStringLiteral("-"));
        if (dash < 5 || dash + 2 >= f.size())
            continue;
        const QString mountPoint = unescapeMount(f[4]);
        const QString fsType = f[dash + 1];
        const QString source = unescapeMount(f[dash + 2]);
        QString remote;
        if (fsType == QStringLiteral("cifs") || fsType == QStringLiteral("smb3") ||
            fsType == QStringLiteral("smbfs")) {
            remote = normalise(source); // //server/share
        } else if (fsType.startsWith(QStringLiteral("nfs"))) {
            const int colon = source.indexOf(u':');
            if (colon <= 0)
                continue;
            QString exportPath = source.mid(colon + 1);
            if (!exportPath.startsWith(u'/'))
                exportPath.prepend(u'/');
            remote = QStringLiteral("//") + source.left(colon) + exportPath;
        } else {
            continue;
        }
        const bool under = p == mountPoint ||
                           p.startsWith(mountPoint.endsWith(u'/') ? mountPoint : mountPoint + u'/');
        if (under && mountPoint.size() > bestMount.size()) {
            bestMount = mountPoint;
            bestRemote = remote;
        }
    }
    if (bestMount.isEmpty())
        return path;
    while (bestRemote.endsWith(u'/') && bestRemote.size() > 2)
        bestRemote.chop(1);
    QString rest = p.mid(bestMount.size());
    if (!rest.isEmpty() && !rest.startsWith(u'/'))
        rest.prepend(u'/');
    return bestRemote + rest;
}
