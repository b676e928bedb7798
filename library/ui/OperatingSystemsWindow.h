#pragma once

#include <QDialog>

class ProfileEditorDialog;
class QTreeWidget;
class QTreeWidgetItem;
class TableHandle;

// The "Operating Systems" window: the profiles of "opsys.dat", added, changed (double-click) and
// deleted. Names need not be unique; a change or deletion acts on the first row of that name.
class OperatingSystemsWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OperatingSystemsWindow)

public:
    // opsys: the main window's handle on the profile table, kept open.
    OperatingSystemsWindow(TableHandle& opsys, QWidget* parent = nullptr);

    // Fills the list from the table, one row per profile; an empty table empties it.
    void refill();
    QTreeWidget* list() const { return m_list; }
    ProfileEditorDialog& editor() const { return *m_editor; }

    void AddNewClick();
    void DeleteSelectedClick();
    void ListDblClick(QTreeWidgetItem* item);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reportError(const QString& error);

    TableHandle& m_opsys;
    QTreeWidget* m_list = nullptr;
    ProfileEditorDialog* m_editor = nullptr;
};
