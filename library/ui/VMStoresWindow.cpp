#include "library/ui/VMStoresWindow.h"

#include "library/VMStores.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "platform/ui/Interaction.h"

#include <QHeaderView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString DSNAME = QStringLiteral("DSNAME");
const QString DSID = QStringLiteral("DSID");
const QString PATH = QStringLiteral("PATH");
constexpr int IdRole = Qt::UserRole;

// A short-lived handle on the store table showing only the rows with the identifier.
void openById(TableHandle& handle, const QString& id)
{
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    handle.setFilter(TableHandle::equalsFilter(DSID, id));
    handle.setFiltered(true);
    handle.open();
}

} // namespace

std::optional<QString> BrowseForFolder(QWidget* parent, const QString& title)
{
    return Interaction::current().folder(parent, title, QString());
}

VMStoresWindow::VMStoresWindow(TableHandle& stores, StoreLists& lists, QWidget* parent)
    : QDialog(parent), m_stores(stores), m_lists(lists)
{
    setWindowTitle(QStringLiteral("VM Stores"));
    resize(560, 320);
    auto* layout = new QVBoxLayout(this);
    auto* toolbar = new QToolBar(this);
    const auto addButton = [toolbar](const QString& hint, QStyle::StandardPixmap picture) {
        QAction* action = toolbar->addAction(toolbar->style()->standardIcon(picture), hint);
        action->setToolTip(hint);
        return action;
    };
    connect(addButton(QStringLiteral("Add New"), QStyle::SP_FileDialogNewFolder),
            &QAction::triggered, this, &VMStoresWindow::AddNewClick);
    connect(addButton(QStringLiteral("Delete Selected"), QStyle::SP_TrashIcon), &QAction::triggered,
            this, &VMStoresWindow::DeleteSelectedClick);
    toolbar->addSeparator();
    connect(addButton(QStringLiteral("Edit Selected"), QStyle::SP_FileDialogDetailedView),
            &QAction::triggered, this, &VMStoresWindow::EditSelectedClick);
    layout->addWidget(toolbar);

    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Path")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->resizeSection(0, 180);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &VMStoresWindow::EditSelectedClick);
    layout->addWidget(m_list);
}

void VMStoresWindow::refill()
{
    if (!m_stores.isOpen() && !m_stores.open())
        return;
    m_stores.first();
    if (m_stores.isEmpty())
        return;
    m_list->clear();
    for (; !m_stores.eof(); m_stores.next()) {
        auto* row =
            new QTreeWidgetItem(m_list, {m_stores.fieldValue(DSNAME), m_stores.fieldValue(PATH)});
        row->setIcon(0, m_storeIcon);
        row->setData(0, IdRole, m_stores.fieldValue(DSID));
    }
}

bool VMStoresWindow::hasSelection() const
{
    return m_list->currentItem() && m_list->currentItem()->isSelected();
}

QString VMStoresWindow::selectedId() const
{
    return hasSelection() ? m_list->currentItem()->data(0, IdRole).toString() : QString();
}

void VMStoresWindow::afterChange()
{
    LoadStoreLists(m_stores, m_lists, false);
    refill();
}

void VMStoresWindow::reportError(const QString& error)
{
    Interaction::error(this, error);
}

void VMStoresWindow::AddNewClick()
{
    const auto name =
        Interaction::current().text(this, QStringLiteral("VM Store Name"),
                                    QStringLiteral("Enter a name for the new VM Store"), QString());
    if (!name)
        return;
    const auto folder = BrowseForFolder(this, QStringLiteral("Select New VM Store Folder"));
    if (!folder)
        return;
    QString error;
    if (!AddStore(m_stores, *name, *folder, &error))
        reportError(error);
    afterChange();
}

void VMStoresWindow::EditSelectedClick()
{
    if (!hasSelection())
        return;
    TableHandle row;
    openById(row, selectedId());
    if (!row.isOpen() || row.isEmpty())
        return;
    if (row.fieldValue(DSID) == QStringLiteral("0")) {
        Interaction::warning(this, QStringLiteral("You cannot modify the default VM Store"));
        return;
    }
    const auto name =
        Interaction::current().text(this, QStringLiteral("VM Store Name"),
                                    QStringLiteral("VM Store Name ?"), row.fieldValue(DSNAME));
    if (!name)
        return;
    const auto folder = BrowseForFolder(this, QStringLiteral("Select VM Store Folder"));
    if (!folder)
        return;
    row.edit();
    row.setFieldValue(PATH, *folder);
    row.setFieldValue(DSNAME, *name);
    QString error;
    if (!row.post(&error))
        reportError(error);
    row.close();
    afterChange();
}

void VMStoresWindow::DeleteSelectedClick()
{
    if (!hasSelection())
        return;
    const QString id = selectedId();
    if (id == QStringLiteral("0") || id.isEmpty()) {
        Interaction::warning(this, QStringLiteral("You cannot delete the default VM Store"));
        return;
    }
    if (!Interaction::confirm(this, QStringLiteral("Are you sure you wish to delete this VM Store "
                                                   "(All Contents will not be deleted) ?")))
        return;
    TableHandle row;
    openById(row, id);
    if (row.isOpen() && !row.isEmpty()) {
        QString error;
        if (!row.deleteRow(&error))
            reportError(error);
    }
    row.close();
    afterChange();
}
