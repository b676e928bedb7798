#pragma once

#include <QDialog>
#include <QIcon>

#include <optional>

class QTreeWidget;
class TableHandle;
struct StoreLists;

// The desktop's folder picker with the title as its prompt; nothing when the user cancels.
std::optional<QString> BrowseForFolder(QWidget* parent, const QString& title);

// The "VM Stores" window: the stores of the store table, added, renamed and moved, and removed.
// It changes the table and the store lists only; the folders and their files are never touched.
class VMStoresWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VMStoresWindow)

public:
    // stores: the main window's handle on the store table, kept open; lists: the store lists.
    VMStoresWindow(TableHandle& stores, StoreLists& lists, QWidget* parent = nullptr);

    void setStoreIcon(const QIcon& icon) { m_storeIcon = icon; }
    // Fills the list from the table; a table without rows leaves it as it was.
    void refill();
    QTreeWidget* list() const { return m_list; }

    void AddNewClick();
    void EditSelectedClick();
    void DeleteSelectedClick();

private:
    QString selectedId() const;
    bool hasSelection() const;
    void afterChange();
    void reportError(const QString& error);

    TableHandle& m_stores;
    StoreLists& m_lists;
    QTreeWidget* m_list = nullptr;
    QIcon m_storeIcon;
};
