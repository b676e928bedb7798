#include "versions/ui/VersionControlWindow.h"

#include "model/TableHandle.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionControl.h"
#include "versions/VersionRegistry.h"
#include "versions/ui/QemuVersionEditDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The version identifier of a node, "TOP" for the root.
constexpr int DataRole = Qt::UserRole;

} // namespace

VersionControlWindow::VersionControlWindow(TableHandle& versions, VersionRegistry& registry,
                                           QWidget* parent)
    : QDialog(parent), m_versions(versions), m_registry(registry)
{
    setWindowTitle(QStringLiteral("Qemu Version Control"));
    resize(640, 400);
    auto* layout = new QVBoxLayout(this);
    auto* toolbar = new QToolBar(this);
    const auto addButton = [toolbar](const QString& hint, QStyle::StandardPixmap picture) {
        QAction* action = toolbar->addAction(toolbar->style()->standardIcon(picture), hint);
        action->setToolTip(hint);
        return action;
    };
    m_add = addButton(QStringLiteral("Add New"), QStyle::SP_FileDialogNewFolder);
    connect(m_add, &QAction::triggered, this, &VersionControlWindow::AddNewClick);
    m_delete = addButton(QStringLiteral("Delete Selected"), QStyle::SP_TrashIcon);
    connect(m_delete, &QAction::triggered, this, &VersionControlWindow::DeleteSelectedClick);
    toolbar->addSeparator();
    m_edit = addButton(QStringLiteral("Edit Selected"), QStyle::SP_FileDialogDetailedView);
    connect(m_edit, &QAction::triggered, this, &VersionControlWindow::EditSelectedClick);
    layout->addWidget(toolbar);

    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QHBoxLayout(page);
    m_tree = new QTreeWidget(page);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { TVClick(item); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            &VersionControlWindow::EditSelectedClick);
    pageLayout->addWidget(m_tree, 1);

    // The hint stands behind the details and shows while they are hidden.
    auto* right = new QGridLayout;
    m_hint =
        new QLabel(QStringLiteral("Please select an operating system to view it's contents"), page);
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    right->addWidget(m_hint, 0, 0);
    m_details = new QTreeWidget(page);
    m_details->setHeaderLabels({QStringLiteral("Option"), QStringLiteral("Setting")});
    m_details->setRootIsDecorated(false);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->header()->resizeSection(0, 160);
    m_details->setVisible(false);
    right->addWidget(m_details, 0, 0);
    pageLayout->addLayout(right, 2);
    tabs->addTab(page, QStringLiteral("Qemu Version Control"));
    layout->addWidget(tabs);

    m_editor = new QemuVersionEditDialog(this);
}

int VersionControlWindow::run()
{
    QString error;
    if (!m_versions.isOpen() && !m_versions.open(&error))
        reportError(error);
    ShowVersions();
    const int result = Interaction::current().execDialog(*this);
    m_versions.close();
    return result;
}

bool VersionControlWindow::detailsShown() const
{
    return !m_details->isHidden();
}

QTreeWidgetItem* VersionControlWindow::root() const
{
    return m_tree->topLevelItem(0);
}

void VersionControlWindow::buildTree()
{
    m_tree->clear();
    auto* top = new QTreeWidgetItem(m_tree, {QStringLiteral("Qemu Versions")});
    top->setData(0, DataRole, VersionControl::RootData());
    selectNode(top);
    for (const VersionControl::VersionNode& node : VersionControl::VersionTree(m_versions)) {
        auto* child = new QTreeWidgetItem(top, {node.text});
        child->setData(0, DataRole, node.id);
    }
    top->setExpanded(true);
}

void VersionControlWindow::ShowVersions()
{
    buildTree();
    if (root()->childCount() > 0)
        selectNode(root()->child(0));
}

void VersionControlWindow::ShowVersion(const QString& description)
{
    buildTree();
    for (int i = 0; i < root()->childCount(); ++i) {
        if (root()->child(i)->text(0) == description) {
            selectNode(root()->child(i));
            return;
        }
    }
}

void VersionControlWindow::selectNode(QTreeWidgetItem* node)
{
    m_tree->setCurrentItem(node);
    TVClick(node);
}

void VersionControlWindow::TVClick(QTreeWidgetItem* item)
{
    if (!item || item == root()) {
        m_details->setVisible(false);
        m_hint->setVisible(true);
        return;
    }
    showDetails(item->data(0, DataRole).toString());
}

void VersionControlWindow::showDetails(const QString& id)
{
    m_details->clear();
    const std::optional<VersionControl::VersionRow> row =
        VersionControl::FindVersion(m_versions, id);
    for (const auto& [option, setting] :
         VersionControl::VersionDetails(row.value_or(VersionControl::VersionRow{})))
        new QTreeWidgetItem(m_details, {option, setting});
    m_hint->setVisible(false);
    m_details->setVisible(true);
}

QString VersionControlWindow::selectedId() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item ? item->data(0, DataRole).toString() : QString();
}

void VersionControlWindow::reportError(const QString& error)
{
    if (!error.isEmpty())
        Interaction::error(this, error);
}

void VersionControlWindow::AddNewClick()
{
    if (Interaction::confirm(this, QStringLiteral("Do you wish to download an alternative version "
                                                  "of QEMU which is compatible with Vimor ?"))) {
        if (downloadPackage)
            downloadPackage();
        return;
    }
    m_editor->preset(VersionControl::NewVersionForm());
    if (Interaction::current().execDialog(*m_editor) != QDialog::Accepted)
        return;
    const VersionControl::VersionForm form = m_editor->form();
    QString error;
    if (!VersionControl::AddVersion(m_versions, form, &error))
        reportError(error);
    ShowVersion(form.description);
}

void VersionControlWindow::EditSelectedClick()
{
    if (!detailsShown())
        return;
    const QString id = selectedId();
    const std::optional<VersionControl::VersionRow> row =
        VersionControl::FindVersion(m_versions, id);
    if (!row) {
        showDetails(id);
        return;
    }
    m_editor->preset(VersionControl::FormFromRow(*row));
    if (Interaction::current().execDialog(*m_editor) != QDialog::Accepted) {
        showDetails(id);
        return;
    }
    const VersionControl::VersionForm form = m_editor->form();
    QString error;
    if (!VersionControl::UpdateVersion(m_versions, id, form, &error))
        reportError(error);
    ShowVersion(form.description);
}

void VersionControlWindow::DeleteSelectedClick()
{
    const QString id = selectedId();
    if (m_registry.ScanQemuVer(id)) {
        Interaction::error(this,
                           QStringLiteral("You CANNOT delete this version definition as it is "
                                          "in use by one or more Virtual Machines!"));
        return;
    }
    if (Interaction::confirm(
            this,
            QStringLiteral("Are you sure you wish to delete this Qemu Version definition ?"))) {
        QString error;
        if (!VersionControl::DeleteVersion(m_versions, id, &error))
            reportError(error);
    }
    ShowVersions();
}
