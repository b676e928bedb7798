#pragma once

#include <QString>

class QWidget;
class TableHandle;
class VersionRegistry;
struct ImageLibrary;
struct StartSettings;

// What the editors and commands of a VM need from the main window: the selected VM, its file, the
// tables, the version registry, and a refresh of the settings view afterwards.
class VMContext
{
public:
    enum class Table
    {
        OpSys,
        Process,
        ScanProc,
        VMStore,
        VLookup,
        VRVers,
        VerLookup
    };

    virtual ~VMContext() = default;

    // The selected VM's definition file and name; empty when no VM is selected.
    virtual QString selectedVM() const = 0;
    virtual QString selectedVMName() const = 0;
    virtual QString ReadVMValue(const QString& section, const QString& key) const = 0;
    // Writes to the file at path, or to the selected VM's file when path is empty; a failure is
    // reported to the user and returns false.
    virtual bool WriteVMValue(const QString& path, const QString& section, const QString& key,
                              const QString& value) = 0;
    virtual VersionRegistry& versions() = 0;
    virtual TableHandle& table(Table which) = 0;
    virtual const StartSettings& startSettings() const = 0;
    // Rebuilds the three settings lists of the selected VM.
    virtual void ShowSettings() = 0;
    // The window dialogs stand in front of, and the pictures of the lists.
    virtual QWidget* dialogParent() = 0;
    virtual const ImageLibrary& images() const = 0;
    // The log view of the "Hardware" tab, where the output of the programs run for the VM lands.
    virtual void ClearLog() {}
    virtual void AppendLog(const QString& /*line*/) {}
};
