#pragma once

#include <QDialog>

#include <functional>

class QAction;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QemuVersionEditDialog;
class TableHandle;
class VersionRegistry;

// "Qemu Version Control": the version definitions as a tree sorted by description, the settings
// of the selected one, and adding, editing and deleting definitions. A definition some VM uses
// cannot be deleted.
class VersionControlWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionControlWindow)

public:
    // versions: the main window's version handle, open while the window is; registry: for the
    // scan of the VMs that use a version.
    VersionControlWindow(TableHandle& versions, VersionRegistry& registry,
                         QWidget* parent = nullptr);

    // The package download offered by "Add New". It may finish later (the package list arrives in
    // the background); once its install window has closed it calls ShowVersion with the package's
    // description. Unset: "Yes" does nothing.
    std::function<void()> downloadPackage;

    // Opens the version table, shows the window modally, and closes the table afterwards.
    int run();
    // Builds the tree and selects the first version, showing its details.
    void ShowVersions();
    // Builds the tree, then selects the first version whose description is given and shows it.
    void ShowVersion(const QString& description);

    QTreeWidget* tree() const { return m_tree; }
    QTreeWidget* details() const { return m_details; }
    bool detailsShown() const;
    QemuVersionEditDialog& editor() const { return *m_editor; }
    QAction* addAction() const { return m_add; }
    QAction* deleteAction() const { return m_delete; }
    QAction* editAction() const { return m_edit; }

    void AddNewClick();
    void EditSelectedClick();
    void DeleteSelectedClick();
    void TVClick(QTreeWidgetItem* item);

private:
    void buildTree();
    QTreeWidgetItem* root() const;
    void selectNode(QTreeWidgetItem* node);
    void showDetails(const QString& id);
    QString selectedId() const;
    void reportError(const QString& error);

    TableHandle& m_versions;
    VersionRegistry& m_registry;
    QTreeWidget* m_tree = nullptr;
    QTreeWidget* m_details = nullptr;
    QLabel* m_hint = nullptr;
    QAction* m_add = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_edit = nullptr;
    QemuVersionEditDialog* m_editor = nullptr;
};
