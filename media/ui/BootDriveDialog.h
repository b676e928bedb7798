#pragma once

#include <QDialog>

class QComboBox;

// The "Boot Options" window of QEMU versions that boot from one drive.
class BootDriveDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BootDriveDialog)

public:
    explicit BootDriveDialog(QWidget* parent = nullptr);

    void start(int position);
    int position() const;

    QComboBox* driveList() const { return m_drives; }

private:
    QComboBox* m_drives = nullptr;
};
