#include "library/VMStores.h"

#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/VMFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

const QString DSNAME = QStringLiteral("DSNAME");
const QString DSID = QStringLiteral("DSID");
const QString PATH = QStringLiteral("PATH");
const QString Extension = QStringLiteral(".vm2");

// Runs body for every row of the table in record order. On a table without rows it runs nothing:
// the stores of an empty table are none, not one empty store.
template <typename Body>
void forEachRow(TableHandle& table, Body body)
{
    if (!table.isOpen() && !table.open())
        return;
    table.first();
    while (!table.isEmpty() && !table.eof()) {
        body();
        table.next();
    }
}

} // namespace

void LoadStoreLists(TableHandle& stores, StoreLists& lists, bool create)
{
    if (create)
        lists = StoreLists();
    lists.names.clear();
    lists.folders.clear();
    lists.ids.clear();
    forEachRow(stores, [&] {
        lists.names.append(stores.fieldValue(DSNAME));
        lists.folders.append(stores.fieldValue(PATH));
        lists.ids.append(stores.fieldValue(DSID));
    });
    stores.first();
}

QString ExpandedStoreFolder(const QString& storedPath)
{
    return ProgramFolder::nativeExpanded(storedPath);
}

std::optional<QString> FindVMStore(TableHandle& lookup, const QString& storeId)
{
    lookup.close();
    lookup.setFilter(TableHandle::equalsFilter(DSID, storeId));
    lookup.setFiltered(true);
    std::optional<QString> folder;
    if (lookup.open() && !lookup.isEmpty())
        folder = ExpandedStoreFolder(lookup.fieldValue(PATH));
    lookup.close();
    lookup.setFilter(QString());
    lookup.setFiltered(false);
    return folder;
}

std::optional<QString> AddStore(TableHandle& stores, const QString& name, const QString& folder,
                                QString* error)
{
    if (!stores.isOpen() && !stores.open(error))
        return std::nullopt;
    const QString id = RandomId(20);
    stores.insert();
    stores.setFieldValue(DSNAME, name);
    stores.setFieldValue(PATH, folder);
    stores.setFieldValue(DSID, id);
    if (!stores.post(error))
        return std::nullopt;
    return id;
}

QStringList ListVMFiles(const QString& expandedFolder)
{
    QStringList files;
    if (expandedFolder.isEmpty())
        return files;
    QDirIterator it(expandedFolder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.fileName().endsWith(Extension, Qt::CaseInsensitive) && info.isFile())
            files.append(info.filePath());
    }
    return files;
}

QStringList LibraryScan(TableHandle& stores)
{
    QStringList files;
    forEachRow(stores, [&] { files += ListVMFiles(ExpandedStoreFolder(stores.fieldValue(PATH))); });
    return files;
}

QString VMNameOf(const QString& vmFile)
{
    const QString fileName = QFileInfo(vmFile).fileName();
    return fileName.left(fileName.size() - 4);
}

bool VMNameExists(TableHandle& stores, const QString& name)
{
    const QString wanted = name + Extension;
    const QStringList files = LibraryScan(stores);
    for (const QString& file : files)
        if (QFileInfo(file).fileName().compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
