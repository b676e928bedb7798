#pragma once

#include "launch/Snapshots.h"

#include <QDialog>
#include <QList>

class ImageStrip;
class QTreeWidget;

// The window "Snapshots": a read-only list of a disk's snapshots with "OK" and "Cancel";
// double-clicking a row is the same as "OK".
class SnapshotsWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SnapshotsWindow)

public:
    explicit SnapshotsWindow(QWidget* parent = nullptr);
    ~SnapshotsWindow() override;

    // Replaces the rows; each row shows picture 31 of the strip. Leaves no row selected.
    void setRows(const QList<SnapshotRow>& rows, const ImageStrip& pictures);
    const QList<SnapshotRow>& rows() const { return m_rows; }
    // The selected row's position, -1 when none.
    int selectedRow() const;
    void selectRow(int row);
    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list = nullptr;
    QList<SnapshotRow> m_rows;
};
