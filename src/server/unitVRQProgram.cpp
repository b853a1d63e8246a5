#include "unitVRQProgram.h"

#include "NamedMutex.h"
#include "PreviousInstance.h"
#include "formMain.h"
#include "unitDataSet.h"
#include "unitDispatch.h"
#include "unitServerWiring.h"
#include "unitSharedSettings.h"
#include "unitThreadGlobal.h"
#include "unitTrace.h"
#include "unitUtils.h"
#include "unitVRQMain.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminateSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT run the normal close sequence from the event loop.
void installTerminateHandler(TfrmMain& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &c, 1);
        notifier->setEnabled(false);
        DebugLog(QStringLiteral("Termination signal received"));
        if (TVRQMain* m = window.VRQMain())
            m->CloseVRQ(false);
        else
            window.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminateSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

// A thousand stations need more descriptors than the usual soft limit of 1024.
void raiseDescriptorLimit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = std::min<rlim_t>(r.rlim_max, 65536);
        ::setrlimit(RLIMIT_NOFILE, &r);
    }
}

} // namespace

int RunVRQProgram(int argc, char** argv) {
    const QString programFile = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    // Instance guard: named after the program file, so a second copy of the same file stops.
    const QString instanceName =
        QStringLiteral("PREVINST:") + QFileInfo(programFile).completeBaseName();
    TNamedMutex instanceMutex(instanceName);
    const bool firstInstance = instanceMutex.IsOwner() && instanceMutex.LastError() == 0;

    // 1. Work folder; 2. banner.
    InitAppPath(programFile);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    TraceInit(programFile, args);
    ProgramBanner();

    raiseDescriptorLimit();
    // Every connection worker runs an event loop of its own; the plain poll loop needs fewer
    // system calls per wake-up than the GLib one. Set before any thread starts.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // 3. The application object.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex Vorqen"));
    QApplication::setApplicationDisplayName(QStringLiteral("Halvex Vorqen"));
    QApplication::setQuitOnLastWindowClosed(false);
    RememberMainThread();
    ThreadGlobalList().Register(Ulmex_GetCurrentThreadID());

    if (!firstInstance) {
        DebugLog(QStringLiteral("Another copy of ") + programFile + QStringLiteral(" is running"));
        ActivatePreviousInstance(instanceName);
        return 0;
    }

    // 4. Data modules, then the main window.
    TServerWiring wiring;
    if (!wiring.CreateDataModules())
        return 1;
    TfrmMain window(&wiring.Dispatcher());
    TPreviousInstanceServer previous(instanceName);
    QObject::connect(&previous, &TPreviousInstanceServer::ActivateRequested, &window, [&window] {
        DebugLog(QStringLiteral("Brought forward by another copy"));
        window.ShowFromTray();
    });

    int exitCode = 0;
    bool terminated = false;
    window.FormCreate(true, args);
    TVRQMain* vrq = window.VRQMain();
    QObject::connect(vrq, &TVRQMain::TerminateRequested, &window, [&](int code) {
        exitCode = code;
        terminated = true;
        ProgramTerminating_Set(true); // database retries stop waiting
        QCoreApplication::exit(code);
    });
    wiring.Attach(window);
    vrq->FormCreate(args);
    if (auto* ipc = window.findChild<QLineEdit*>(QStringLiteral("txtIPCPort")))
        ipc->setText(QString::number(vrq->Startup().ipcPort));
    if (terminated || vrq->Startup().startupFailed)
        return exitCode ? exitCode : 1;

    installTerminateHandler(window);
    window.show();
    const int rc = app.exec();
    return terminated ? exitCode : rc;
}
