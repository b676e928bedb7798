#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

// The "Use Physical Drive" window of a hard disk: the host's disks that can be opened, and a
// button to the desktop's disk-management tool.
class PhysicalDiskDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhysicalDiskDialog)

public:
    explicit PhysicalDiskDialog(QWidget* parent = nullptr);

    // Fills the list; no entry is chosen yet.
    void start(const QStringList& entries);
    // The chosen entry's text; empty when none is chosen.
    QString chosenEntry() const;

    QComboBox* diskList() const { return m_disks; }
    QPushButton* diskManagementButton() const { return m_diskManagement; }

signals:
    void diskManagementRequested();

private:
    QComboBox* m_disks = nullptr;
    QPushButton* m_diskManagement = nullptr;
};
