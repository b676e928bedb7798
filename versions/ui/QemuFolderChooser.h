#pragma once

#include <QDialog>

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

// "Select QEMU Executable": the program's QEMU folder ("Vimor") and its subfolders, with the
// programs of the selected one. Gives back the portable path of the folder shown.
class QemuFolderChooser final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QemuFolderChooser)

public:
    explicit QemuFolderChooser(QWidget* parent = nullptr);

    // Rebuilds the tree from the QEMU folder and selects its root.
    void refill();
    // "{VR}\qemu", or "{VR}\qemu\" and the selected subfolder's name.
    QString portablePath() const;

    QTreeWidget* tree() const { return m_tree; }
    QListWidget* files() const { return m_files; }

private:
    void TVChange(QTreeWidgetItem* item);

    QTreeWidget* m_tree = nullptr;
    QListWidget* m_files = nullptr;
};
