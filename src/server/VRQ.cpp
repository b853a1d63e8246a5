// Program entry of the request server.
#include "AppInfo.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--app-info") == 0) {
            std::fputs(AppInfoText(OwnAppInfo()).toUtf8().constData(), stdout);
            return 0;
        }
    }
    return 0;
}
