#pragma once

#include <QString>
#include <QStringList>

class TableHandle;

// The installed QEMU versions (the version table), looked up by a version's identifier.
// Walks use the version handle; lookups by identifier use the lookup handle with an "ID = "
// filter and leave it closed and unfiltered.
class VersionRegistry final
{
public:
    // versions: kept open by walks; lookup: opened for one lookup; stores: for the VM scan.
    VersionRegistry(TableHandle& versions, TableHandle& lookup, TableHandle& stores);

    struct Version
    {
        QString description; // DESC
        QString id;          // ID
    };
    // The first row whose DEFAULT is exactly "Yes"; both empty when there is none.
    Version DefaultVersion();
    QString VersionPath(const QString& id);
    // True when the row exists and the field (INT, USB, KQEMU, FMOD, BT, CONSOLE) is exactly "Yes".
    bool VersionFlag(const QString& id, const QString& field);
    // VERID as text; empty for an empty identifier (no lookup) or an unknown one.
    QString VersionCode(const QString& id);
    // A version's path, VERID and flags read in one look-up, for a burst of questions about it
    // (a command line). Answers as VersionPath, VersionCode and VersionFlag would at that moment.
    struct Row
    {
        QString path;
        QString code;
        QStringList yes; // the flag fields that are exactly "Yes"
        bool flag(const QString& field) const { return yes.contains(field); }
    };
    Row VersionRow(const QString& id);
    // 0 for an unknown identifier, -1 for an empty VERID, else VERID as a number.
    int VersionCodeNumber(const QString& id);
    // True when some VM of some store names the identifier (exact case).
    bool ScanQemuVer(const QString& id);
    // VersionPath as a folder prefix in stored form, ending in a backslash ("\" when unknown).
    QString VersionFolder(const QString& id);

    // The executable that runs the VM of the given definition file, as a native path; the version
    // folder alone when the catalogue has no program for its architecture and word size.
    QString VMExecutable(const QString& vmFile);

private:
    // Runs fn on the row with the identifier; false when there is none.
    template <typename Fn>
    bool lookup(const QString& id, Fn fn);

    TableHandle& m_versions;
    TableHandle& m_lookup;
    TableHandle& m_stores;
};
