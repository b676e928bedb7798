#include "media/DriveValues.h"

#include "library/VMStores.h"
#include "model/ProgramFolder.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString MediaValuePrefix = QStringLiteral("{VR}\\media\\");

// A folder for comparing: absolute, clean, without trailing separators.
QString comparable(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

// Folder names compare without regard to case; a folder reached through a link counts as the
// folder it leads to.
bool sameFolder(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (comparable(a).compare(comparable(b), Qt::CaseInsensitive) == 0)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    const QString canonicalB = QFileInfo(b).canonicalFilePath();
    return !canonicalA.isEmpty() && !canonicalB.isEmpty() &&
           canonicalA.compare(canonicalB, Qt::CaseInsensitive) == 0;
}

} // namespace

bool HasFolderPart(const QString& value)
{
    return value.contains(QLatin1Char('\\')) || value.contains(QLatin1Char('/')) ||
           value.contains(QLatin1Char(':'));
}

QString ResolveDrivePath(const QString& value, TableHandle& storeLookup, const QString& storeId)
{
    return ResolveDrivePath(value, [&] { return FindVMStore(storeLookup, storeId); });
}

QString ResolveDrivePath(const QString& value,
                         const std::function<std::optional<QString>()>& storeFolder)
{
    if (HasFolderPart(value))
        return value;
    // An empty value (or one naming a folder, not a file) would otherwise resolve to the store
    // folder itself, which callers hand to QEMU or delete.
    if (value.isEmpty() || value == QLatin1String(".") || value == QLatin1String(".."))
        return {};
    const std::optional<QString> folder = storeFolder();
    if (!folder)
        return {};
    QString joined = *folder;
    while (joined.size() > 1 && joined.endsWith(QLatin1Char('/')))
        joined.chop(1);
    if (!joined.endsWith(QLatin1Char('/')))
        joined += QLatin1Char('/');
    return FileSystem::matchCase(joined + value);
}

QString MediaFolder()
{
    return ProgramFolder::nativeExpanded(QStringLiteral("{VR}\\Media"));
}

QString MediaValueFor(const QString& chosenFile)
{
    if (chosenFile.isEmpty())
        return {};
    const QFileInfo file(chosenFile);
    if (sameFolder(file.absolutePath(), MediaFolder()))
        return MediaValuePrefix + file.fileName();
    return chosenFile;
}

QString StoredPathFor(const QString& chosenFile, const QString& startFolder)
{
    if (chosenFile.isEmpty())
        return {};
    const QFileInfo file(chosenFile);
    if (sameFolder(file.absolutePath(), startFolder))
        return file.fileName();
    return chosenFile;
}
