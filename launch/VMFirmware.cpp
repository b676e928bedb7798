#include "launch/VMFirmware.h"

#include "launch/FirmwareChoice.h"
#include "launch/TpmEmulator.h"
#include "model/ProgramFolder.h"
#include "model/VMFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace VMFirmware {

namespace {

const QString Hardware = QStringLiteral("Hardware");
const QString FirmwareKey = QStringLiteral("Firmware");
const QString CodeKey = QStringLiteral("Firmware Code");
const QString VarsKey = QStringLiteral("Firmware Vars");
const QString TpmKey = QStringLiteral("TPM");
const QString TpmStateKey = QStringLiteral("TPM State");
const QString VarsSuffix = QStringLiteral(".efivars.qcow2");
const QString TpmSuffix = QStringLiteral(".tpm");

QString vmName(const QString& vmFile)
{
    return QFileInfo(vmFile).completeBaseName();
}

QString besideVM(const QString& vmFile, const QString& name)
{
    return QFileInfo(vmFile).absoluteDir().filePath(name);
}

// A stored bare name of this program's making, in the VM's folder; empty for anything else.
QString ownFile(const QString& vmFile, const QString& key, const QString& suffix)
{
    const QString stored = ReadVMFileValue(vmFile, Hardware, key);
    if (stored.isEmpty() || stored.contains(QLatin1Char('/')) ||
        stored.contains(QLatin1Char('\\')) || !stored.endsWith(suffix) || stored == suffix ||
        stored.startsWith(QLatin1Char('.')))
        return {};
    return besideVM(vmFile, stored);
}

bool write(const QString& vmFile, const QString& key, const QString& value, QString* error)
{
    return WriteVMFileValue(vmFile, Hardware, key, value, error);
}

} // namespace

QString QemuImg()
{
    const QString own = ProgramFolder::file(QStringLiteral("qemu\\qemu-img.exe"));
    if (QFileInfo(own).isExecutable())
        return own;
    return QStandardPaths::findExecutable(QStringLiteral("qemu-img"));
}

bool SaveFirmware(const QString& vmFile, ModernHardware::Firmware firmware, QString* error)
{
    using ModernHardware::Firmware;
    if (firmware == Firmware::Bios)
        return write(vmFile, FirmwareKey, ModernHardware::FirmwareText(firmware), error);

    const QString machine = ReadVMFileValue(vmFile, Hardware, QStringLiteral("MID"));
    const auto chosen = FirmwareChoice::Choose(machine, firmware == Firmware::SecureBoot,
                                               FirmwareChoice::DescriptorFolders(), error);
    if (!chosen)
        return false;
    // A store made from another firmware's template would not fit its code (their sizes
    // differ); one made from the same code keeps the VM's boot entries.
    QString vars = VariableStoreOf(vmFile);
    const bool keep = !vars.isEmpty() && QFileInfo::exists(vars) &&
                      ReadVMFileValue(vmFile, Hardware, CodeKey) == chosen->code;
    bool made = false;
    if (!keep) {
        vars = besideVM(vmFile, vmName(vmFile) + VarsSuffix);
        if (QFileInfo::exists(vars) && !QFile::remove(vars)) {
            if (error)
                *error = QStringLiteral("The old UEFI variable store %1 cannot be replaced.")
                             .arg(QDir::toNativeSeparators(vars));
            return false;
        }
        if (!FirmwareChoice::MakeVariableStore(QemuImg(), *chosen, vars, error))
            return false;
        made = true;
    }
    if (write(vmFile, CodeKey, chosen->code, error) &&
        write(vmFile, VarsKey, QFileInfo(vars).fileName(), error) &&
        write(vmFile, FirmwareKey, ModernHardware::FirmwareText(firmware), error))
        return true;
    if (made)
        QFile::remove(vars);
    return false;
}

bool SaveTpm(const QString& vmFile, bool on, QString* error)
{
    const QStringList texts = ModernHardware::TpmTexts();
    if (!on)
        return write(vmFile, TpmKey, texts.at(0), error);
    QString missing;
    if (!TpmEmulator::Available(&missing)) {
        if (error)
            *error = QStringLiteral("A TPM needs the TPM emulator swtpm, which is not installed. "
                                    "Please install the package %1.")
                         .arg(missing);
        return false;
    }
    QString state = TpmStateOf(vmFile);
    if (state.isEmpty())
        state = besideVM(vmFile, vmName(vmFile) + TpmSuffix);
    return TpmEmulator::PrepareState(state, error) &&
           write(vmFile, TpmStateKey, QFileInfo(state).fileName(), error) &&
           write(vmFile, TpmKey, texts.at(1), error);
}

QString VariableStoreOf(const QString& vmFile)
{
    return ownFile(vmFile, VarsKey, VarsSuffix);
}

QString TpmStateOf(const QString& vmFile)
{
    return ownFile(vmFile, TpmStateKey, TpmSuffix);
}

void DeleteVMState(const QString& vmFile)
{
    const QString vars = VariableStoreOf(vmFile);
    if (!vars.isEmpty() && QFileInfo(vars).isFile())
        QFile::remove(vars);
    const QString state = TpmStateOf(vmFile);
    const QFileInfo folder(state);
    if (state.isEmpty() || !folder.isDir() || folder.isSymLink())
        return;
    // swtpm keeps only files there; a folder someone put inside stays, and so does the state.
    QDir dir(state);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : files)
        dir.remove(name);
    QDir().rmdir(state);
}

} // namespace VMFirmware
