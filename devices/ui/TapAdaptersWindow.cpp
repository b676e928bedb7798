#include "devices/ui/TapAdaptersWindow.h"

#include "devices/ui/TapDriverDialog.h"
#include "platform/ui/Interaction.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

TapAdaptersWindow::TapAdaptersWindow(Mode mode, TapCommands commands, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_commands(std::move(commands))
{
    setWindowTitle(QStringLiteral("TAP Network Adapters"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* toolbar = new QToolBar(this);
    m_create = toolbar->addAction(QStringLiteral("Create New Connection"));
    m_create->setToolTip(QStringLiteral("Create New Connection"));
    toolbar->addSeparator();
    m_rename = toolbar->addAction(QStringLiteral("Rename Selected Connection"));
    m_rename->setToolTip(QStringLiteral("Rename Selected Connection"));
    connect(m_create, &QAction::triggered, this, &TapAdaptersWindow::CreateConnectionClick);
    connect(m_rename, &QAction::triggered, this, &TapAdaptersWindow::RenameConnectionClick);
    layout->addWidget(toolbar);

    auto* tabs = new QTabWidget(this);
    m_list = new QTreeWidget(tabs);
    m_list->setHeaderLabels({QStringLiteral("Connection Name"), QStringLiteral("Adapter Name"),
                             QStringLiteral("Bridge")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tabs->addTab(m_list, QStringLiteral("Adapters"));
    layout->addWidget(tabs, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (m_mode == Mode::Selection) {
        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setDefault(true);
        m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
        connect(m_ok, &QPushButton::clicked, this, &TapAdaptersWindow::accept);
        connect(m_cancel, &QPushButton::clicked, this, &TapAdaptersWindow::reject);
        buttons->addWidget(m_ok);
        buttons->addWidget(m_cancel);
    } else {
        m_close = new QPushButton(QStringLiteral("Close"), this);
        connect(m_close, &QPushButton::clicked, this, &TapAdaptersWindow::reject);
        buttons->addWidget(m_close);
    }
    layout->addLayout(buttons);
    resize(520, 320);

    m_wait = new QWidget(this, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                   Qt::WindowTitleHint);
    m_wait->setWindowTitle(QStringLiteral("Please Wait"));
    auto* waitLayout = new QVBoxLayout(m_wait);
    waitLayout->addWidget(new QLabel(QStringLiteral("Renaming Connection - Please Wait"), m_wait));
    m_wait->hide();
}

void TapAdaptersWindow::fill()
{
    m_list->clear();
    for (const TapAdapter& adapter : ReadTapList(m_commands.listFile))
        m_list->addTopLevelItem(
            new QTreeWidgetItem({adapter.connection, adapter.adapter, adapter.bridge}));
}

void TapAdaptersWindow::accept()
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        Interaction::error(this, QStringLiteral("Please select a TAP network card to use"));
        return;
    }
    m_chosen = selected.first()->text(0);
    QDialog::accept();
}

void TapAdaptersWindow::CreateConnectionClick()
{
    if (TapDriverDownloadNeeded()) {
        TapDriverDialog dialog(this);
        Interaction::current().execDialog(dialog);
        return;
    }
    CreateTapConnection(m_commands);
    rediscover();
}

void TapAdaptersWindow::RenameConnectionClick()
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        Interaction::error(this, QStringLiteral("Please select a connection first"));
        return;
    }
    const QString oldName = selected.first()->text(0);
    const std::optional<QString> newName = Interaction::current().text(
        this, QStringLiteral("New Connection Name"), QStringLiteral("Rename to"), QString());
    if (!newName)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_wait->adjustSize();
    m_wait->show();
    RenameTapConnection(m_commands, oldName, *newName);
    const bool discovered = DiscoverTapAdapters(m_commands);
    if (discovered)
        fill();
    m_wait->hide();
    QApplication::restoreOverrideCursor();
    // Said once the wait window is gone, so the box is not left behind it.
    if (!discovered)
        Interaction::error(this, TapDiscoveryFailedMessage());
}

void TapAdaptersWindow::rediscover()
{
    if (!DiscoverTapAdapters(m_commands)) {
        Interaction::error(this, TapDiscoveryFailedMessage());
        return;
    }
    if (QFile::exists(m_commands.listFile))
        fill();
}
