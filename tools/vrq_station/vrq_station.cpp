// A command-line station: links to a station's server (or a given host) and runs one request,
// printing the reply fields one per line. Exits 1 on failure with the error code and text.
#include "dmodSystem.h"
#include "unitDeviceCom.h"
#include "unitPropertyConfigSettings.h"
#include "unitSharedStuff.h"
#include "unitSharedSettings.h"
#include "unitTrace.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

// A station given on the command line: the host is the server, the port its listening port.
class HostDirectory : public IStationDirectory {
public:
    HostDirectory(QString host, int port, int interfaceType, int comPort, int baud)
        : m_host(std::move(host)), m_port(port), m_interfaceType(interfaceType), m_comPort(comPort),
          m_baud(baud) {}
    std::optional<TEncoderMapRow> EncoderMap(const QString& id) override {
        TEncoderMapRow r;
        r.strStationID = id;
        r.strIPAddr = m_host;
        r.lngInterfaceType = m_interfaceType;
        r.lngPort = m_comPort;
        r.lngEncoder_Baud = m_baud;
        return r;
    }
    int VRQPort() override { return m_port; }
    QByteArray PrintLayoutText(int) override { return {}; }

private:
    QString m_host;
    int m_port, m_interfaceType, m_comPort, m_baud;
};

// The encoder map of the site's database.
class DatabaseDirectory : public IStationDirectory {
public:
    explicit DatabaseDirectory(TdmClientMachineInfo& dm) : m_dm(dm) {}
    std::optional<TEncoderMapRow> EncoderMap(const QString& id) override {
        const TConnectionGuard open(m_dm.Database1());
        const TRowSet r = m_dm.qryEncoderMap(id);
        if (r.IsEmpty())
            return std::nullopt;
        TEncoderMapRow row;
        row.strStationID = r.Str(0, QStringLiteral("strStationID"));
        row.strName = r.Str(0, QStringLiteral("strName"));
        row.strIPAddr = r.Str(0, QStringLiteral("strIPAddr"));
        row.lngMachineType = int(r.Int(0, QStringLiteral("lngMachineType")));
        row.lngInterfaceType = int(r.Int(0, QStringLiteral("lngInterfaceType"), 1));
        row.strDeviceName = r.Str(0, QStringLiteral("strDeviceName"));
        row.lngPort = int(r.Int(0, QStringLiteral("lngPort")));
        row.bUSB_Port = r.Flag(0, QStringLiteral("bUSB_Port"));
        row.lngEncoder_Baud = int(r.Int(0, QStringLiteral("lngEncoder_Baud")));
        row.lngLPI_Baud = int(r.Int(0, QStringLiteral("lngLPI_Baud")));
        row.idxKeyPrintLayoutID = int(r.Int(0, QStringLiteral("idxKeyPrintLayoutID")));
        return row;
    }
    int VRQPort() override { return g_PropertyConfig().lngVRQPort; }
    QByteArray PrintLayoutText(int) override { return {}; }

private:
    TdmClientMachineInfo& m_dm;
};

void print(const char* name, const QByteArray& value) {
    std::printf("%s=%s\n", name, value.constData());
}

int fail(const TDeviceCom& com, const QString& what) {
    std::fprintf(stderr, "vrq_station: %s failed: error %d %s\n", qPrintable(what), com.LastErrorCode(),
                 qPrintable(com.ErrorTexts()[0] + u' ' + com.ErrorTexts()[1] + u' ' + com.ErrorTexts()[2]));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("VRQ_UNATTENDED", "1");
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Runs one station request: link | comlink | transaction COMMAND | status | datetime | "
        "dbflag-status | threadtype-set C | threadtype-count C"));
    p.addHelpOption();
    const QCommandLineOption host({QStringLiteral("host")}, QStringLiteral("server address"), QStringLiteral("addr"));
    const QCommandLineOption port({QStringLiteral("port")}, QStringLiteral("listening port"), QStringLiteral("n"),
                                  QStringLiteral("6669"));
    const QCommandLineOption station({QStringLiteral("station")}, QStringLiteral("station ID"), QStringLiteral("id"),
                                     QStringLiteral("CLI"));
    const QCommandLineOption work({QStringLiteral("work")}, QStringLiteral("work folder with halvex.ini"),
                                  QStringLiteral("dir"));
    const QCommandLineOption itype({QStringLiteral("interface-type")}, QStringLiteral("with --host"),
                                   QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption comPort({QStringLiteral("com-port")}, QStringLiteral("with --host"),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption baud({QStringLiteral("baud")}, QStringLiteral("with --host"), QStringLiteral("n"),
                                  QStringLiteral("9600"));
    const QCommandLineOption data({QStringLiteral("data")}, QStringLiteral("command data"), QStringLiteral("text"));
    const QCommandLineOption delay({QStringLiteral("delay")}, QStringLiteral("seconds"), QStringLiteral("s"),
                                   QStringLiteral("2"));
    const QCommandLineOption addl({QStringLiteral("addl")}, QStringLiteral("additional info"), QStringLiteral("t"));
    const QCommandLineOption track2({QStringLiteral("track2")}, QStringLiteral("track 2"), QStringLiteral("t"));
    const QCommandLineOption elevator({QStringLiteral("elevator")}, QStringLiteral("elevator"), QStringLiteral("t"));
    const QCommandLineOption variable({QStringLiteral("variable")}, QStringLiteral("variable info"),
                                      QStringLiteral("t"));
    for (const auto* o : {&host, &port, &station, &work, &itype, &comPort, &baud, &data, &delay, &addl,
                          &track2, &elevator, &variable})
        p.addOption(*o);
    p.addPositionalArgument(QStringLiteral("command"), QStringLiteral("what to run"));
    p.process(app);
    const QStringList args = p.positionalArguments();
    if (args.isEmpty())
        p.showHelp(2);

    SetAppPath(p.isSet(work) ? p.value(work) : QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath());
    std::unique_ptr<IStationDirectory> directory;
    if (p.isSet(host)) {
        directory = std::make_unique<HostDirectory>(p.value(host), p.value(port).toInt(), p.value(itype).toInt(),
                                                    p.value(comPort).toInt(), p.value(baud).toInt());
    } else {
        // The station is looked up in the site's database, found through halvex.ini as the
        // server finds it.
        FirebirdEnvironment_Prepare(QCoreApplication::applicationDirPath());
        CreateDataModules();
        SetRequiredVersions(3.6, 3.6, 1.0, 4.5);
        TDataModules& dm = DataModules();
        if (!AppInit(dm.dmSystem->Database1, dm.dmTransLog->dbTransLog, false, {})) {
            std::fprintf(stderr, "vrq_station: the site's databases could not be attached (code %d)\n",
                         g_intAppInitReturnCode);
            return 1;
        }
        directory = std::make_unique<DatabaseDirectory>(*dm.dmClientMachineInfo);
    }
    TDeviceCom com(1, directory.get(), p.value(station));
    com.AcceptAnyServerName = p.isSet(host);
    const QString cmd = args.first();

    if (cmd == QStringLiteral("link") || cmd == QStringLiteral("comlink")) {
        const bool ok = com.Link(cmd == QStringLiteral("comlink"));
        print("strResult", ok ? "Success" : "Failure");
        print("strErrorCode", QByteArray::number(com.LastErrorCode()));
        print("strData", com.ReturnedData());
        return ok ? 0 : fail(com, cmd);
    }
    // The encoder's own requests need its port opened on the server first.
    const bool encoder = cmd == QStringLiteral("transaction") || cmd == QStringLiteral("status");
    if (!com.Link(encoder))
        return fail(com, encoder ? QStringLiteral("comlink") : QStringLiteral("link"));
    if (cmd == QStringLiteral("transaction")) {
        if (args.size() < 2)
            p.showHelp(2);
        QByteArray e = p.value(elevator).toLocal8Bit(), t2 = p.value(track2).toLocal8Bit(),
                   v = p.value(variable).toLocal8Bit(), a = p.value(addl).toLocal8Bit(), answer;
        const bool ok = com.Transaction(args[1].toInt(), p.value(data).toLocal8Bit(), e, t2, v, a, answer,
                                        p.value(delay).toInt());
        print("strResult", ok ? "Success" : "Failure");
        print("strRecv", answer);
        print("strAddlInfo", a);
        print("strVariableInfo", v);
        print("strTrack2", t2);
        print("strElevator", e);
        print("strErrorCode", QByteArray::number(com.LastErrorCode()));
        return ok ? 0 : fail(com, cmd);
    }
    if (cmd == QStringLiteral("status")) {
        TDeviceStatus s;
        if (!com.StatusGet(s))
            return fail(com, cmd);
        print("intDeviceKind", QByteArray::number(s.intDeviceKind));
        print("intFeatureWord", "0x" + QByteArray::number(s.intFeatureWord, 16).toUpper());
        print("intNumber", QByteArray::number(s.intNumber));
        print("strVersion1", s.strVersion1.toLatin1());
        print("datVersion1", s.datVersion1.ToQDateTime().date().toString(Qt::ISODate).toLatin1());
        print("strVersion2", s.strVersion2.toLatin1());
        print("datVersion2", s.datVersion2.ToQDateTime().date().toString(Qt::ISODate).toLatin1());
        print("bLateVersion", s.bLateVersion ? "True" : "False");
        return 0;
    }
    if (cmd == QStringLiteral("datetime")) {
        TDateTime dt;
        if (!com.DateTimeGet(dt))
            return fail(com, cmd);
        print("strRecv", dt.ToQDateTime().toString(QStringLiteral("MMddyyyyHHmmss")).toLatin1());
        return 0;
    }
    if (cmd == QStringLiteral("dbflag-status")) {
        bool set = false;
        if (!com.DbFlagStatus(set))
            return fail(com, cmd);
        print("strRecv", set ? "DBFLAG_SET" : "DBFLAG_NOT_SET");
        return 0;
    }
    if ((cmd == QStringLiteral("threadtype-set") || cmd == QStringLiteral("threadtype-count")) && args.size() >= 2 &&
        !args[1].isEmpty()) {
        const char c = args[1].toLatin1().at(0);
        if (cmd == QStringLiteral("threadtype-set")) {
            com.ThreadTypeSet(c);
            print("strResult", "Success");
            return 0;
        }
        const int n = com.ThreadTypeCount(c);
        print("strRecv", QByteArray::number(n));
        return n >= 0 ? 0 : fail(com, cmd);
    }
    p.showHelp(2);
}
