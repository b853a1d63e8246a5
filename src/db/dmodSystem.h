#pragma once
// The data modules: each owns or shares a connection and holds the named queries of its tables.

#include "FbConnection.h"
#include "unitDataSet.h"

#include <QString>
#include <memory>
#include <optional>

// Main database (Database1): configuration, stations, serial numbers, next keys, lock names.
class TdmSystem {
public:
    TdmSystem() = default;
    TFbConnection Database1;

    // Explicit transaction on Database1; a second start raises "Database1 already in transaction -
    // cannot initiate another transaction".
    void StartTransaction(const TTransactionDesc& desc);
    void Commit(const TTransactionDesc& desc);
    void Rollback(const TTransactionDesc& desc);

    // Editable named queries.
    std::unique_ptr<TCachedDataSet> qrySerialNum();
    std::unique_ptr<TCachedDataSet> qryNextIDClient();

    // Serial number allocation: n, or 1 when n passed lngMax; n + 1 is stored. One statement,
    // retried on lock conflicts, so concurrent servers never hand out a number twice. 0 when
    // SerialNum has no row.
    static int64_t NextSerialNumber(TFbConnection& db);
    int64_t NextSerialNumber() { return NextSerialNumber(Database1); }
    // Next key of a client table from NextIDClient (row created with 1 when missing); 0 when the
    // row has reached its limit or nothing could be allocated.
    static int UpdateNextKeyValue_int(TFbConnection& db, const QString& tableName);
    // qryLockLookUpByID / qryDeviceLookUpByID: a lock or device name by number.
    QString LockOrDeviceName(int number);

private:
    static int nextKeyValue(TFbConnection& db, const QString& upperName);
};

// Station registry queries on the main database.
class TdmClientMachineInfo {
public:
    explicit TdmClientMachineInfo(TdmSystem& sys) : m_sys(sys) {}
    TFbConnection& Database1() { return m_sys.Database1; }

    TRowSet qryClientMachine_ByName(const QString& strName);
    TRowSet qryClientMachine_ByMachineID(int idxMachineID);
    TRowSet qryClientMachine_ByIPAddress(const QString& strIPAddr);
    TRowSet qryClientStation_All();
    TRowSet qryClientStation_Local(int idxMachineID);
    TRowSet qryClientStation_ByStationID(const QString& strStationID, int idxMachineID);
    TRowSet qryEncoderMap(const QString& stationID);

private:
    TdmSystem& m_sys;
};

// Users of the lock system (main database).
class TdmUser {
public:
    explicit TdmUser(TdmSystem& sys) : m_sys(sys) {}
    TFbConnection& Database1() { return m_sys.Database1; }

    std::unique_ptr<TCachedDataSet> qryUserInfo(int UserID);
    std::unique_ptr<TCachedDataSet> qryUserByUserID(const QString& strUserID);
    std::unique_ptr<TCachedDataSet> qryUserLogon(const QString& strUserID,
                                                 const QString& strPassword_New);
    std::unique_ptr<TCachedDataSet> qryUserPassword_Interface(const QString& strPassword_Interface);
    std::unique_ptr<TCachedDataSet> qryUserEdit(int idxUserID);
    // Both stored forms of a user's password; the number of rows changed.
    int qryUpdateUserPassword(int idxUserID, const QString& strPassword,
                              const QString& strPassword_NEW);
    // A user's previous passwords, newest first.
    std::unique_ptr<TCachedDataSet> qryPWD_History(int idxUserID);
    std::unique_ptr<TCachedDataSet> qryUserToUserGroup(int idxUserID);
    // Authorisation rows of a user (bUserGroupID = 0) or of a group (bUserGroupID = -1).
    std::unique_ptr<TCachedDataSet> qryUserAuth(int idxUserID, int bUserGroupID);

private:
    TdmSystem& m_sys;
};

// Card print layouts (main database).
class TdmKeyPrintLayout {
public:
    explicit TdmKeyPrintLayout(TdmSystem& sys) : m_sys(sys) {}
    TFbConnection& Database1() { return m_sys.Database1; }
    TRowSet qryKeyPrintLayoutEdit(int idxKeyPrintLayoutID);
    TRowSet qryFieldDefEdit(int idxKeyPrintLayoutID);

private:
    TdmSystem& m_sys;
};

// Log database (dbTransLog).
class TdmTransLog {
public:
    TFbConnection dbTransLog;

    // Always read committed; a second start raises "DatabaseLog already in transaction - cannot
    // initiate another transaction".
    void StartTransaction(const TTransactionDesc& desc);
    void Commit(const TTransactionDesc& desc);
    void Rollback(const TTransactionDesc& desc);
};

// Messenger log database (dbMsgrLog); only the multi-database checks open it.
class TdmMsgrLog {
public:
    TFbConnection dbMsgrLog;
};

// The data modules of the process, created at program start in their order.
struct TDataModules {
    std::unique_ptr<TdmSystem> dmSystem;
    std::unique_ptr<TdmClientMachineInfo> dmClientMachineInfo;
    std::unique_ptr<TdmUser> dmUser;
    std::unique_ptr<TdmKeyPrintLayout> dmKeyPrintLayout;
    std::unique_ptr<TdmTransLog> dmTransLog;
    std::unique_ptr<TdmMsgrLog> dmMsgrLog;
};
TDataModules& DataModules();
void CreateDataModules();
