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

    // The window of the last listing; null before the first one.
    SnapshotsWindow* window() const;

private:
    // Runs the command to its end, its output lines going to the log and to m_output; false when
    // it could not be started.
    bool runListing(const QString& program, const QStringList& arguments,
                    const QString& workingFolder);

    VMContext& m_vm;
    QWidget* m_parent = nullptr;
    QPointer<SnapshotsWindow> m_window;
    QStringList m_output;
    // The VM the last listing was made for: the choice is written there even when the selection
    // moved while the tool ran.
    QString m_vmFile;
    bool m_listing = false;
};
