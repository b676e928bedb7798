// The main window's menus and toolbars.

#include "app/ui/ConsoleFont.h"
#include "app/ui/TMain.h"
#include "library/ui/VMStoresWindow.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

template <typename Handler>
QAction* addItem(QMenu* menu, const char* caption, TMain* window, Handler handler)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    QObject::connect(action, &QAction::triggered, window, handler);
    return action;
}

QMenu* cdMenu(TMain* w, QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("CD/DVD Drive"), parent);
    addItem(menu, "Eject CD/DVD Media From Drive", w,
            [w] { w->VMControlClick(QStringLiteral("EjectCD")); });
    addItem(menu, "Load CD/DVD Disk Image", w,
            [w] { w->VMControlClick(QStringLiteral("LoadCD")); });
    addItem(menu, "Load CD/DVD Disk Image && Restart VM", w,
            [w] { w->VMControlClick(QStringLiteral("LoadCDRestart")); });
    addItem(menu, "Use Physical CD/DVD Drive", w,
            [w] { w->VMControlClick(QStringLiteral("PhysicalCD")); });
    return menu;
}

QMenu* floppyMenu(TMain* w, QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("Floppy Disk Drive"), parent);
    addItem(menu, "Eject Floppy Disk 0 Media From Drive", w,
            [w] { w->VMControlClick(QStringLiteral("EjectFloppy0")); });
    addItem(menu, "Eject Floppy Disk 1 Media From Drive", w,
            [w] { w->VMControlClick(QStringLiteral("EjectFloppy1")); });
    addItem(menu, "Load Floppy Disk 0 Disk Image", w,
            [w] { w->VMControlClick(QStringLiteral("LoadFloppy0")); });
    addItem(menu, "Load Floppy Disk 1 Disk Image", w,
            [w] { w->VMControlClick(QStringLiteral("LoadFloppy1")); });
    addItem(menu, "Load Floppy Disk 0 Disk Image && Restart VM", w,
            [w] { w->VMControlClick(QStringLiteral("LoadFloppy0Restart")); });
    addItem(menu, "Use Physical Floppy Disk Drive as Floppy Drive 0", w,
            [w] { w->VMControlClick(QStringLiteral("PhysicalFloppy")); });
    return menu;
}

QMenu* snapshotMenu(TMain* w, QWidget* parent, bool withSeparators)
{
    auto* menu = new QMenu(QStringLiteral("VM Snapshot Management"), parent);
    menu->addAction(QStringLiteral("QCOW2 Images Only"))->setEnabled(false);
    if (withSeparators)
        menu->addSeparator();
    addItem(menu, "Create Snapshot", w,
            [w] { w->VMControlClick(QStringLiteral("CreateSnapshot")); });
    if (withSeparators)
        menu->addSeparator();
    addItem(menu, "Load Snapshot", w, [w] { w->VMControlClick(QStringLiteral("LoadSnapshot")); });
    if (withSeparators)
        menu->addSeparator();
    addItem(menu, "Delete Snapshot", w,
            [w] { w->VMControlClick(QStringLiteral("DeleteSnapshot")); });
    return menu;
}

QMenu* shutdownMenu(TMain* w, QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("Shutdown/Reset Options"), parent);
    addItem(menu, "Reset Virtual Machine", w, [w] { w->VMControlClick(QStringLiteral("Reset")); });
    addItem(menu, "Power Down Virtual Machine", w,
            [w] { w->VMControlClick(QStringLiteral("PowerDown")); });
    return menu;
}

// A toolbar button with its hint and a picture of the strip.
QAction* addButton(QToolBar* bar, const char* strip, int picture, const char* hint, TMain* w,
                   void (TMain::*handler)())
{
    QAction* action = bar->addAction(QString::fromUtf8(hint));
    action->setProperty("strip", QString::fromLatin1(strip));
    action->setProperty("picture", picture);
    action->setToolTip(QString::fromUtf8(hint));
    if (handler)
        QObject::connect(action, &QAction::triggered, w, handler);
    return action;
}

void addDropDown(QToolBar* bar, const char* strip, int picture, const QString& hint, QMenu* menu)
{
    auto* button = new QToolButton(bar);
    button->setProperty("strip", QString::fromLatin1(strip));
    button->setProperty("picture", picture);
    button->setToolTip(hint);
    button->setText(hint);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setAutoRaise(true);
    bar->addWidget(button)->setToolTip(hint);
}

} // namespace

void TMain::createMenus()
{
    TMain* w = this;

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addItem(file, "Create New Virtual Disk", w, &TMain::CreateNewVirtualDiskClick);
    file->addSeparator();
    addItem(file, "&Exit Vimor", w, &TMain::ExitClick);

    // One hardware menu serves the VM menu, the toolbar's drop-down and the hardware list.
    m_hardwareMenu = new QMenu(QStringLiteral("Add/Remove Hardware "), this);
    addItem(m_hardwareMenu, "Add New Network Card", w, &TMain::AddNewNetworkCard1Click);
    addItem(m_hardwareMenu, "Add New Serial Port", w, &TMain::AddNewSerialPort1Click);
    addItem(m_hardwareMenu, "Add New Parallel Port", w, &TMain::AddNewParallelPort1Click);
    m_hardwareMenu->addSeparator();
    addItem(m_hardwareMenu, "Delete Selected Network Card", w,
            &TMain::DeleteSelectedNetworkCard1Click);
    addItem(m_hardwareMenu, "Delete Selected Serial Port", w,
            &TMain::DeleteSelectedSerialPort1Click);
    addItem(m_hardwareMenu, "Delete Selected Parallel Port", w,
            &TMain::DeleteSelectedParallelPort1Click);

    createDisplayActions();
    QMenu* vm = menuBar()->addMenu(QStringLiteral("&VM"));
    addItem(vm, "New Virtual Machine", w, &TMain::NewVMClick);
    addItem(vm, "Delete Selected Virtual Machine", w, &TMain::DeleteVMClick);
    vm->addSeparator();
    addItem(vm, "Start Selected Virtual Machine", w, &TMain::PlayClick);
    addItem(vm, "Stop Selected Virtual Machine", w, &TMain::StopClick);
    m_launchLogAction = vm->addAction(QStringLiteral("Show Launch Log"));
    m_launchLogAction->setCheckable(true);
    connect(m_launchLogAction, &QAction::toggled, this, &TMain::setLaunchLogShown);
    vm->addSeparator();
    vm->addMenu(m_hardwareMenu);
    vm->addSeparator();
    m_vmControlMenu = vm->addMenu(QStringLiteral("VM Control"));
    m_vmControlMenu->addMenu(cdMenu(w, m_vmControlMenu));
    m_vmControlMenu->addMenu(floppyMenu(w, m_vmControlMenu));
    m_vmControlMenu->addSeparator();
    addItem(m_vmControlMenu, "Send CTRL+ALT+DEL", w,
            [w] { w->VMControlClick(QStringLiteral("CtrlAltDel")); });
    m_vmControlMenu->addSeparator();
    m_pauseAction = addItem(m_vmControlMenu, "Pause Virtual Machine", w,
                            [w] { w->VMControlClick(QStringLiteral("Pause")); });
    m_vmControlMenu->addSeparator();
    m_vmControlMenu->addMenu(snapshotMenu(w, m_vmControlMenu, true));
    m_vmControlMenu->addSeparator();
    m_vmControlMenu->addMenu(shutdownMenu(w, m_vmControlMenu));
    m_vmControlMenu->addSeparator();
    addItem(m_vmControlMenu, "Quit Qemu", w, [w] { w->VMControlClick(QStringLiteral("Quit")); });
    vm->addSeparator();
    vm->addActions({m_fitAction, m_actualSizeAction, m_fullScreenAction});
    vm->addSeparator();
    vm->addActions({m_screenshotAction, m_typeClipboardAction});

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    m_installKqemu = addItem(tools, "Install KQEMU Accelerator", w, &TMain::InstallKqemuClick);
    m_uninstallKqemu =
        addItem(tools, "Uninstall KQEMU Accelerator", w, &TMain::UninstallKqemuClick);
    tools->addSeparator();
    addItem(tools, "Show Last Run Command", w, &TMain::ShowLastLaunchCommand1Click);
    tools->addSeparator();
    addItem(tools, "Configure Operating System Defaults", w,
            &TMain::ConfigureOperatingSystemsClick);
    addItem(tools, "Configure TAP Network Devices", w, &TMain::ConfigureTapClick);
    addItem(tools, "Install Vimor Console Font", w, [w] { InstallConsoleFont(w); });
    tools->addSeparator();
    addItem(tools, "Create Disk Image From Removable Media", w, &TMain::OpenMediaWizard);
    tools->addSeparator();
    addItem(tools, "Qemu Version Management", w, &TMain::QemuVersionManagementClick);
    tools->addSeparator();
    addItem(tools, "VM Stores", w, &TMain::ShowStoresWindow);
    tools->addSeparator();
    addItem(tools, "Browse Default Media Image Folder", w, &TMain::BrowseMediaFolderClick);
    tools->addSeparator();
    tools->addAction(QStringLiteral("Change Language"))->setEnabled(false);
    tools->addSeparator();
    addItem(tools, "Vimor Options", w, &TMain::ShowOptions);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    addItem(help, "View User Manual", w, &TMain::OpenUserManual);
    help->addSeparator();
    addItem(help, "Check For Updates", w, &TMain::CheckForUpdates2Click);
    help->addSeparator();
    addItem(help, "About", w, &TMain::ShowAbout);
}

void TMain::createToolBar()
{
    TMain* w = this;
    m_mainToolBar = addToolBar(QStringLiteral("Main"));
    m_mainToolBar->setObjectName(QStringLiteral("MainToolBar"));
    m_mainToolBar->setMovable(false);
    m_mainToolBar->setIconSize(QSize(16, 16));
    addButton(m_mainToolBar, "ni", 1, "Create New VM", w, &TMain::NewVMClick);
    addButton(m_mainToolBar, "ni", 2, "Delete Selected VM", w, &TMain::DeleteVMClick);
    m_mainToolBar->addSeparator();
    addButton(m_mainToolBar, "ni", 3, "Launch Selected VM", w, &TMain::PlayClick);
    addButton(m_mainToolBar, "ni", 4, "Stop Selected VM", w, &TMain::StopClick);
    m_mainToolBar->addSeparator();
    addButton(m_mainToolBar, "ni", 5, "Create disk image from removable media", w,
              &TMain::OpenMediaWizard);
    m_mainToolBar->addSeparator();
    addButton(m_mainToolBar, "ni", 6, "Manage VM Stores", w, &TMain::ShowStoresWindow);
    m_mainToolBar->addSeparator();
    addDropDown(m_mainToolBar, "ni", 7, QStringLiteral("Add/Remove Hardware "), m_hardwareMenu);
    m_mainToolBar->addSeparator();
    addButton(m_mainToolBar, "ni", 9, "QEMU Version Control", w,
              &TMain::QemuVersionManagementClick);
    m_mainToolBar->addSeparator();
    addButton(m_mainToolBar, "ni", 10, "Vimor Options", w, &TMain::ShowOptions);
    m_mainToolBar->addSeparator();
    // 25-pixel buttons. A style sheet would say the same, but it restyles the whole bar and costs
    // the start-up a style sheet pass.
    const QList<QToolButton*> buttons = m_mainToolBar->findChildren<QToolButton*>();
    for (QToolButton* button : buttons)
        button->setMinimumSize(25, 25);

    QToolBar* console = m_consoleToolBar;
    addDropDown(console, "ti", 0, QStringLiteral("CD/DVD Drive"), cdMenu(w, console));
    addDropDown(console, "ti", 1, QStringLiteral("Floppy Disk Drive"), floppyMenu(w, console));
    console->addSeparator();
    QObject::connect(addButton(console, "ti", 2, "Send CTRL+ALT+DEL", w, nullptr),
                     &QAction::triggered, w,
                     [w] { w->VMControlClick(QStringLiteral("CtrlAltDel")); });
    console->addSeparator();
    m_pauseButton =
        addButton(console, "ti", PausePicture, "Pause/Resume Virtual Machine", w, nullptr);
    QObject::connect(m_pauseButton, &QAction::triggered, w,
                     [w] { w->VMControlClick(QStringLiteral("Pause")); });
    console->addSeparator();
    addDropDown(console, "ti", 3, QStringLiteral("VM Snapshot Management"),
                snapshotMenu(w, console, false));
    console->addSeparator();
    addDropDown(console, "ti", 7, QStringLiteral("Shutdown/Reset Options"),
                shutdownMenu(w, console));
    console->addSeparator();
    QObject::connect(addButton(console, "ti", 6, "Quit Qemu", w, nullptr), &QAction::triggered, w,
                     [w] { w->VMControlClick(QStringLiteral("Quit")); });
    console->addSeparator();
    console->addActions({m_fitAction, m_actualSizeAction, m_fullScreenAction});
}

void TMain::applyPictures()
{
    const auto picture = [this](const QObject* object) {
        const QString strip = object->property("strip").toString();
        const int index = object->property("picture").toInt();
        return QIcon(strip == QStringLiteral("ti") ? m_images.ti.image(index)
                                                   : m_images.ni.image(index));
    };
    const QList<QAction*> actions = findChildren<QAction*>();
    for (QAction* action : actions)
        if (action->property("strip").isValid())
            action->setIcon(picture(action));
    const QList<QToolButton*> buttons = findChildren<QToolButton*>();
    for (QToolButton* button : buttons)
        if (button->property("strip").isValid())
            button->setIcon(picture(button));
    for (int tab = 0; tab < m_vmPages->count(); ++tab)
        m_vmPages->setTabIcon(tab, m_images.ta.image(tab));
    // The store picture of the settings list's "VM Store" row.
    if (m_storesWindow)
        m_storesWindow->setStoreIcon(QIcon(m_images.mi.image(5)));
}
