#pragma once
// This computer's machine row, machine renames and the station lists.

#include "dmodSystem.h"

#include <QString>

// The machine number of name (a row of kind `kind` is created when missing); 0 on failure.
int MachineID_Get(TdmClientMachineInfo& dm, const QString& name, const QString& ipAddress, int kind,
                  bool* created = nullptr);
// Renames a machine and changes its kind; failures are reported to the operator.
void UpdateMachineName(TdmClientMachineInfo& dm, int machineID, const QString& newName,
                       int newKind);
