#include "launch/ui/SnapshotsWindow.h"

#include "platform/ui/ImageLibrary.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int SnapshotPicture = 31;

} // namespace

SnapshotsWindow::SnapshotsWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Snapshots"));
    auto* layout = new QVBoxLayout(this);

    m_list = new QTreeWidget(this);
    m_list->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Tag"), QStringLiteral("VM Size"),
                             QStringLiteral("Date"), QStringLiteral("VM Clock")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(560, 280);
}

SnapshotsWindow::~SnapshotsWindow() = default;

void SnapshotsWindow::setRows(const QList<SnapshotRow>& rows, const ImageStrip& pictures)
{
    m_rows = rows;
    m_list->clear();
    const QIcon picture(pictures.image(SnapshotPicture));
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const SnapshotRow& row : rows) {
        // A line that stopped splitting early shows only the columns it reached.
        const QStringList all{row.id, row.tag, row.vmSize, row.date, row.vmClock};
        auto* item = new QTreeWidgetItem(all.mid(0, qBound(1, row.columns, 5)));
        item->setIcon(0, picture);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
}

int SnapshotsWindow::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

void SnapshotsWindow::selectRow(int row)
{
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item)
        return;
    m_list->setCurrentItem(item);
    item->setSelected(true);
}
