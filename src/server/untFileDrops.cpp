#include "untFileDrops.h"

#include "DateTime.h"
#include "Errors.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <functional>

namespace {

enum class OpenStep { Append, Rewrite };

// Opens for appending; a missing file is created (isNew). An existing file is never emptied:
// when it cannot be appended to, the attempt is retried instead.
bool openForAppend(QFile& f, bool* isNew, const std::function<void(OpenStep, const QString&)>& onFail) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const bool existed = f.exists();
        if (existed && f.open(QIODevice::WriteOnly | QIODevice::Append)) {
            *isNew = false;
            return true;
        }
        if (existed) {
            onFail(OpenStep::Append, f.errorString());
        } else if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            *isNew = true;
            return true;
        } else {
            onFail(OpenStep::Rewrite, f.errorString());
        }
        QThread::msleep(20);
    }
    return false;
}

QString nativeFolder(QString folder) {
    folder = folder.trimmed();
    folder.replace(u'\\', u'/');
    return folder;
}

} // namespace

void InnerRangeFileWrite(const TInnerRangeSettings& s, const QByteArray& data,
                         const QString& stampFormat) {
    QString folder = nativeFolder(s.strInnerRangeFilePath);
    if (folder.isEmpty())
        folder = g_strAppPath();
    const QString fileName = s.intInnerRangeFile_Format == 1 ? QStringLiteral("Insight001.dui")
                                                             : s.strInnerRangeGenericFile_Name.trimmed();
    if (!s.bInnerRangeInterface || folder.isEmpty() || data.isEmpty() || fileName.isEmpty())
        return;
    const char sep = s.intInnerRangeFile_Format == 3 ? '\t' : ',';
    const QString pattern = stampFormat.isEmpty() ? QStringLiteral("mm/dd hh:nn:ss:zzz") : stampFormat;

    QFile f(folder + fileName);
    bool isNew = false;
    if (!openForAppend(f, &isNew, [](OpenStep, const QString&) {}))
        throw EUlmex(QStringLiteral("Cannot open file \"") + f.fileName() + QStringLiteral("\". ") +
                     f.errorString());
    QByteArray out;
    if (isNew) {
        const QByteArrayList header = {"###",    "secondname", "usertype", "directnumber",
                                       "expiry", "keygroup",   "keyname",  "dupid",
                                       "status", "datecreated"};
        out += header.join(sep) + "\r\n";
    }
    out += data + sep + FormatDateTime(pattern, TDateTime::Now()).toLocal8Bit() + "\r\n";
    const bool ok = f.write(out) == out.size() && f.flush();
    const QString error = f.errorString();
    f.close();
    if (!ok)
        throw EUlmex(QStringLiteral("I/O error writing \"") + f.fileName() + QStringLiteral("\". ") + error);
}

void GenericFileWrite(const QByteArray& data, const QString& stampFormat) {
    const qsizetype caret = data.indexOf('^');
    if (caret < 0)
        return;
    const QString name = QString::fromLocal8Bit(data.left(caret));
    const QByteArray line = data.mid(caret + 1);
    if (name.isEmpty() || line.isEmpty())
        return;
    // Only files of the work folder itself: a station must not reach outside it.
    if (name.contains(u'/') || name.contains(u'\\') || name == QStringLiteral("..") ||
        name == QStringLiteral(".")) {
        DebugLog(QStringLiteral("untComThread.GenericFileWrite: refused file name ") + name);
        return;
    }
    const QString pattern = stampFormat.isEmpty() ? QStringLiteral("yyyy-mm-dd hh:nn:ss:zzz") : stampFormat;
    const QString full = g_strAppPath() + name;
    // A link in the work folder would lead outside it; only plain files are appended to.
    const QFileInfo target(full);
    if (target.isSymLink() || (target.exists() && !target.isFile())) {
        DebugLog(QStringLiteral("untComThread.GenericFileWrite: refused file name ") + name);
        return;
    }
    auto logFailure = [&](const QString& step, const QString& text) {
        DebugLog(QStringLiteral("untComThread.GenericFileWrite:\r\n") + step + text +
                 QStringLiteral("\r\ng_strAppPath + strFileName=") + full +
                 QStringLiteral("\r\nstrLine=") + QString::fromLocal8Bit(line));
    };
    QFile f(full);
    bool isNew = false;
    const bool opened = openForAppend(f, &isNew, [&](OpenStep step, const QString& text) {
        logFailure(step == OpenStep::Append ? QStringLiteral("Append: ") : QStringLiteral("Rewrite: "), text);
    });
    if (!opened)
        throw EUlmex(QStringLiteral("File not open: ") + full);
    const QByteArray out =
        FormatDateTime(pattern, TDateTime::Now()).toLocal8Bit() + ", " + line + "\r\n";
    if (f.write(out) != out.size() || !f.flush()) {
        logFailure(QStringLiteral("WriteLn: "), f.errorString());
        QThread::msleep(20);
    }
    f.close();
}
