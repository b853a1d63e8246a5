#include "unitStationRegistry.h"

#include "UlmexMsgBox.h"
#include "unitDataSet.h"

#include <QCoreApplication>

namespace {
QString res(const char* t) {
    return QCoreApplication::translate("Resource", t);
}
void reportError(const QString& where, const QString& text) {
    ErrorOccurred_Report(where, text);
}
} // namespace

int MachineID_Get(TdmClientMachineInfo& dm, const QString& name, const QString& ipAddress, int kind,
                  bool* created) {
    if (created)
        *created = false;
    int id = 0;
    try {
        const TConnectionGuard open(dm.Database1());
        const TRowSet row = dm.qryClientMachine_ByName(name);
        if (!row.IsEmpty())
            return int(row.Int(0, QStringLiteral("IDXMACHINEID")));
        const int next =
            TdmSystem::UpdateNextKeyValue_int(dm.Database1(), QStringLiteral("ClientMachine"));
        if (next <= 0)
            return 0;
        dm.Database1().Exec(
            QStringLiteral(
                "INSERT INTO ClientMachine (idxMachineID, strName, strIPAddr, lngMachineType) "
                "VALUES (:ID, :N, :IP, :K)"),
            {{QStringLiteral("ID"), next},
             {QStringLiteral("N"), name},
             {QStringLiteral("IP"), ipAddress},
             {QStringLiteral("K"), kind}});
        id = next;
        if (created)
            *created = true;
    } catch (const std::exception& e) {
        reportError(QStringLiteral("MachineID_Get"), ExceptionText(e));
    }
    return id;
}

void UpdateMachineName(TdmClientMachineInfo& dm, int machineID, const QString& newName,
                       int newKind) {
    try {
        const TConnectionGuard open(dm.Database1());
        const TRowSet byName = dm.qryClientMachine_ByName(newName);
        if (!byName.IsEmpty() && byName.Int(0, QStringLiteral("IDXMACHINEID")) != machineID) {
            UlmexMsgBox(
                QString(),
                res("CANNOT ADD : %1:s already exists!").replace(QStringLiteral("%1:s"), newName),
                QString(), false, 0, UlmexMB_ICONERROR);
            return;
        }
        if (dm.qryClientMachine_ByMachineID(machineID).IsEmpty()) {
            UlmexMsgBox(QString(),
                        res("CANNOT UPDATE : Unable to find MachineID:") +
                            QString::number(machineID),
                        QString(), false, 0, UlmexMB_ICONERROR);
            return;
        }
        dm.Database1().Exec(
            QStringLiteral("UPDATE ClientMachine SET strName = :N, lngMachineType = :K "
                           "WHERE idxMachineID = :ID"),
            {{QStringLiteral("N"), newName},
             {QStringLiteral("K"), newKind},
             {QStringLiteral("ID"), machineID}});
    } catch (const std::exception& e) {
        reportError(QStringLiteral("UpdateMachineName"), ExceptionText(e));
    }
}
