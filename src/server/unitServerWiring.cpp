#include "unitServerWiring.h"

#include "UlmexMsgBox.h"
#include "dmodSystem.h"
#include "formMain.h"
#include "unitComLog.h"
#include "unitDeviceTransaction.h"
#include "unitFargoWrite.h"
#include "unitPropertyConfigSettings.h"
#include "unitRFID.h"
#include "unitRFIDKeys.h"
#include "unitSharedSettings.h"
#include "unitSharedStuff.h"
#include "unitStationRegistry.h"
#include "unitTrace.h"
#include "unitUtils.h"
#include "unitVRQMain.h"
#include "untFileDrops.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableWidget>

namespace {

QString res(const char* t) {
    return QCoreApplication::translate("Resource", t);
}

// Serial numbers run on one connection of their own, shared by the workers under the serial lock
// (the main connection belongs to the main thread). An attachment lost while idle (database
// server restarted) gets one fresh attachment before the request fails; the number comes from
// the row, so a retry never repeats one. Other failures go to the caller, which records them;
// the next request attaches again.
int64_t serialNumberOn(std::unique_ptr<TFbConnection>& connection) {
    const QString name = DataModules().dmSystem->Database1.Database();
    if (!connection || connection->Database() != name) {
        connection = std::make_unique<TFbConnection>();
        connection->SetDatabase(name);
    }
    for (int attempt = 1;; ++attempt) {
        const bool reused = connection->Connected();
        try {
            connection->Open();
            return TdmSystem::NextSerialNumber(*connection);
        } catch (const EFbError& e) {
            if (!e.IsConnectionLost())
                throw;
            connection->Abandon();
            if (!reused || attempt > 1)
                throw;
            DebugLog(QStringLiteral("Serial number connection lost, attaching again: ") +
                     ExceptionText(e));
        }
    }
}

void fillGrid(QTableWidget* grid, const QStringList& headers, const TRowSet& rows,
              const QStringList& fields, const QStringList& absFields) {
    grid->clear();
    grid->setColumnCount(int(headers.size()));
    grid->setHorizontalHeaderLabels(headers);
    grid->setRowCount(rows.RowCount());
    for (int r = 0; r < rows.RowCount(); ++r) {
        for (int c = 0; c < fields.size(); ++c) {
            const QVariant v = rows.Value(r, fields[c]);
            QString text = v.isNull() ? QString() : v.toString();
            if (absFields.contains(fields[c]) && !v.isNull())
                text = QString::number(std::abs(v.toLongLong()));
            grid->setItem(r, c, new QTableWidgetItem(text));
        }
    }
    grid->horizontalHeader()->setVisible(rows.RowCount() > 0);
}

// The contactless drivers read the card layout, the buzzer switch and the site keys (kept in
// RFIDKeys.INI beside the databases) from here after every attachment.
void LoadContactlessSettings() {
    const RRFID_Card_Layout& l = g_RFID_Card_Layout();
    TContactlessSettings s;
    s.intRFIDLayout = l.intRFIDLayout;
    s.KeySector = l.KeySector;
    s.CapacityOverride = l.CapacityOverride;
    s.ThirdSector = l.ThirdSector;
    s.Track2Sector = l.Track2Sector;
    s.HeaderSector = l.HeaderSector;
    s.DataStartSector = l.DataStartSector;
    s.LastSectorOverride = l.LastSectorOverride;
    s.PointerOrigin = l.PointerOrigin;
    s.PointerOffset = l.PointerOffset;
    s.AuditSupport = l.AuditSupport;
    s.bRFID_Track2 = l.bRFID_Track2;
    s.bUseSector3 = l.bUseSector3;
    s.bAdvancedKeyVerification = l.bAdvancedKeyVerification;
    s.bEnhancedRFID = l.bEnhancedRFID;
    s.intRFIDTrack2_Format = l.intRFIDTrack2_Format;
    s.STRRFIDSECTOR_KEYA = l.STRRFIDSECTOR_KEYA;
    s.UseProxWriteBuzzer = StrToBool_b(HalvexIni().ReadString(
        QStringLiteral("MISC"), QStringLiteral("UseProxWriteBuzzer"), QStringLiteral("True")));
    if (!RFIDKeys_Read_b(g_Attach().LinkPath, s.keys, &s.keysProblem))
        s.keys.valid = false;
    SetContactlessSettings(s);
}

} // namespace

QString& g_strTimeStationIPAddr() {
    static QString address;
    return address;
}

TServerWiring::TServerWiring() {
    TDispatchServices& s = m_dispatcher.Services();
    s.PrinterDispatch = [](TClientConnection& conn, TDeviceRequest& r, QByteArray& answer) {
        return PrinterDispatch(r.command, r.deviceName, r.printLayout, r.data, answer,
                               conn.Error());
    };
    s.GenericFileWrite = [](const QByteArray& data, const QString& format) {
        GenericFileWrite(data, format);
    };
    s.InnerRangeFileWrite = [](const QByteArray& data, const QString& format) {
        const RPropertyConfig& c = g_PropertyConfig();
        TInnerRangeSettings settings;
        settings.bInnerRangeInterface = c.bInnerRangeInterface;
        settings.intInnerRangeFile_Format = c.intInnerRangeFile_Format;
        settings.strInnerRangeGenericFile_Name = c.strInnerRangeFileName;
        settings.strInnerRangeFilePath = c.strInnerRangeFilePath;
        InnerRangeFileWrite(settings, data, format);
    };
    s.NextSerialNumber = [this] { return serialNumberOn(m_serialConnection); };
    s.ComInit = [](TClientConnection& conn, int port, int baud, bool usb) {
        return conn.Devices().ComInit(conn.InterfaceType(), port, baud, usb);
    };
    s.DeviceTransaction = [](TClientConnection& conn, TDeviceRequest& r, QByteArray& answer) {
        TDeviceTransactionData t;
        t.command = r.command;
        t.data = r.data;
        t.elevator = r.elevator;
        t.track2 = r.track2;
        t.variableInfo = r.variableInfo;
        t.addlInfo = r.addlInfo;
        t.delaySecs = r.delaySecs;
        t.expectedResponse = r.expectedResponse;
        t.deviceName = r.deviceName;
        t.printLayout = r.printLayout;
        const bool ok = conn.Devices().DeviceTransaction(conn.InterfaceType(), t, answer);
        r.elevator = t.elevator;
        r.track2 = t.track2;
        r.variableInfo = t.variableInfo;
        r.addlInfo = t.addlInfo;
        return ok;
    };
}

TServerWiring::~TServerWiring() = default;

bool TServerWiring::CreateDataModules() {
    DebugModeChanged = [](bool on) { SetComDebugMode(on); };
    FirebirdEnvironment_Prepare(QCoreApplication::applicationDirPath());
    ::CreateDataModules();
    return true;
}

void TServerWiring::RefreshBrowseLists(TfrmMain& window) {
    TDataModules& dm = DataModules();
    TVRQMain* vrq = window.VRQMain();
    try {
        const TConnectionGuard open(dm.dmSystem->Database1);
        fillGrid(window.ThisStationGrid(),
                 {res("Station ID"), res("Port"), res("Encoder Baud"), res("LPI Baud"),
                  res("Driver Name")},
                 dm.dmClientMachineInfo->qryClientStation_Local(vrq ? vrq->MachineID() : 0),
                 {QStringLiteral("STRSTATIONID"), QStringLiteral("LNGPORT"),
                  QStringLiteral("LNGENCODER_BAUD"), QStringLiteral("LNGLPI_BAUD"),
                  QStringLiteral("STRDEVICENAME")},
                 {QStringLiteral("LNGPORT")});
        const TRowSet all = dm.dmClientMachineInfo->qryClientStation_All();
        g_strTimeStationIPAddr().clear();
        for (int r = 0; r < all.RowCount(); ++r)
            if (all.Str(r, QStringLiteral("STRSTATIONID")).toUpper() == QStringLiteral("TIME"))
                g_strTimeStationIPAddr() = all.Str(r, QStringLiteral("STRIPADDR"));
        fillGrid(window.AllClientMachinesGrid(),
                 {res("Station ID"), res("Machine Name"), res("Port"), res("IP Address"),
                  res("Type"), res("ID")},
                 all,
                 {QStringLiteral("STRSTATIONID"), QStringLiteral("STRNAME"),
                  QStringLiteral("LNGPORT"), QStringLiteral("STRIPADDR"),
                  QStringLiteral("LNGMACHINETYPE"), QStringLiteral("IDXMACHINEID")},
                 {QStringLiteral("LNGPORT")});
    } catch (const std::exception& e) {
        ReportStepError(QStringLiteral("TfrmMain.RefreshBrowseLists:"), ExceptionText(e));
    }
}

void TServerWiring::Attach(TfrmMain& window) {
    TVRQMain* vrq = window.VRQMain();
    if (!vrq)
        return;
    TDataModules& dm = DataModules();
    window.RefreshBrowseLists = [this, &window] { RefreshBrowseLists(window); };
    vrq->ListeningPort = [] { return int(g_PropertyConfig().lngVRQPort); };
    vrq->RunStartupDialog = [&dm, &window](int* code) {
        TfrmSplash splash(dm.dmSystem->Database1, dm.dmTransLog->dbTransLog,
                          QCoreApplication::arguments(), &window);
        splash.LogonStep = false;
        const bool ok = splash.exec() == QDialog::Accepted;
        *code = g_intAppInitReturnCode;
        if (ok)
            LoadContactlessSettings();
        return ok;
    };
    THousekeepingServices& h = vrq->Housekeeping;
    h.Connection = [&dm](bool open) {
        if (open) {
            dm.dmSystem->Database1.Open();
            return;
        }
        // Called from a destructor: a lost attachment is let go without a throw, and the next
        // step attaches again.
        try {
            dm.dmSystem->Database1.Close();
        } catch (const std::exception& e) {
            DebugLog(QStringLiteral("Database close: ") + ExceptionText(e));
        }
    };
    h.MachineID_Get = [&dm](const QString& name) {
        return MachineID_Get(*dm.dmClientMachineInfo, name, QString(), 0);
    };
    h.ReadIPAddresses = [&dm](int id, QString* current, QString* preferred) {
        const TConnectionGuard open(dm.dmSystem->Database1);
        const TRowSet r = dm.dmClientMachineInfo->qryClientMachine_ByMachineID(id);
        if (r.IsEmpty())
            return false;
        *current = r.Str(0, QStringLiteral("STRIPADDR"));
        *preferred = r.Str(0, QStringLiteral("STRPREFERREDIPADDR"));
        return true;
    };
    h.WriteIPAddresses = [&dm](int id, const QString& address, const QString& preferred) {
        const TConnectionGuard open(dm.dmSystem->Database1);
        return dm.dmSystem->Database1.Exec(
                   QStringLiteral(
                       "UPDATE ClientMachine SET STRIPADDR = :A, STRPREFERREDIPADDR = :P WHERE "
                       "idxMachineID = :ID"),
                   {{QStringLiteral("A"), address},
                    {QStringLiteral("P"), preferred},
                    {QStringLiteral("ID"), id}}) > 0;
    };
}
