#include "media/ui/BootOrderDialog.h"

#include "media/DriveEditing.h"
#include "platform/ui/Interaction.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace DriveEditing;

BootOrderDialog::BootOrderDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BootOrderDialog"));
    setWindowTitle(QStringLiteral("Boot Options"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    auto* page = new QWidget(tabs);
    page->setObjectName(QStringLiteral("bootOptionsPage"));
    tabs->addTab(page, QStringLiteral("Boot Options"));
    layout->addWidget(tabs);

    auto* grid = new QGridLayout(page);
    auto* availableLabel = new QLabel(QStringLiteral("Available Drives:"), page);
    availableLabel->setObjectName(QStringLiteral("availableLabel"));
    auto* orderLabel = new QLabel(QStringLiteral("Boot Order:"), page);
    orderLabel->setObjectName(QStringLiteral("orderLabel"));
    m_availableList = new QListWidget(page);
    m_availableList->setObjectName(QStringLiteral("availableList"));
    m_orderList = new QListWidget(page);
    m_orderList->setObjectName(QStringLiteral("orderList"));
    availableLabel->setBuddy(m_availableList);
    orderLabel->setBuddy(m_orderList);
    const auto button = [page](const QString& name, const QString& text) {
        auto* made = new QPushButton(text, page);
        made->setObjectName(name);
        made->setAutoDefault(false);
        return made;
    };
    m_add = button(QStringLiteral("addButton"), QStringLiteral(">"));
    m_remove = button(QStringLiteral("removeButton"), QStringLiteral("<"));
    m_up = button(QStringLiteral("upButton"), QStringLiteral("Up"));
    m_down = button(QStringLiteral("downButton"), QStringLiteral("Down"));
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(m_add);
    moves->addWidget(m_remove);
    moves->addStretch();
    auto* arrange = new QVBoxLayout;
    arrange->addStretch();
    arrange->addWidget(m_up);
    arrange->addWidget(m_down);
    arrange->addStretch();
    m_bootMenu = new QCheckBox(QStringLiteral("Show boot menu"), page);
    m_bootMenu->setObjectName(QStringLiteral("bootMenuBox"));
    grid->addWidget(availableLabel, 0, 0);
    grid->addWidget(orderLabel, 0, 2);
    grid->addWidget(m_availableList, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(m_orderList, 1, 2);
    grid->addLayout(arrange, 1, 3);
    grid->addWidget(m_bootMenu, 2, 0, 1, 4);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_add, &QPushButton::clicked, this, &BootOrderDialog::AddClick);
    connect(m_remove, &QPushButton::clicked, this, &BootOrderDialog::RemoveClick);
    connect(m_up, &QPushButton::clicked, this, &BootOrderDialog::UpClick);
    connect(m_down, &QPushButton::clicked, this, &BootOrderDialog::DownClick);
    connect(m_availableList, &QListWidget::itemDoubleClicked, this, &BootOrderDialog::AddClick);
    connect(m_orderList, &QListWidget::itemDoubleClicked, this, &BootOrderDialog::RemoveClick);
}

void BootOrderDialog::start(const QStringList& order, const QStringList& available, bool bootMenu)
{
    m_order = order;
    m_available = available;
    SortDrives(m_available);
    m_bootMenu->setChecked(bootMenu);
    refill(-1);
}

bool BootOrderDialog::bootMenu() const
{
    return m_bootMenu->isChecked();
}

int BootOrderDialog::selectedRow(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void BootOrderDialog::refill(int selectedOrderRow)
{
    m_availableList->clear();
    m_availableList->addItems(m_available);
    m_orderList->clear();
    m_orderList->addItems(m_order);
    if (selectedOrderRow >= 0 && selectedOrderRow < m_order.size())
        m_orderList->setCurrentRow(selectedOrderRow);
}

void BootOrderDialog::AddClick()
{
    const int row = selectedRow(m_availableList);
    if (row < 0)
        return;
    if (!CanAddBootItem(m_order)) {
        Interaction::warning(this, TooManyBootItemsWarning());
        return;
    }
    m_order.append(m_available.takeAt(row));
    refill(-1);
}

void BootOrderDialog::RemoveClick()
{
    const int row = selectedRow(m_orderList);
    if (row < 0)
        return;
    m_available.append(m_order.takeAt(row));
    SortDrives(m_available);
    refill(-1);
}

void BootOrderDialog::UpClick()
{
    const int row = selectedRow(m_orderList);
    if (row < 0)
        return;
    refill(MoveUp(m_order, row));
}

void BootOrderDialog::DownClick()
{
    const int row = selectedRow(m_orderList);
    if (row < 0)
        return;
    refill(MoveDown(m_order, row));
}
