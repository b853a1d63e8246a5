#include "dmodSystem.h"

#include "UlmexMsgBox.h"

#include <QElapsedTimer>
#include <QThread>
#include <optional>

namespace {
// Lock conflicts with other programs are waited out; each try is one short transaction.
constexpr int kConflictTries = 200;

constexpr qint64 kConflictGiveUpMs = 120000;

template <class Fn> auto retryOnConflict(Fn&& fn) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (int attempt = 1;; ++attempt) {
        try {
            return fn();
        } catch (const EFbError& e) {
            if (!e.IsLockConflict() || attempt >= kConflictTries ||
                elapsed.elapsed() > kConflictGiveUpMs)
                throw;
            QThread::msleep(attempt < 10 ? 1 : 10);
        }
    }
}
} // namespace

int64_t TdmSystem::NextSerialNumber(TFbConnection& db) {
    const TConnectionGuard open(db);
    for (int attempt = 1;; ++attempt) {
        const std::optional<int64_t> n = retryOnConflict([&]() -> std::optional<int64_t> {
            TFbTransaction t(db);
            const TRowSet r = t.Query(QStringLiteral(
                "UPDATE SerialNum SET lngSerialNum = CASE WHEN lngSerialNum > lngMax THEN 2 "
                "ELSE lngSerialNum + 1 END WHERE idxID = 1 RETURNING lngSerialNum"));
            if (!r.IsEmpty() && !r.Value(0, QStringLiteral("LNGSERIALNUM")).isNull()) {
                t.Commit();
                return r.Int(0, QStringLiteral("LNGSERIALNUM")) - 1;
            }
            // Under concurrent writers the update can meet no row version of its own; only a
            // table without the row means "none".
            if (t.Query(QStringLiteral("SELECT 1 FROM SerialNum WHERE idxID = 1")).IsEmpty())
                return int64_t(0);
            return std::nullopt;
        });
        if (n)
            return *n;
        if (attempt >= kConflictTries)
            throw EUlmex(QStringLiteral("SerialNum could not be updated"));
        QThread::msleep(1);
    }
}

int TdmSystem::UpdateNextKeyValue_int(TFbConnection& db, const QString& tableName) {
    if (db.Database().isEmpty()) {
        UlmexMsgBox(QStringLiteral("Datasource Error"), QString(),
                    QStringLiteral("NextKeyDataSource must point to a Table!"));
        return 0;
    }
    try {
        return nextKeyValue(db, tableName.toUpper());
    } catch (const std::exception& e) {
        ErrorOccurred_Report(QStringLiteral(".UpdateNextKeyValue_int"), ExceptionText(e));
        return 0;
    }
}

int TdmSystem::nextKeyValue(TFbConnection& db, const QString& name) {
    const TConnectionGuard open(db);
    for (int attempt = 1;; ++attempt) {
        const std::optional<int> n = retryOnConflict([&]() -> std::optional<int> {
            TFbTransaction t(db);
            const TRowSet r = t.Query(
                QStringLiteral("UPDATE NextIDClient SET idxNextID = COALESCE(idxNextID, 0) + 1 "
                               "WHERE UPPER(strTableName) = :N AND (COALESCE(lngMaxID, 0) <= 0 OR "
                               "COALESCE(idxNextID, 0) + 1 <= lngMaxID + 1) RETURNING idxNextID"),
                {{QStringLiteral("N"), name}});
            if (!r.IsEmpty() && !r.Value(0, QStringLiteral("IDXNEXTID")).isNull()) {
                t.Commit();
                return int(r.Int(0, QStringLiteral("IDXNEXTID")));
            }
            const TRowSet row = t.Query(
                QStringLiteral(
                    "SELECT idxNextID, lngMaxID FROM NextIDClient WHERE UPPER(strTableName) = :N"),
                {{QStringLiteral("N"), name}});
            if (!row.IsEmpty()) {
                const int64_t max = row.Int(0, QStringLiteral("LNGMAXID"));
                if (max > 0 && row.Int(0, QStringLiteral("IDXNEXTID")) + 1 > max + 1)
                    return 0;        // at its limit: refuse rather than hand out 1 again
                return std::nullopt; // a concurrent writer got in between; try again
            }
            t.Exec(QStringLiteral("INSERT INTO NextIDClient (strTableName, idxNextID, lngMaxID) "
                                  "VALUES (:N, 1, 0)"),
                   {{QStringLiteral("N"), name}});
            t.Commit();
            return 1;
        });
        if (n)
            return *n;
        if (attempt >= kConflictTries)
            throw EUlmex(QStringLiteral("NextIDClient could not be updated"));
        QThread::msleep(1);
    }
}

QString TdmSystem::LockOrDeviceName(int number) {
    const TConnectionGuard open(Database1);
    if (number <= 32767) {
        const TRowSet r =
            Database1.Query(QStringLiteral("SELECT * FROM Lock WHERE idxLockID = :idxLockID"),
                            {{QStringLiteral("idxLockID"), number}});
        return r.Str(0, QStringLiteral("strLockName"));
    }
    const TRowSet r = Database1.Query(
        QStringLiteral(
            "SELECT n.idxDeviceID, n.idxDeviceType, n.strName, t.strDesc FROM NON_LOCK_DEVICE n "
            "LEFT JOIN DEVICETYPE t ON t.idxDeviceType = n.idxDeviceType WHERE n.idxDeviceID = "
            ":DeviceID"),
        {{QStringLiteral("DeviceID"), number}});
    return r.Str(0, QStringLiteral("strName"));
}

void TdmSystem::StartTransaction(const TTransactionDesc& desc) {
    if (Database1.InTransaction())
        throw EUlmex(QStringLiteral(
            "Database1 already in transaction - cannot initiate another transaction"));
    Database1.StartExplicit(desc.IsolationLevel);
}

void TdmSystem::Commit(const TTransactionDesc&) {
    Database1.CommitExplicit();
}
void TdmSystem::Rollback(const TTransactionDesc&) {
    Database1.RollbackExplicit();
}

std::unique_ptr<TCachedDataSet> TdmSystem::qrySerialNum() {
    return std::make_unique<TCachedDataSet>(
        Database1, QStringLiteral("qrySerialNum"),
        QStringLiteral("SELECT * FROM SerialNum WHERE idxID = 1"), QStringLiteral("SerialNum"),
        QStringList{QStringLiteral("idxID")});
}

std::unique_ptr<TCachedDataSet> TdmSystem::qryNextIDClient() {
    return std::make_unique<TCachedDataSet>(
        Database1, QStringLiteral("qryNextIDClient"), QStringLiteral("SELECT * FROM NextIDClient"),
        QStringLiteral("NextIDClient"), QStringList{QStringLiteral("strTableName")});
}

void TdmTransLog::StartTransaction(const TTransactionDesc&) {
    if (dbTransLog.InTransaction())
        throw EUlmex(QStringLiteral(
            "DatabaseLog already in transaction - cannot initiate another transaction"));
    dbTransLog.StartExplicit(TIsolationLevel::ReadCommitted);
}

void TdmTransLog::Commit(const TTransactionDesc&) {
    dbTransLog.CommitExplicit();
}
void TdmTransLog::Rollback(const TTransactionDesc&) {
    dbTransLog.RollbackExplicit();
}

namespace {
std::unique_ptr<TCachedDataSet> usersDataSet(TFbConnection& db, const char* name,
                                             const QString& where, const TParams& params) {
    auto ds = std::make_unique<TCachedDataSet>(
        db, QLatin1String(name), QStringLiteral("SELECT * FROM Users WHERE ") + where,
        QStringLiteral("Users"), QStringList{QStringLiteral("idxUserID")});
    for (const auto& p : params)
        ds->SetParam(p.first, p.second);
    return ds;
}
} // namespace

std::unique_ptr<TCachedDataSet> TdmUser::qryUserInfo(int UserID) {
    return usersDataSet(Database1(), "qryUserInfo", QStringLiteral("idxUserID = :UserID"),
                        {{QStringLiteral("UserID"), UserID}});
}

std::unique_ptr<TCachedDataSet> TdmUser::qryUserByUserID(const QString& strUserID) {
    return usersDataSet(Database1(), "qryUserByUserID", QStringLiteral("strUserID = :strUserID"),
                        {{QStringLiteral("strUserID"), strUserID}});
}

std::unique_ptr<TCachedDataSet> TdmUser::qryUserLogon(const QString& strUserID,
                                                      const QString& strPassword_New) {
    return usersDataSet(
        Database1(), "qryUserLogon",
        QStringLiteral("strUserID = :strUserID AND strPassword_New = :strPassword_New"),
        {{QStringLiteral("strUserID"), strUserID},
         {QStringLiteral("strPassword_New"), strPassword_New}});
}

std::unique_ptr<TCachedDataSet>
TdmUser::qryUserPassword_Interface(const QString& strPassword_Interface) {
    return usersDataSet(Database1(), "qryUserPassword_Interface",
                        QStringLiteral("strPassword_Interface = :strPassword_Interface"),
                        {{QStringLiteral("strPassword_Interface"), strPassword_Interface}});
}

std::unique_ptr<TCachedDataSet> TdmUser::qryUserEdit(int idxUserID) {
    return usersDataSet(Database1(), "qryUserEdit", QStringLiteral("idxUserID = :idxUserID"),
                        {{QStringLiteral("idxUserID"), idxUserID}});
}

int TdmUser::qryUpdateUserPassword(int idxUserID, const QString& strPassword,
                                   const QString& strPassword_NEW) {
    return Database1().Exec(
        QStringLiteral(
            "UPDATE Users SET strPassword = :strPassword, strPassword_NEW = :strPassword_NEW "
            "WHERE idxUserID = :idxUserID"),
        {{QStringLiteral("strPassword"), strPassword},
         {QStringLiteral("strPassword_NEW"), strPassword_NEW},
         {QStringLiteral("idxUserID"), idxUserID}});
}

std::unique_ptr<TCachedDataSet> TdmUser::qryPWD_History(int idxUserID) {
    auto ds = std::make_unique<TCachedDataSet>(
        Database1(), QStringLiteral("qryPWD_History"),
        QStringLiteral(
            "SELECT * FROM PWD_History WHERE idxUserID = :idxUserID ORDER BY datAdded DESC"),
        QStringLiteral("PWD_History"),
        QStringList{QStringLiteral("idxUserID"), QStringLiteral("strPassword")});
    ds->SetParam(QStringLiteral("idxUserID"), idxUserID);
    return ds;
}

std::unique_ptr<TCachedDataSet> TdmUser::qryUserToUserGroup(int idxUserID) {
    auto ds = std::make_unique<TCachedDataSet>(
        Database1(), QStringLiteral("qryUserToUserGroup"),
        QStringLiteral("SELECT * FROM UserToUserGroup WHERE idxUserID = :idxUserID"),
        QStringLiteral("UserToUserGroup"),
        QStringList{QStringLiteral("idxUserID"), QStringLiteral("idxUserGroupID")});
    ds->SetParam(QStringLiteral("idxUserID"), idxUserID);
    return ds;
}

std::unique_ptr<TCachedDataSet> TdmUser::qryUserAuth(int idxUserID, int bUserGroupID) {
    // Any non-zero flag is "a group" in the table, whatever true value the writer used.
    auto ds = std::make_unique<TCachedDataSet>(
        Database1(), QStringLiteral("qryUserAuth"),
        QStringLiteral(
            "SELECT * FROM UserAuth WHERE idxUserID = :idxUserID AND "
            "(CASE WHEN COALESCE(bUserGroupID, 0) <> 0 THEN -1 ELSE 0 END) = :bUserGroupID"),
        QStringLiteral("UserAuth"),
        QStringList{QStringLiteral("idxUserID"), QStringLiteral("bUserGroupID"),
                    QStringLiteral("idxTransAuthID"), QStringLiteral("idxKeyGroupID")});
    ds->SetParam(QStringLiteral("idxUserID"), idxUserID);
    ds->SetParam(QStringLiteral("bUserGroupID"), bUserGroupID != 0 ? -1 : 0);
    return ds;
}

TRowSet TdmClientMachineInfo::qryClientMachine_ByName(const QString& strName) {
    return Database1().Query(QStringLiteral("SELECT * FROM ClientMachine WHERE strName = :strName"),
                             {{QStringLiteral("strName"), strName}});
}

TRowSet TdmClientMachineInfo::qryClientMachine_ByMachineID(int idxMachineID) {
    return Database1().Query(
        QStringLiteral("SELECT * FROM ClientMachine WHERE idxMachineID = :idxMachineID"),
        {{QStringLiteral("idxMachineID"), idxMachineID}});
}

TRowSet TdmClientMachineInfo::qryClientMachine_ByIPAddress(const QString& strIPAddr) {
    return Database1().Query(
        QStringLiteral(
            "SELECT * FROM ClientMachine WHERE lngMachineType = 1 AND strIPAddr = :strIPAddr"),
        {{QStringLiteral("strIPAddr"), strIPAddr}});
}

TRowSet TdmClientMachineInfo::qryClientStation_All() {
    return Database1().Query(
        QStringLiteral("SELECT s.strStationID, m.strName, s.lngPort, m.strIPAddr, "
                       "m.lngMachineType, m.idxMachineID "
                       "FROM ClientMachine m JOIN ClientStation s ON s.idxMachineID = "
                       "m.idxMachineID ORDER BY s.strStationID"));
}

TRowSet TdmClientMachineInfo::qryClientStation_Local(int idxMachineID) {
    return Database1().Query(
        QStringLiteral(
            "SELECT * FROM ClientStation WHERE idxMachineID = :idxMachineID ORDER BY lngPort"),
        {{QStringLiteral("idxMachineID"), idxMachineID}});
}

TRowSet TdmClientMachineInfo::qryClientStation_ByStationID(const QString& strStationID,
                                                           int idxMachineID) {
    return Database1().Query(QStringLiteral("SELECT * FROM ClientStation WHERE strStationID = "
                                            ":strStationID AND idxMachineID = :idxMachineID"),
                             {{QStringLiteral("strStationID"), strStationID},
                              {QStringLiteral("idxMachineID"), idxMachineID}});
}

TRowSet TdmClientMachineInfo::qryEncoderMap(const QString& stationID) {
    return Database1().Query(
        QStringLiteral("SELECT m.*, s.strStationID, s.lngPort, s.lngEncoder_Baud, s.lngLPI_Baud, "
                       "s.lngInterfaceType, "
                       "s.idxKeyPrintLayoutID, s.strDeviceName, s.bUSB_Port FROM ClientStation s "
                       "JOIN ClientMachine m ON m.idxMachineID = s.idxMachineID WHERE "
                       "s.strStationID = :StationID"),
        {{QStringLiteral("StationID"), stationID}});
}

TRowSet TdmKeyPrintLayout::qryKeyPrintLayoutEdit(int id) {
    return Database1().Query(
        QStringLiteral("SELECT * FROM KeyPrintLayout WHERE idxKeyPrintLayoutID = :ID"),
        {{QStringLiteral("ID"), id}});
}

TRowSet TdmKeyPrintLayout::qryFieldDefEdit(int id) {
    return Database1().Query(
        QStringLiteral(
            "SELECT * FROM KeyPrintFieldDef WHERE idxKeyPrintLayoutID = :ID ORDER BY idxFieldID"),
        {{QStringLiteral("ID"), id}});
}

TDataModules& DataModules() {
    static TDataModules modules;
    return modules;
}

void CreateDataModules() {
    DatabaseClientLibrary_str(); // the client library is chosen once, before the first connection
    TDataModules& m = DataModules();
    m.dmSystem = std::make_unique<TdmSystem>();
    m.dmClientMachineInfo = std::make_unique<TdmClientMachineInfo>(*m.dmSystem);
    m.dmUser = std::make_unique<TdmUser>(*m.dmSystem);
    m.dmKeyPrintLayout = std::make_unique<TdmKeyPrintLayout>(*m.dmSystem);
    m.dmTransLog = std::make_unique<TdmTransLog>();
    m.dmMsgrLog = std::make_unique<TdmMsgrLog>();
}
