#include "launch/FirmwareChoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

namespace FirmwareChoice {

namespace {

struct MachineName
{
    const char* id;
    const char* concrete;
};

// Descriptors match versioned machine names ("pc-q35-*"); our short ids stand for a current one.
constexpr MachineName MachineNames[] = {
    {"q35", "pc-q35-7.2"},
    {"pc", "pc-i440fx-7.2"},
};

QString concreteMachine(const QString& machine)
{
    for (const MachineName& row : MachineNames) {
        if (machine == QLatin1String(row.id))
            return QString::fromLatin1(row.concrete);
    }
    return machine;
}

const QString Architecture = QStringLiteral("x86_64");
const QString StoreFormat = QStringLiteral("qcow2");

// A merged folder set: file name to the file that wins it, in order of file name. An empty file
// wins its name too, and so hides the descriptor of that name, since it is no JSON.
QMap<QString, QString> mergedDescriptors(const QStringList& folders)
{
    QMap<QString, QString> files;
    for (const QString& folder : folders) {
        const QFileInfoList entries =
            QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        for (const QFileInfo& entry : entries)
            files.insert(entry.fileName(), entry.absoluteFilePath());
    }
    return files;
}

bool holds(const QJsonValue& array, const QString& text)
{
    return array.toArray().contains(QJsonValue(text));
}

bool fitsMachine(const QJsonValue& targets, const QString& machine)
{
    for (const QJsonValue& target : targets.toArray()) {
        const QJsonObject object = target.toObject();
        if (object.value(QLatin1String("architecture")).toString() != Architecture)
            continue;
        for (const QJsonValue& glob : object.value(QLatin1String("machines")).toArray()) {
            const QRegularExpression pattern(
                QRegularExpression::wildcardToRegularExpression(glob.toString()));
            if (!glob.toString().isEmpty() && pattern.match(machine).hasMatch())
                return true;
        }
    }
    return false;
}

// A mapped file: an absolute path to an existing file in a format QEMU's pflash takes.
bool readFile(const QJsonValue& value, QString* path, QString* format)
{
    const QJsonObject object = value.toObject();
    *path = object.value(QLatin1String("filename")).toString();
    // The schema's default format.
    *format = object.value(QLatin1String("format")).toString(QStringLiteral("raw"));
    if (*format != QLatin1String("raw") && *format != StoreFormat)
        return false;
    return QFileInfo(*path).isAbsolute() && QFileInfo(*path).isFile();
}

// The firmware a descriptor file describes, if it is UEFI in split flash for this machine.
std::optional<Firmware> readDescriptor(const QString& path, const QString& machine)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A file that is not a JSON object reads as an empty one, which lacks every field asked for.
    const QJsonObject descriptor = QJsonDocument::fromJson(file.readAll()).object();

    if (!holds(descriptor.value(QLatin1String("interface-types")), QStringLiteral("uefi")))
        return std::nullopt;
    const QJsonObject mapping = descriptor.value(QLatin1String("mapping")).toObject();
    // Split mode is the default: code and variable store in separate files.
    if (mapping.value(QLatin1String("device")).toString() != QLatin1String("flash") ||
        mapping.value(QLatin1String("mode")).toString(QStringLiteral("split")) !=
            QLatin1String("split"))
        return std::nullopt;
    if (!fitsMachine(descriptor.value(QLatin1String("targets")), machine))
        return std::nullopt;

    Firmware firmware;
    firmware.descriptor = path;
    if (!readFile(mapping.value(QLatin1String("executable")), &firmware.code,
                  &firmware.codeFormat) ||
        !readFile(mapping.value(QLatin1String("nvram-template")), &firmware.varsTemplate,
                  &firmware.varsFormat))
        return std::nullopt;
    const QJsonValue features = descriptor.value(QLatin1String("features"));
    firmware.secureBoot = holds(features, QStringLiteral("secure-boot"));
    firmware.enrolledKeys = holds(features, QStringLiteral("enrolled-keys"));
    firmware.requiresSmm = holds(features, QStringLiteral("requires-smm"));
    return firmware;
}

// QEMU's option syntax ends a value at a single comma; a doubled one stands for the comma itself.
QString escapedCommas(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char(','), QStringLiteral(",,"));
    return escaped;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Converting a store of a few megabytes takes well under a second; this only bounds a hang.
constexpr int ConvertTimeoutMs = 60000;

} // namespace

QStringList DescriptorFolders()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return {QStringLiteral("/usr/share/qemu/firmware"), QStringLiteral("/etc/qemu/firmware"),
            config + QLatin1String("/qemu/firmware")};
}

std::optional<Firmware> Choose(const QString& machine, bool secureBoot, const QStringList& folders,
                               QString* error)
{
    const QString machineName = concreteMachine(machine);
    std::optional<Firmware> needingSmm;
    const QMap<QString, QString> files = mergedDescriptors(folders);
    for (const QString& path : files) {
        const std::optional<Firmware> firmware = readDescriptor(path, machineName);
        if (!firmware)
            continue;
        if (secureBoot) {
            if (firmware->secureBoot && firmware->enrolledKeys)
                return firmware;
        } else if (!firmware->secureBoot) {
            if (!firmware->requiresSmm)
                return firmware;
            if (!needingSmm)
                needingSmm = firmware;
        }
    }
    if (needingSmm)
        return needingSmm;
    setError(error, secureBoot
                        ? QStringLiteral("No UEFI firmware with Secure Boot for this machine "
                                         "was found; please install the package ovmf.")
                        : QStringLiteral("No UEFI firmware for this machine was found; "
                                         "please install the package ovmf."));
    return std::nullopt;
}

bool MakeVariableStore(const QString& qemuImg, const Firmware& firmware, const QString& destination,
                       QString* error)
{
    const QFileInfo target(destination);
    if (target.exists() || target.isSymLink()) {
        setError(error, QStringLiteral("The variable store %1 already exists.").arg(destination));
        return false;
    }
    // Made under a hidden name beside the destination and renamed when complete, so that a failed
    // conversion leaves nothing at the destination. The temporary file is created 0600 and
    // qemu-img writes into it without changing that.
    QTemporaryFile partial(target.absolutePath() + QLatin1String("/.") + target.fileName() +
                           QLatin1String(".XXXXXX"));
    if (!partial.open()) {
        setError(error, QStringLiteral("The variable store cannot be made in %1: %2.")
                            .arg(target.absolutePath(), partial.errorString()));
        return false;
    }
    partial.close();

    QProcess convert;
    convert.setStandardInputFile(QProcess::nullDevice());
    convert.start(qemuImg, {QStringLiteral("convert"), QStringLiteral("-q"), QStringLiteral("-f"),
                            firmware.varsFormat, QStringLiteral("-O"), StoreFormat,
                            firmware.varsTemplate, partial.fileName()});
    if (!convert.waitForStarted()) {
        setError(
            error,
            QStringLiteral("%1 could not be started: %2.").arg(qemuImg, convert.errorString()));
        return false;
    }
    if (!convert.waitForFinished(ConvertTimeoutMs)) {
        convert.kill();
        convert.waitForFinished();
        setError(error,
                 QStringLiteral("%1 did not finish making the variable store.").arg(qemuImg));
        return false;
    }
    if (convert.exitStatus() != QProcess::NormalExit || convert.exitCode() != 0) {
        const QString output = QString::fromLocal8Bit(convert.readAllStandardError()).trimmed();
        setError(error, QStringLiteral("The variable store could not be made from %1: %2")
                            .arg(firmware.varsTemplate, output));
        return false;
    }
    QFile::setPermissions(partial.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    // Renaming never replaces a file that appeared meanwhile.
    if (!QFile::rename(partial.fileName(), destination)) {
        setError(error, QStringLiteral("The variable store %1 already exists or cannot be written.")
                            .arg(destination));
        return false;
    }
    partial.setAutoRemove(false);
    return true;
}

QString QemuOptions(const Firmware& firmware, const QString& varsFile)
{
    const QString codeFormat =
        firmware.codeFormat.isEmpty() ? QStringLiteral("raw") : firmware.codeFormat;
    QString options = QStringLiteral(" -drive \"if=pflash,unit=0,readonly=on,format=%1,file=%2\"")
                          .arg(codeFormat, escapedCommas(firmware.code)) +
                      QStringLiteral(" -drive \"if=pflash,unit=1,format=%1,file=%2\"")
                          .arg(StoreFormat, escapedCommas(varsFile));
    // Firmware built for SMM keeps the variable store writable from SMM only, so that a guest
    // cannot change the Secure Boot keys behind the firmware's back.
    if (firmware.requiresSmm)
        options += QStringLiteral(" -global driver=cfi.pflash01,property=secure,value=on");
    return options;
}

} // namespace FirmwareChoice
