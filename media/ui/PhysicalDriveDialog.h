#pragma once

#include <QDialog>

class QComboBox;

// The "Select Physical Drive" window of a floppy or the CD: the host's drive letters of that kind.
class PhysicalDriveDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhysicalDriveDialog)

public:
    explicit PhysicalDriveDialog(QWidget* parent = nullptr);

    // Fills the list with the letters (letter and colon) and chooses the first.
    void start(const QStringList& letters);
    // The chosen letter and colon; empty when none is chosen.
    QString chosenDrive() const;

    QComboBox* driveList() const { return m_drives; }

private:
    QComboBox* m_drives = nullptr;
};
