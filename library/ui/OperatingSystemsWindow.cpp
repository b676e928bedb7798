#include "library/ui/OperatingSystemsWindow.h"

#include "library/OsProfiles.h"
#include "library/ui/ProfileEditorDialog.h"
#include "model/TableHandle.h"
#include "platform/ui/Interaction.h"

#include <QHeaderView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

OperatingSystemsWindow::OperatingSystemsWindow(TableHandle& opsys, QWidget* parent)
    : QDialog(parent), m_opsys(opsys)
{
    setWindowTitle(QStringLiteral("Operating Systems"));
    resize(520, 320);
    auto* layout = new QVBoxLayout(this);
    auto* toolbar = new QToolBar(this);
    const auto addButton = [toolbar](const QString& hint, QStyle::StandardPixmap picture) {
        QAction* action = toolbar->addAction(toolbar->style()->standardIcon(picture), hint);
        action->setToolTip(hint);
        return action;
    };
    connect(addButton(QStringLiteral("Add New"), QStyle::SP_FileDialogNewFolder),
            &QAction::triggered, this, &OperatingSystemsWindow::AddNewClick);
    connect(addButton(QStringLiteral("Delete Selected"), QStyle::SP_TrashIcon), &QAction::triggered,
            this, &OperatingSystemsWindow::DeleteSelectedClick);
    layout->addWidget(toolbar);

    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({QStringLiteral("Operating System"), QStringLiteral("RAM Size (MB)"),
                             QStringLiteral("Hard Disk Size (MB)")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->resizeSection(0, 220);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &OperatingSystemsWindow::ListDblClick);
    layout->addWidget(m_list);

    m_editor = new ProfileEditorDialog(this);
}

void OperatingSystemsWindow::showEvent(QShowEvent* event)
{
    refill();
    QDialog::showEvent(event);
}

void OperatingSystemsWindow::refill()
{
    m_list->clear();
    for (const OsProfile& profile : ListProfiles(m_opsys))
        new QTreeWidgetItem(m_list, {profile.name, profile.ram, profile.disk});
}

void OperatingSystemsWindow::reportError(const QString& error)
{
    if (!error.isEmpty())
        Interaction::error(this, error);
}

void OperatingSystemsWindow::AddNewClick()
{
    m_editor->preset(
        {QString(), QString::number(OsProfiles::NewRam), QString::number(OsProfiles::NewDisk)});
    if (Interaction::current().execDialog(*m_editor) == QDialog::Accepted) {
        QString error;
        if (!AddProfile(m_opsys, m_editor->profile(), &error))
            reportError(error);
    }
    refill();
}

void OperatingSystemsWindow::ListDblClick(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString name = item->text(0);
    const std::optional<OsProfile> stored = FindProfile(m_opsys, name);
    if (!stored)
        return;
    m_editor->preset(*stored);
    if (Interaction::current().execDialog(*m_editor) == QDialog::Accepted) {
        QString error;
        if (!UpdateProfile(m_opsys, name, m_editor->profile(), &error))
            reportError(error);
    }
    refill();
}

void OperatingSystemsWindow::DeleteSelectedClick()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    if (!Interaction::confirm(
            this,
            QStringLiteral("Are you sure you wish to delete this operating system definition ?")))
        return;
    QString error;
    if (!DeleteProfile(m_opsys, item->text(0), &error))
        reportError(error);
    refill();
}
