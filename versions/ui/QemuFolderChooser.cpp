#include "versions/ui/QemuFolderChooser.h"

#include "versions/VersionControl.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The subfolder a node stands for; empty for the root.
constexpr int SubfolderRole = Qt::UserRole;

} // namespace

QemuFolderChooser::QemuFolderChooser(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select QEMU Executable"));
    resize(480, 320);
    auto* layout = new QVBoxLayout(this);
    auto* panes = new QHBoxLayout;
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { TVChange(item); });
    panes->addWidget(m_tree);
    m_files = new QListWidget(this);
    m_files->setSelectionMode(QAbstractItemView::NoSelection);
    panes->addWidget(m_files);
    layout->addLayout(panes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void QemuFolderChooser::refill()
{
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("Vimor")});
    root->setData(0, SubfolderRole, QString());
    for (const QString& name : VersionControl::QemuSubfolders()) {
        auto* child = new QTreeWidgetItem(root, {name});
        child->setData(0, SubfolderRole, name);
    }
    root->setExpanded(true);
    m_tree->setCurrentItem(root);
    TVChange(root);
}

QString QemuFolderChooser::portablePath() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return VersionControl::PortableQemuPath(item ? item->data(0, SubfolderRole).toString()
                                                 : QString());
}

void QemuFolderChooser::TVChange(QTreeWidgetItem* item)
{
    m_files->clear();
    if (!item)
        return;
    const QString folder =
        VersionControl::QemuChooserFolder(item->data(0, SubfolderRole).toString());
    m_files->addItems(VersionControl::QemuPrograms(folder));
}
