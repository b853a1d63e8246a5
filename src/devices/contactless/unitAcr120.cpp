#include "unitAcr120.h"

#include "unitAcr120Sim.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"

#include <mutex>

QString Acr120ErrorText(int code) {
    switch (code) {
    case -1:
        return QStringLiteral("( X ) Unable to Read - Not a Halvex Key : -1");
    case -2:
        return QStringLiteral("( X ) Unable to Write - Invalid Key Data : -2");
    case -1000:
        return QStringLiteral("( X ) Unexpected Internal Library Error : -1000");
    case -2000:
        return QStringLiteral("( X ) Invalid Port : -2000");
    case -2010:
        return QStringLiteral("( X ) Port Occupied by Another Application : -2010");
    case -2020:
        return QStringLiteral("( X ) Invalid Handle : -2020");
    case -2030:
        return QStringLiteral("( X ) Incorrect Parameter : -2030");
    case -3000:
        return QStringLiteral("( X ) No TAG Selected or in Reachable Range : -3000");
    case -3010:
        return QStringLiteral("( X ) Read Failed after Operation : -3010");
    case -3020:
        return QStringLiteral("( X ) Block does not contain value : -3020");
    case -3030:
        return QStringLiteral("( X ) Operation Failed : -3030");
    case -3040:
        return QStringLiteral("( X ) Unknown Reader Error : -3040");
    case -4010:
        return QStringLiteral("( X ) Invalid stored key format in login process : -4010");
    case -4020:
        return QStringLiteral("( X ) Reader cannot read after write operation : -4020");
    case -4030:
        return QStringLiteral("( X ) Decrement Failure (Empty) : -4030");
    default:
        return QStringLiteral("Unknown Error (%1)").arg(code);
    }
}

std::shared_ptr<IAcr120> Acr120Library(QString* backendName) {
    static std::mutex mutex;
    static bool created = false;
    static QString name;
    static std::shared_ptr<IAcr120> library;
    std::lock_guard lock(mutex);
    if (!created) {
        created = true;
        const TIniFile ini = HalvexIni();
        name = ini.ReadString(QStringLiteral("Contactless"), QStringLiteral("Backend"),
                              QStringLiteral("sim"))
                   .trimmed()
                   .toLower();
        if (name == QLatin1String("sim")) {
            const std::shared_ptr<TSimAcr120> sim = SimAcr120();
            const QString cardFile = ini.ReadString(QStringLiteral("Contactless"),
                                                    QStringLiteral("SimCardFile"), QString());
            QString error;
            if (!cardFile.isEmpty() && !sim->SetCardFile(cardFile, &error))
                DebugLog(QStringLiteral("Contactless: simulated card file not loaded: ") + error);
            library = sim;
        } else {
            DebugLog(QStringLiteral("Contactless: unknown reader backend \"%1\"").arg(name));
        }
    }
    if (backendName)
        *backendName = name;
    return library;
}
