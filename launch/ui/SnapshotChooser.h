#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;
class SnapshotsWindow;
class VMContext;

// Lists the snapshots of the selected VM's hard disk 0 with its version's qemu-img and stores the
// one chosen for the next start.
class SnapshotChooser final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SnapshotChooser)

public:
    SnapshotChooser(VMContext& vm, QWidget* parent);
    ~SnapshotChooser() override;

    // Runs the tool, its output going line by line to the context's log view, and fills the
    // window. False when the tool could not be started (the error has been shown).
    bool ListSnapshots();
    // The drive editor's "Snapshot" row.
    void ChooseSnapshot();

    SnapshotsWindow* window() const { return m_window; }

private:
    VMContext& m_vm;
    QPointer<SnapshotsWindow> m_window;
};
