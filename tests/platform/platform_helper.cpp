// Child process for the cross-process tests: concurrent profile writers and a mutex holder.
#include "IniFile.h"
#include "NamedMutex.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() == 6 && a[1] == QStringLiteral("ini")) {
        TIniFile ini(a[2]);
        const int n = a[5].toInt();
        for (int i = 0; i < n; ++i)
            if (!ini.WriteString(a[3], a[4] + QString::number(i), QString::number(i)))
                return 2;
        return 0;
    }
    if (a.size() == 3 && a[1] == QStringLiteral("hold-mutex")) {
        TNamedMutex m(a[2]);
        std::printf("%d\n", m.LastError());
        std::fflush(stdout);
        for (int i = 0; i < 600; ++i) // at most a minute, then give up by itself
            ::sleep(1);
        return 0;
    }
    return 1;
}
