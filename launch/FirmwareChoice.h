#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// UEFI firmware for a VM, chosen from the descriptors QEMU's packages install, never from
// hard-coded paths: a descriptor names a code file and the variable-store template made for it.
namespace FirmwareChoice {

struct Firmware
{
    QString descriptor;   // the JSON file chosen
    QString code;         // executable (absolute path)
    QString codeFormat;   // "raw" or "qcow2"
    QString varsTemplate; // nvram-template (absolute path)
    QString varsFormat;
    bool secureBoot = false;
    bool enrolledKeys = false;
    bool requiresSmm = false;
};

// QEMU's descriptor folders in rising precedence: /usr/share/qemu/firmware, /etc/qemu/firmware,
// $XDG_CONFIG_HOME/qemu/firmware (~/.config when unset). A file in a later folder replaces one of
// the same name in an earlier; an empty file hides it.
QStringList DescriptorFolders();

// The best descriptor for an x86_64 machine ("q35", "pc" or a full name like "pc-q35-7.2"), in
// order of file name across the merged folders: with secureBoot the first with Secure Boot and
// enrolled keys, without it the first without Secure Boot (one not needing SMM preferred).
// Unreadable or incomplete descriptors are skipped. nullopt, with a sentence for the user in
// *error, when none fits.
std::optional<Firmware> Choose(const QString& machine, bool secureBoot,
                               const QStringList& folders = DescriptorFolders(),
                               QString* error = nullptr);

// Makes the VM's own variable store at destination, in qcow2 and readable by its owner only,
// from the firmware's template with qemuImg (the full path of qemu-img). Never replaces an
// existing file. False, with a sentence in *error and nothing left behind, on failure.
bool MakeVariableStore(const QString& qemuImg, const Firmware& firmware, const QString& destination,
                       QString* error = nullptr);

// The QEMU options, starting with a blank, for the firmware's code (read-only) and the VM's
// qcow2 variable store varsFile as two pflash drives; for firmware that requires SMM (every
// Secure Boot build) also the option that keeps the store writable from SMM only. The machine's
// "smm=on" is the caller's, asked for by requiresSmm.
QString QemuOptions(const Firmware& firmware, const QString& varsFile);

} // namespace FirmwareChoice
