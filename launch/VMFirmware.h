#pragma once

#include "model/ModernHardware.h"

#include <QString>
#include <QStringList>

// The firmware and the TPM of a VM: the settings, and the files that belong to the VM beside its
// definition file in the store folder: the UEFI variable store ("<VM>.efivars.qcow2") and the TPM's
// state folder ("<VM>.tpm"). Both are made when the setting is chosen, not at launch, so a launch
// never writes into the store.
namespace VMFirmware {

// Writes "Firmware"; for UEFI it chooses the firmware for the VM's machine from QEMU's
// descriptors, makes the VM's variable store from the descriptor's template when it has none that
// fits, and records "Firmware Code" and "Firmware Vars". False with the reason; a store made for
// a failed save is removed.
bool SaveFirmware(const QString& vmFile, ModernHardware::Firmware firmware,
                  QString* error = nullptr);

// Writes "TPM"; for a TPM it makes the state once with swtpm and records "TPM State".
bool SaveTpm(const QString& vmFile, bool on, QString* error = nullptr);

// The variable store and the TPM state folder a VM file names, as full paths; only those that lie
// in the VM file's own folder under the names this program gives them (a VM file cannot make the
// program delete anything else).
QString VariableStoreOf(const QString& vmFile);
QString TpmStateOf(const QString& vmFile);

// Deletes the VM's variable store and TPM state; failures pass in silence.
void DeleteVMState(const QString& vmFile);

// The qemu-img that makes the variable stores: the program folder's, else the host's.
QString QemuImg();

} // namespace VMFirmware
