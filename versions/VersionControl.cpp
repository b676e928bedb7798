#include "versions/VersionControl.h"

#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/VMFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace VersionControl {

namespace {

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

const QString VERSION = QStringLiteral("VERSION");
const QString DESC = QStringLiteral("DESC");
const QString PATH = QStringLiteral("PATH");
const QString INT = QStringLiteral("INT");
const QString USB = QStringLiteral("USB");
const QString DEFAULT = QStringLiteral("DEFAULT");
const QString KQEMU = QStringLiteral("KQEMU");
const QString FMOD = QStringLiteral("FMOD");
const QString ID = QStringLiteral("ID");
const QString BT = QStringLiteral("BT");
const QString VERID = QStringLiteral("VERID");
const QString CONSOLE = QStringLiteral("CONSOLE");

constexpr int IdLength = 50;
constexpr int NewerGeneration = 0;  // "QEMU 0.12 and above": no KQEMU, no monitor by default
constexpr int ModernGeneration = 3; // "QEMU 7.2 and above": no KQEMU; its monitor is private
constexpr int PresetGeneration = 1;

bool ready(TableHandle& versions, QString* error)
{
    return versions.isOpen() || versions.open(error);
}

// Calls visit for every row in record order until it returns false. An empty table is not
// visited: its "current row" would read as a row of empty fields.
template <typename Visit>
void walk(TableHandle& versions, Visit visit)
{
    versions.first();
    if (versions.isEmpty())
        return;
    for (; !versions.eof(); versions.next()) {
        if (!visit())
            return;
    }
}

// Leaves the handle on the first row whose ID is id; false when there is none.
bool seek(TableHandle& versions, const QString& id)
{
    bool found = false;
    walk(versions, [&] {
        found = versions.fieldValue(ID) == id;
        return !found;
    });
    return found;
}

VersionRow currentRow(const TableHandle& versions)
{
    return {versions.fieldValue(VERSION), versions.fieldValue(DESC),  versions.fieldValue(PATH),
            versions.fieldValue(INT),     versions.fieldValue(USB),   versions.fieldValue(DEFAULT),
            versions.fieldValue(KQEMU),   versions.fieldValue(FMOD),  versions.fieldValue(ID),
            versions.fieldValue(BT),      versions.fieldValue(VERID), versions.fieldValue(CONSOLE)};
}

QString flag(bool on)
{
    return on ? Yes : No;
}

// The fields the dialog owns, for a row being inserted or edited.
void writeForm(TableHandle& versions, const VersionForm& form)
{
    const int version = std::clamp(form.version, 0, int(VersionNames().size()) - 1);
    versions.setFieldValue(DESC, form.description);
    versions.setFieldValue(PATH, form.path);
    versions.setFieldValue(VERSION, VersionNames().at(version));
    versions.setFieldValue(VERID, QString::number(version));
    versions.setFieldValue(KQEMU, flag(form.kqemu));
    versions.setFieldValue(USB, flag(form.usb));
    versions.setFieldValue(INT, flag(form.integrated));
    versions.setFieldValue(FMOD, flag(form.fmod));
    versions.setFieldValue(CONSOLE, flag(form.console));
    versions.setFieldValue(BT, flag(form.bluetooth));
    versions.setFieldValue(DEFAULT, flag(form.isDefault));
}

// A row that is not there is not a failure of the table, unless reading the table failed; false
// either way, with the table's last error.
bool fail(const TableHandle& versions, QString* error)
{
    if (error)
        *error = versions.lastError();
    return false;
}

} // namespace

QStringList VersionNames()
{
    return {QStringLiteral("QEMU 0.12 and above"), QStringLiteral("QEMU 0.11.x"),
            QStringLiteral("QEMU 0.10.x"), QStringLiteral("QEMU 7.2 and above")};
}

QString RootData()
{
    return QStringLiteral("TOP");
}

QList<VersionNode> VersionTree(TableHandle& versions)
{
    QList<VersionNode> nodes;
    if (!ready(versions, nullptr))
        return nodes;
    walk(versions, [&] {
        nodes.append({versions.fieldValue(DESC), versions.fieldValue(ID)});
        return true;
    });
    std::stable_sort(nodes.begin(), nodes.end(), [](const VersionNode& a, const VersionNode& b) {
        const int folded = a.text.compare(b.text, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.text < b.text;
    });
    return nodes;
}

std::optional<VersionRow> FindVersion(TableHandle& versions, const QString& id)
{
    if (!ready(versions, nullptr) || !seek(versions, id))
        return std::nullopt;
    return currentRow(versions);
}

QList<std::pair<QString, QString>> VersionDetails(const VersionRow& row)
{
    return {{QStringLiteral("Description"), row.description},
            {QStringLiteral("Version"), row.version},
            {QStringLiteral("Path"), row.path},
            {QStringLiteral("Integrated Display"), row.integrated},
            {QStringLiteral("USB Support"), row.usb},
            {QStringLiteral("KQEMU Support"), row.kqemu},
            {QStringLiteral("FMOD Support"), row.fmod},
            {QStringLiteral("Bluetooth Support"), row.bluetooth},
            {QStringLiteral("Vimor Monitor Support"), row.console},
            {QStringLiteral("Default"), row.isDefault}};
}

VersionForm NewVersionForm()
{
    VersionForm form;
    form.version = PresetGeneration;
    form.usb = true;
    form.kqemu = true;
    form.console = true;
    return form;
}

VersionForm FormFromRow(const VersionRow& row)
{
    VersionForm form;
    bool ok = false;
    const int code = row.code.trimmed().toInt(&ok);
    form.version = ok && code >= 0 && code < VersionNames().size() ? code : PresetGeneration;
    form.description = row.description;
    form.path = row.path;
    form.integrated = row.integrated == Yes;
    form.usb = row.usb == Yes;
    form.kqemu = row.kqemu == Yes && KqemuAllowed(form.version);
    form.fmod = row.fmod == Yes;
    form.isDefault = row.isDefault == Yes;
    form.bluetooth = row.bluetooth == Yes;
    form.console = row.console == Yes;
    return form;
}

bool KqemuAllowed(int version)
{
    return version != NewerGeneration && version != ModernGeneration;
}

void ChooseVersion(VersionForm& form, int version)
{
    form.version = version;
    if (!KqemuAllowed(version))
        form.kqemu = false;
    // Today's QEMU keeps its monitor on a socket only this user can reach, so it stays offered.
    form.console = version != NewerGeneration;
}

std::optional<QString> AddVersion(TableHandle& versions, const VersionForm& form, QString* error)
{
    if (!ready(versions, error))
        return std::nullopt;
    const QString id = RandomId(IdLength);
    versions.insert();
    versions.setFieldValue(ID, id);
    writeForm(versions, form);
    if (!versions.post(error))
        return std::nullopt;
    if (!ApplyDefault(versions, versions.recordNumber(), form.isDefault, error))
        return std::nullopt;
    return id;
}

bool UpdateVersion(TableHandle& versions, const QString& id, const VersionForm& form,
                   QString* error)
{
    if (!ready(versions, error))
        return false;
    if (!seek(versions, id))
        return fail(versions, error);
    versions.edit();
    if (!versions.lastError().isEmpty())
        return fail(versions, error);
    writeForm(versions, form);
    if (!versions.post(error))
        return false;
    return ApplyDefault(versions, versions.recordNumber(), form.isDefault, error);
}

bool DeleteVersion(TableHandle& versions, const QString& id, QString* error)
{
    if (!ready(versions, error))
        return false;
    if (!seek(versions, id))
        return versions.lastError().isEmpty() || fail(versions, error);
    return versions.deleteRow(error);
}

bool ApplyDefault(TableHandle& versions, int recordNumber, bool setAsDefault, QString* error)
{
    if (!setAsDefault)
        return true;
    if (!ready(versions, error))
        return false;
    bool ok = true;
    walk(versions, [&] {
        if (versions.recordNumber() == recordNumber || versions.fieldValue(DEFAULT) == No)
            return true;
        versions.edit();
        versions.setFieldValue(DEFAULT, No);
        ok = versions.post(error);
        return ok;
    });
    return ok;
}

QString QemuFolder()
{
    return ProgramFolder::nativeExpanded(QStringLiteral("{VR}\\qemu"));
}

QStringList QemuSubfolders()
{
    QDir folder(QemuFolder());
    QStringList names =
        folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

QString QemuChooserFolder(const QString& subfolder)
{
    return subfolder.isEmpty() ? QemuFolder() : QDir(QemuFolder()).filePath(subfolder);
}

QStringList QemuPrograms(const QString& folder)
{
    QStringList names;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().compare(QStringLiteral("exe"), Qt::CaseInsensitive) == 0 ||
            entry.isExecutable())
            names.append(entry.fileName());
    }
    return names;
}

QString PortableQemuPath(const QString& subfolder)
{
    const QString root = QStringLiteral("{VR}\\qemu");
    return subfolder.isEmpty() ? root : root + QLatin1Char('\\') + subfolder;
}

} // namespace VersionControl
