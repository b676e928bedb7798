#include "app/ui/TMain.h"

#include "app/ui/AboutDialog.h"
#include "app/ui/ConsoleFont.h"
#include "launch/Kqemu.h"
#include "model/ProgramFolder.h"
#include "model/TableSchemas.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString KqemuStarted = QStringLiteral("KQEMU Driver Started");

} // namespace

TMain::TMain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Vimor 7.0"));
    resize(977, 672);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createStatusBar();
    createMenus();
    m_sysTimer = new QTimer(this);
    m_sysTimer->setInterval(1000);
    connect(m_sysTimer, &QTimer::timeout, this, &TMain::SysTimerTimer);
    m_about = new AboutDialog(this);
    createTray();

    // Window creation.
    m_startingUp = true;
    ReadSettings(false);
    const int kqemu = KqemuServiceState();
    setStatusPanel(1, kqemu == 0 || kqemu == 1 ? QString() : KqemuStarted);
    LoadConsoleFontFile(ProgramFolder::file(QStringLiteral("\\term_hex.fon")));
    m_terminalFont = ConsoleFont();
}

TMain::~TMain()
{
    FormDestroy();
}

void TMain::createStatusBar()
{
    const int widths[] = {150, 200, 400, 50};
    for (int width : widths) {
        auto* panel = new QLabel(this);
        panel->setFixedWidth(width);
        statusBar()->addWidget(panel);
        m_statusPanels.append(panel);
    }
}

QString TMain::statusPanel(int index) const
{
    return index >= 0 && index < m_statusPanels.size() ? m_statusPanels.at(index)->text()
                                                       : QString();
}

void TMain::setStatusPanel(int index, const QString& text)
{
    if (index >= 0 && index < m_statusPanels.size())
        m_statusPanels.at(index)->setText(text);
}

void TMain::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addSeparator();
    connect(file->addAction(QStringLiteral("&Exit Vimor")), &QAction::triggered, this,
            &TMain::ExitClick);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    connect(tools->addAction(QStringLiteral("Install Vimor Console Font")), &QAction::triggered,
            this, [this] { InstallConsoleFont(this); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    connect(help->addAction(QStringLiteral("View User Manual")), &QAction::triggered, this,
            &TMain::OpenUserManual);
    help->addSeparator();
    help->addSeparator();
    connect(help->addAction(QStringLiteral("About")), &QAction::triggered, this, &TMain::ShowAbout);
}

void TMain::createTray()
{
    m_trayMenu = new QMenu(this);
    connect(m_trayMenu->addAction(QStringLiteral("Restore Vimor")), &QAction::triggered, this,
            &TMain::RestoreFromTray);
    m_trayMenu->addSeparator();
    connect(m_trayMenu->addAction(QStringLiteral("Quit Vimor")), &QAction::triggered, this,
            &TMain::ExitClick);
    m_tray = new QSystemTrayIcon(this);
    m_tray->setToolTip(QStringLiteral("Vimor"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    RestoreFromTray();
            });
}

bool TMain::trayIconVisible() const
{
    return m_tray->isVisible();
}

void TMain::ReadSettings(bool afterWizard)
{
    const SettingsFile settings;
    m_settings = ReadStartSettings(settings);
    setWindowState(m_settings.maximized ? Qt::WindowMaximized : Qt::WindowNoState);

    if (!afterWizard) {
        const QString library = ProgramFolder::file(QStringLiteral("\\vimordll.dll"));
        if (QFile::exists(library) && !m_images.load(library, this)) {
            // An image library that is there but broken ends the program once it is running.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        const QPixmap vmPicture = m_images.ni.image(0);
        const QIcon icon =
            vmPicture.isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : QIcon(vmPicture);
        m_tray->setIcon(icon);
        setWindowIcon(icon);
        openTables();
        ResetEmbeddedSessions();
        if (m_settings.enableUpdates && !m_settings.updateUrl.isEmpty())
            StartUpdateCheck(m_settings.updateUrl);
    }
    LoadStoreLists(!afterWizard);
    BuildVMTree();
    SelectFirstVM();
    if (m_settings.wizardComplete > 0) {
        UpdateKqemuMenu();
        m_sysTimer->start();
    }
    SweepProcesses();
}

void TMain::openTables()
{
    const QString folder = ProgramFolder::path();
    const struct
    {
        TableHandle* handle;
        const QString& table;
    } handles[] = {
        {&OpSysDB, TableSchemas::OpSysTable},      {&ProcessDB, TableSchemas::ProcessTable},
        {&ScanProcDB, TableSchemas::ProcessTable}, {&VMStoreDB, TableSchemas::VMStoreTable},
        {&VLookupDB, TableSchemas::VMStoreTable},  {&VRVersDB, TableSchemas::VersionTable},
        {&VerLookupDB, TableSchemas::VersionTable}};
    for (const auto& h : handles) {
        h.handle->setFolder(folder);
        h.handle->setTableName(h.table);
    }
    // The version table is opened on demand, the lookups open for one lookup each.
    for (TableHandle* handle : {&OpSysDB, &ProcessDB, &VMStoreDB, &ScanProcDB}) {
        QString error;
        if (!handle->open(&error))
            Interaction::error(this, error);
    }
}

void TMain::RunFirstRunStep()
{
    if (!m_startingUp)
        return;
    if (m_settings.wizardComplete == 0)
        ShowFirstRunWizard();
    UpdateKqemuMenu();
    m_startingUp = false;
}

void TMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // After the window has appeared, so the wizard has a window to stand in front of.
    QTimer::singleShot(0, this, &TMain::RunFirstRunStep);
}

void TMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        m_settings.dock) {
        m_tray->show();
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void TMain::RestoreFromTray()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    m_tray->hide();
}

void TMain::ExitClick()
{
    close();
}

void TMain::closeEvent(QCloseEvent* event)
{
    if (CheckPanelSessions()) {
        if (!Interaction::confirm(
                this, QStringLiteral("You still have active QEMU session running within Vimor, "
                                     "Closing Vimor will terminate these sessions, any unsaved "
                                     "work will be lost! - Continue ?"))) {
            event->ignore();
            return;
        }
        TerminateEmbeddedSessions();
    }
    event->accept();
    emit closed();
}

void TMain::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_settings.stopServices && StopKqemuService())
        setStatusPanel(1, QString());
    m_sysTimer->stop();
    QCoreApplication::processEvents();
    QFile::remove(ProgramFolder::file(QStringLiteral("\\panels.dat")));
    QFile::remove(ProgramFolder::file(QStringLiteral("\\VRPorts.dat")));
}

void TMain::SysTimerTimer()
{
    SweepProcesses();
}

bool TMain::sysTimerActive() const
{
    return m_sysTimer->isActive();
}

void TMain::OpenUserManual()
{
    // A missing manual or viewer is not reported.
    const QString manual = ProgramFolder::file(QStringLiteral("\\vimor.pdf"));
    if (QFile::exists(manual))
        Shell::open(manual);
}

void TMain::ShowAbout()
{
    Interaction::current().execDialog(*m_about);
}

// The steps below belong to the VM library, the launcher and the services; each does the least
// its caller needs until that subsystem is in place.

void TMain::ResetEmbeddedSessions() {}

void TMain::LoadStoreLists(bool) {}

void TMain::BuildVMTree() {}

void TMain::SelectFirstVM() {}

bool TMain::CheckPanelSessions()
{
    return false;
}

bool TMain::TerminateEmbeddedSessions()
{
    return false;
}

void TMain::SweepProcesses() {}

void TMain::UpdateKqemuMenu() {}

void TMain::StartUpdateCheck(const QString&) {}

bool TMain::ShowFirstRunWizard()
{
    ++m_firstRunWizardShows;
    return false;
}
