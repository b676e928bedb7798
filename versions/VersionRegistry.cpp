#include "versions/VersionRegistry.h"

#include "library/VMStores.h"
#include "model/HardwareCatalogue.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/VMFile.h"

namespace {

const QString Yes = QStringLiteral("Yes");
const QString Macro = QStringLiteral("{VR}");

} // namespace

VersionRegistry::VersionRegistry(TableHandle& versions, TableHandle& lookup, TableHandle& stores)
    : m_versions(versions), m_lookup(lookup), m_stores(stores)
{}

template <typename Fn>
bool VersionRegistry::lookup(const QString& id, Fn fn)
{
    m_lookup.close();
    m_lookup.setFilter(TableHandle::equalsFilter(QStringLiteral("ID"), id));
    m_lookup.setFiltered(true);
    bool found = false;
    if (m_lookup.open() && !m_lookup.isEmpty()) {
        fn(m_lookup);
        found = true;
    }
    m_lookup.close();
    m_lookup.setFilter(QString());
    m_lookup.setFiltered(false);
    return found;
}

VersionRegistry::Version VersionRegistry::DefaultVersion()
{
    if (!m_versions.isOpen() && !m_versions.open())
        return {};
    for (m_versions.first(); !m_versions.isEmpty() && !m_versions.eof(); m_versions.next()) {
        if (m_versions.fieldValue(QStringLiteral("DEFAULT")) == Yes)
            return {m_versions.fieldValue(QStringLiteral("DESC")),
                    m_versions.fieldValue(QStringLiteral("ID"))};
    }
    return {};
}

QString VersionRegistry::VersionPath(const QString& id)
{
    QString path;
    lookup(id, [&path](TableHandle& row) { path = row.fieldValue(QStringLiteral("PATH")); });
    return path;
}

bool VersionRegistry::VersionFlag(const QString& id, const QString& field)
{
    bool on = false;
    lookup(id, [&](TableHandle& row) { on = row.fieldValue(field) == Yes; });
    return on;
}

VersionRegistry::Row VersionRegistry::VersionRow(const QString& id)
{
    Row result;
    lookup(id, [&](TableHandle& row) {
        result.path = row.fieldValue(QStringLiteral("PATH"));
        if (!id.isEmpty())
            result.code = row.fieldValue(QStringLiteral("VERID"));
        for (const char* field : {"INT", "USB", "KQEMU", "FMOD", "BT", "CONSOLE"}) {
            const QString name = QString::fromLatin1(field);
            if (row.fieldValue(name) == Yes)
                result.yes.append(name);
        }
    });
    return result;
}

QString VersionRegistry::VersionCode(const QString& id)
{
    if (id.isEmpty())
        return {};
    QString code;
    lookup(id, [&code](TableHandle& row) { code = row.fieldValue(QStringLiteral("VERID")); });
    return code;
}

int VersionRegistry::VersionCodeNumber(const QString& id)
{
    QString code;
    if (!lookup(id, [&code](TableHandle& row) { code = row.fieldValue(QStringLiteral("VERID")); }))
        return 0;
    if (code.isEmpty())
        return -1;
    // A code that is no number is treated like an unknown generation rather than failing.
    bool ok = false;
    const int number = code.trimmed().toInt(&ok);
    return ok ? number : -1;
}

bool VersionRegistry::ScanQemuVer(const QString& id)
{
    const QStringList files = LibraryScan(m_stores);
    for (const QString& file : files)
        if (ReadVMFileValue(file, QStringLiteral("General"), QStringLiteral("Qemu Version ID")) ==
            id)
            return true;
    return false;
}

QString VersionRegistry::VersionFolder(const QString& id)
{
    const QString path = VersionPath(id);
    if (path.startsWith(Macro))
        return ProgramFolder::path() + QLatin1Char('\\') + path.mid(5) + QLatin1Char('\\');
    return path + QLatin1Char('\\');
}

QString VersionRegistry::VMExecutable(const QString& vmFile)
{
    const QString arc = ReadVMFileValue(vmFile, QStringLiteral("General"), QStringLiteral("Arc"));
    const QString cpuArc =
        ReadVMFileValue(vmFile, QStringLiteral("Hardware"), QStringLiteral("CPUArc"));
    const int index = cpuArc == QStringLiteral("32 Bit")   ? 0
                      : cpuArc == QStringLiteral("64 Bit") ? 1
                                                           : -1;
    const QString name = QemuExeName(index, arc);
    const QString id =
        ReadVMFileValue(vmFile, QStringLiteral("General"), QStringLiteral("Qemu Version ID"));
    const QString folder = ProgramFolder::nativeExpanded(VersionFolder(id));
    // Without a program for the word size the path is the bare folder: its start fails and is
    // reported, and the last launch shows which folder was tried.
    if (name.isEmpty())
        return folder;
    return ResolveQemuExecutable(folder, name);
}
