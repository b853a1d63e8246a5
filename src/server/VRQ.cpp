// Program entry of the request server.
#include "AppInfo.h"
#include "NamedMutex.h"
#include "PreviousInstance.h"
#include "formMain.h"
#include "unitDispatch.h"
#include "unitSharedSettings.h"
#include "unitThreadGlobal.h"
#include "unitTrace.h"
#include "unitUtils.h"
#include "unitVRQMain.h"
#include "unitVRQProgram.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--app-info") == 0) {
            std::fputs(AppInfoText(OwnAppInfo()).toUtf8().constData(), stdout);
            return 0;
        }
    }
    return RunVRQProgram(argc, argv);
}
