#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class TableHandle;

// The three parallel lists of the stores, entry i of each describing the same row of the store
// table, in record order.
struct StoreLists
{
    QStringList names;   // DSNAME
    QStringList folders; // PATH as stored, "{VR}" not expanded
    QStringList ids;     // DSID
};

// Rebuilds the lists from the table (walking it from the first row) and leaves it on its first
// row. create: start from new lists rather than emptying the existing ones.
void LoadStoreLists(TableHandle& stores, StoreLists& lists, bool create);

// A store's PATH with a leading "{VR}" (exact case) replaced by the program folder, as a native
// folder.
QString ExpandedStoreFolder(const QString& storedPath);

// The expanded folder of the store whose DSID is id, found through the lookup handle with a
// "DSID = " filter; nullopt when no row has it. The lookup handle is closed and unfiltered after.
std::optional<QString> FindVMStore(TableHandle& lookup, const QString& storeId);

// Appends a store with a new 20-character identifier; returns the identifier, or nullopt with the
// reason when the row could not be written.
std::optional<QString> AddStore(TableHandle& stores, const QString& name, const QString& folder,
                                QString* error = nullptr);

// The VM definition files directly in one store folder: regular files whose name ends in ".vm2"
// in any case, hidden ones included, in the folder's own order. A missing folder gives none.
QStringList ListVMFiles(const QString& expandedFolder);

// Every VM definition file of every store, store by store in the table's record order; a folder
// registered twice is listed twice.
QStringList LibraryScan(TableHandle& stores);

// The VM's name: the file name without its last four characters (".vm2").
QString VMNameOf(const QString& vmFile);

// True when a store folder holds "<name>.vm2", compared without regard to case.
bool VMNameExists(TableHandle& stores, const QString& name);
