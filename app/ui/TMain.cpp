#include "app/ui/TMain.h"

#include "app/MainWindowLogic.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/ConsoleFont.h"
#include "app/ui/FirstRunWizard.h"
#include "app/ui/OptionsDialog.h"
#include "devices/ui/PortCommands.h"
#include "devices/ui/TapSelection.h"
#include "devices/ui/UsbDevicesWindow.h"
#include "launch/ClipboardChannel.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/Kqemu.h"
#include "launch/LaunchString.h"
#include "launch/MonitorClient.h"
#include "launch/Panels.h"
#include "launch/ui/FullScreenDisplay.h"
#include "launch/ui/MonitorTerminal.h"
#include "launch/ui/SnapshotChooser.h"
#include "launch/ui/VMControl.h"
#include "library/ui/NewVMWizard.h"
#include "library/ui/OperatingSystemsWindow.h"
#include "library/ui/VMDeletion.h"
#include "library/ui/VMStoresWindow.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/DriveEditors.h"
#include "media/ui/MediaWizard.h"
#include "media/ui/PhysicalDriveDialog.h"
#include "model/ApprovedValues.h"
#include "model/IniFile.h"
#include "model/ProgramFolder.h"
#include "model/QemuGeneration.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/FileSystem.h"
#include "platform/ProcessStart.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"
#include "services/ui/UpdateChecker.h"
#include "settings/ModernHardwareEditing.h"
#include "settings/SettingsView.h"
#include "settings/ui/AdvancedEditors.h"
#include "settings/ui/HardwareEditors.h"
#include "settings/ui/SettingsLists.h"
#include "versions/ui/DownloadQemuWindow.h"
#include "versions/ui/VersionControlWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString KqemuStarted = QStringLiteral("KQEMU Driver Started");
const QString RootCaption = QStringLiteral("Virtual Machines");
const QString RootDatum = QStringLiteral("TOP");
const QString General = QStringLiteral("General");
const QString Running = QStringLiteral("Running");
const QString Yes = QStringLiteral("Yes");
constexpr int DatumRole = Qt::UserRole;
// Whether the VM node shows the running picture; the pictures may be missing.
constexpr int RunningRole = Qt::UserRole + 1;

// Temporary copies of writes killed midway: the settings and run-time files live in the program
// folder with the tables' edit journals, the VM definition files in the store folders. The tables
// themselves are written in place.
void removeWriteLeftovers(const StoreLists& stores)
{
    FileSystem::removeStaleTemporaries(
        ProgramFolder::path(), {QStringLiteral("vimor.ini"), QStringLiteral("panels.dat"),
                                QStringLiteral("VRPorts.dat"), QStringLiteral("*.journal")});
    for (const QString& folder : stores.folders)
        FileSystem::removeStaleTemporaries(ExpandedStoreFolder(folder), {QStringLiteral("*.vm2")});
}

// The recorded process of a VM shown in the main window is still that VM's QEMU: a QEMU whose
// command line names the VM's own display socket, not just any process with that number.
bool isOwnEmbeddedQemu(const QString& vmFile, qint64 pid)
{
    const QString socket = EmbeddedDisplay::socketPath(vmFile);
    return pid > 0 && !socket.isEmpty() && Processes::isQemu(pid) &&
           ProcessStart::hasArgument(
               pid, QStringLiteral("unix:") +
                        QString(socket).replace(QLatin1Char(','), QStringLiteral(",,")));
}

// A VM's node in the tree. Its file, run state and picture are members rather than item data: as
// data, each took allocations of its own, which a large library paid for at every start.
class VMNode final : public QTreeWidgetItem
{
public:
    VMNode(const QString& name, const QString& file, bool running, const QIcon& picture)
        : QTreeWidgetItem(QStringList{name}), m_file(file), m_picture(picture), m_running(running)
    {}

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            switch (role) {
            case DatumRole:
                return m_file;
            case RunningRole:
                return m_running;
            case Qt::DecorationRole:
                return m_picture;
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant& value) override
    {
        if (column != 0 ||
            (role != DatumRole && role != RunningRole && role != Qt::DecorationRole)) {
            QTreeWidgetItem::setData(column, role, value);
            return;
        }
        if (role == DatumRole)
            m_file = value.toString();
        else if (role == RunningRole)
            m_running = value.toBool();
        else
            m_picture = value.value<QIcon>();
        emitDataChanged();
    }

private:
    QString m_file;
    QIcon m_picture;
    bool m_running;
};

QTreeWidget* newSettingsList(const QString& first, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(2);
    list->setHeaderLabels({first, QStringLiteral("Setting")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->resizeSection(0, 250);
    list->header()->resizeSection(1, 370);
    return list;
}

} // namespace

TMain::TMain(QWidget* parent) : QMainWindow(parent), m_versions(VRVersDB, VerLookupDB, VMStoreDB)
{
    // The library is scanned and read on a second thread while the window is built; the start's
    // reset takes it.
    m_preload = std::make_unique<LibraryPreload>(ProgramFolder::path());
    setWindowTitle(QStringLiteral("Vimor 7.0"));
    resize(977, 672);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    createMenus();
    createPages();
    createToolBar();
    createStatusBar();
    m_sysTimer = new QTimer(this);
    m_sysTimer->setInterval(1000);
    connect(m_sysTimer, &QTimer::timeout, this, &TMain::SysTimerTimer);
    m_launcher = new Launcher(*this, *this, this);
    createMonitor();
    createTray();
    setMonitorConnected(false);

    // Window creation.
    m_startingUp = true;
    ReadSettings(false);
    const int kqemu = KqemuServiceState();
    setStatusPanel(1, kqemu == 0 || kqemu == 1 ? QString() : KqemuStarted);
}

TMain::~TMain()
{
    FormDestroy();
}

// The dialogs and editors are made when first asked for and kept from then on, so the main window
// shows without waiting for windows the user may never open.
AboutDialog& TMain::aboutDialog()
{
    if (!m_about)
        m_about = new AboutDialog(this);
    return *m_about;
}

VMStoresWindow& TMain::storesWindow()
{
    if (!m_storesWindow) {
        m_storesWindow = new VMStoresWindow(VMStoreDB, m_storeLists, this);
        m_storesWindow->setStoreIcon(QIcon(m_images.mi.image(5)));
    }
    return *m_storesWindow;
}

OperatingSystemsWindow& TMain::operatingSystemsWindow()
{
    if (!m_operatingSystems)
        m_operatingSystems = new OperatingSystemsWindow(OpSysDB, this);
    return *m_operatingSystems;
}

HardwareEditors& TMain::hardwareEditors()
{
    if (!m_hardwareEditors) {
        m_hardwareEditors = new HardwareEditors(*this, this);
        m_hardwareEditors->configureVersions = [this] { QemuVersionManagementClick(); };
    }
    return *m_hardwareEditors;
}

AdvancedEditors& TMain::advancedEditors()
{
    if (!m_advancedEditors) {
        m_advancedEditors = new AdvancedEditors(*this, this);
        m_advancedEditors->setLastLaunchSource([this] {
            return AdvancedEditing::LastLaunch{m_launcher->lastExecutable(),
                                               m_launcher->lastLaunchString(),
                                               m_launcher->lastLaunchNotes()};
        });
    }
    return *m_advancedEditors;
}

DiskCreation& TMain::diskCreation()
{
    if (!m_diskCreation)
        m_diskCreation = new DiskCreation(*this, this);
    return *m_diskCreation;
}

MediaWizard& TMain::mediaWizard()
{
    if (!m_mediaWizard)
        m_mediaWizard = new MediaWizard(this);
    return *m_mediaWizard;
}

DriveEditors& TMain::driveEditors()
{
    if (!m_driveEditors) {
        auto* snapshots = new SnapshotChooser(*this, this);
        m_driveEditors = new DriveEditors(*this, diskCreation(), mediaWizard(), *snapshots, this);
    }
    return *m_driveEditors;
}

OptionsDialog& TMain::optionsDialog()
{
    if (!m_options)
        m_options = new OptionsDialog(this);
    return *m_options;
}

VersionControlWindow& TMain::versionControl()
{
    if (!m_versionControl) {
        m_versionControl = new VersionControlWindow(VRVersDB, m_versions, this);
        m_versionControl->downloadPackage = [this] {
            DownloadPackage(m_versionControl, VRVersDB, [this](const QString& description) {
                m_versionControl->ShowVersion(description);
            });
        };
    }
    return *m_versionControl;
}

UsbDevicesWindow& TMain::usbDevicesWindow()
{
    if (!m_usbDevices)
        m_usbDevices = new UsbDevicesWindow(*this, diskCreation(), this);
    return *m_usbDevices;
}

UpdateChecker& TMain::updateChecker()
{
    if (!m_updates)
        m_updates = new UpdateChecker(this, m_settings);
    return *m_updates;
}

NewVMWizard& TMain::newVMWizard()
{
    if (!m_newVMWizard)
        m_newVMWizard = new NewVMWizard(*this, m_storeLists, this);
    return *m_newVMWizard;
}

void TMain::createPages()
{
    m_pages = new QTabWidget(this);
    auto* libraryPage = new QWidget(m_pages);
    m_pages->addTab(libraryPage, RootCaption);
    auto* libraryLayout = new QVBoxLayout(libraryPage);
    libraryLayout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, libraryPage);
    libraryLayout->addWidget(m_splitter);

    TV = new QTreeWidget(m_splitter);
    TV->setHeaderHidden(true);
    // Every row has one line and one picture; without this the view measures each of a large
    // library's rows before it is first shown.
    TV->setUniformRowHeights(true);
    TV->setColumnCount(1);
    TV->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV->setAllColumnsShowFocus(true);
    TV->setSortingEnabled(false); // BuildVMTree inserts in order
    connect(TV, &QTreeWidget::currentItemChanged, this, &TMain::TVChange);

    m_vmPages = new QTabWidget(m_splitter);
    m_vmPages->setDocumentMode(true);
    m_splitter->addWidget(TV);
    m_splitter->addWidget(m_vmPages);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({209, 977 - 209});

    auto* hardwarePage = new QWidget(m_vmPages);
    auto* hardwareLayout = new QVBoxLayout(hardwarePage);
    hardwareLayout->setContentsMargins(0, 0, 0, 0);
    HLV = newSettingsList(QStringLiteral("Hardware"), hardwarePage);
    HLV->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(HLV, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_hardwareMenu->popup(HLV->viewport()->mapToGlobal(at)); });
    hardwareLayout->addWidget(HLV);
    m_hardwarePage = hardwarePage;

    DLV = newSettingsList(QStringLiteral("Drive"), m_vmPages);
    ALV = newSettingsList(QStringLiteral("Advanced"), m_vmPages);
    connect(HLV, &QTreeWidget::itemDoubleClicked, this, &TMain::HLVDblClick);
    connect(DLV, &QTreeWidget::itemDoubleClicked, this, &TMain::DLVDblClick);
    connect(ALV, &QTreeWidget::itemDoubleClicked, this, &TMain::ALVDblClick);

    auto* consolePage = new QWidget(m_vmPages);
    auto* consoleLayout = new QVBoxLayout(consolePage);
    consoleLayout->setContentsMargins(0, 0, 0, 0);
    consoleLayout->setSpacing(0);
    m_consoleToolBar = new QToolBar(consolePage);
    m_consoleToolBar->setIconSize(QSize(16, 16));
    consoleLayout->addWidget(m_consoleToolBar);
    m_consoleArea = new QScrollArea(consolePage);
    m_consoleArea->setFrameShape(QFrame::NoFrame);
    QPalette black = m_consoleArea->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_consoleArea->viewport()->setPalette(black);
    m_consoleArea->viewport()->setBackgroundRole(QPalette::Window);
    m_consoleArea->viewport()->setAutoFillBackground(true);
    m_consoleCanvas = new QWidget;
    m_consoleCanvas->setAutoFillBackground(true);
    m_consoleCanvas->setPalette(black);
    for (int number = 1; number <= PanelCount; ++number) {
        auto* displayPanel = new DisplayPanel(m_consoleCanvas);
        displayPanel->setObjectName(QStringLiteral("P%1").arg(number));
        displayPanel->hide();
        displayPanel->installEventFilter(this);
        connect(displayPanel, &DisplayPanel::statusMessage, this,
                [this](const QString& text) { setStatusPanel(2, text); });
        connect(displayPanel, &DisplayPanel::stateChanged, this, &TMain::updateDisplayActions);
        m_panels.append(displayPanel);
    }
    m_consoleArea->setWidget(m_consoleCanvas);
    m_consoleArea->setWidgetResizable(true);
    m_consoleArea->viewport()->installEventFilter(this);
    consoleLayout->addWidget(m_consoleArea);

    // The monitor terminal: a VT100 screen, silver on black.
    m_monitorTerminal = new MonitorTerminal(m_vmPages);
    m_terminal = m_monitorTerminal;

    m_vmPages->addTab(hardwarePage, QStringLiteral("Hardware"));
    m_vmPages->addTab(DLV, QStringLiteral("Drives"));
    m_vmPages->addTab(ALV, QStringLiteral("Advanced"));
    m_vmPages->addTab(consolePage, QStringLiteral("Console"));
    m_vmPages->addTab(m_terminal, QStringLiteral("Monitor"));
    m_vmPages->hide();
    connect(m_vmPages, &QTabWidget::currentChanged, this, &TMain::VMPagesChange);

    setCentralWidget(m_pages);
}

void TMain::createStatusBar()
{
    const int widths[] = {150, 200, 400, 50};
    for (int width : widths) {
        auto* statusPanel = new QLabel(this);
        statusPanel->setFixedWidth(width);
        statusBar()->addWidget(statusPanel);
        m_statusPanels.append(statusPanel);
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

void TMain::showLaunchNotes(const QStringList& notes)
{
    // The first note says how fast the VM runs (KVM or not, and why); all of them are a hover
    // away and in the launch log.
    QLabel* panel = m_statusPanels.at(1);
    const QString first = notes.value(0);
    panel->setText(panel->fontMetrics().elidedText(first, Qt::ElideRight, panel->width()));
    panel->setToolTip(notes.join(QLatin1Char('\n')));
}

void TMain::createTray()
{
    systemTrayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
}

// Made when the window first docks: asking the desktop for its notification area costs a round
// trip at start-up that most sessions never need.
QSystemTrayIcon& TMain::trayIcon()
{
    if (m_tray)
        return *m_tray;
    m_trayMenu = new QMenu(this);
    connect(m_trayMenu->addAction(QStringLiteral("Restore Vimor")), &QAction::triggered, this,
            &TMain::RestoreFromTray);
    m_trayMenu->addSeparator();
    connect(m_trayMenu->addAction(QStringLiteral("Quit Vimor")), &QAction::triggered, this,
            &TMain::ExitClick);
    m_tray = new QSystemTrayIcon(m_trayPicture, this);
    m_tray->setToolTip(QStringLiteral("Vimor"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    RestoreFromTray();
            });
    return *m_tray;
}

bool TMain::trayIconVisible() const
{
    return m_tray && m_tray->isVisible();
}

QIcon TMain::vmIcon(bool running) const
{
    return QIcon(m_images.ni.image(running ? 8 : 0));
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
        m_trayPicture = icon;
        if (m_tray)
            m_tray->setIcon(icon);
        // The program's own icon, when it carries one, marks its window on the desktop.
        if (QGuiApplication::windowIcon().isNull())
            setWindowIcon(icon);
        applyPictures();
        openTables();
    }
    // The start's one pass over the library: its run states serve the tree as well.
    const QList<LibraryEntry> library =
        afterWizard ? QList<LibraryEntry>() : ResetEmbeddedSessions();
    if (!afterWizard && m_settings.enableUpdates && !m_settings.updateUrl.isEmpty())
        StartUpdateCheck(m_settings.updateUrl);
    LoadStoreLists(!afterWizard);
    if (!afterWizard) {
        removeWriteLeftovers(m_storeLists);
        BuildVMTree(library);
    } else {
        BuildVMTree();
    }
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
    if (!m_startingUp) {
        OfferSurvivingSessions();
        return;
    }
    // The terminal's font waits until the window is up: finding it costs the start a font
    // file and a font match, for a tab that is not showing.
    LoadConsoleFontFile(ProgramFolder::file(QStringLiteral("\\term_hex.fon")));
    m_terminalFont = ConsoleFont();
    m_terminal->setFont(m_terminalFont);
    if (m_settings.wizardComplete == 0)
        ShowFirstRunWizard();
    UpdateKqemuMenu();
    m_startingUp = false;
    OfferSurvivingSessions();
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
    // Without a notification area the icon could never be clicked: the window would be lost.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        m_settings.dock && systemTrayAvailable()) {
        trayIcon().show();
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void TMain::RestoreFromTray()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (m_tray)
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
    // Off while the sweep runs: a message box it shows must not let the next sweep in.
    m_sysTimer->stop();
    SweepProcesses();
    m_sysTimer->start();
}

bool TMain::sysTimerActive() const
{
    return m_sysTimer->isActive();
}

// The VM library and the tree.

QString TMain::selectedVM() const
{
    const QTreeWidgetItem* node = TV->currentItem();
    return isVMNode(node) ? node->data(0, DatumRole).toString() : QString();
}

QString TMain::selectedVMName() const
{
    const QTreeWidgetItem* node = TV->currentItem();
    return isVMNode(node) ? node->text(0) : QString();
}

bool TMain::isVMNode(const QTreeWidgetItem* node) const
{
    return node && node->text(0) != RootCaption && node->data(0, DatumRole).toString() != RootDatum;
}

QString TMain::ReadVMValue(const QString& section, const QString& key) const
{
    const QString vm = selectedVM();
    return vm.isEmpty() ? QString() : ReadVMFileValue(vm, section, key);
}

bool TMain::WriteVMValue(const QString& path, const QString& section, const QString& key,
                         const QString& value)
{
    const QString file = path.isEmpty() ? selectedVM() : path;
    if (file.isEmpty())
        return false;
    QString error;
    if (WriteVMFileValue(file, section, key, value, &error)) {
        // Written through this user's editors: the value is theirs, not the file's.
        if (ApprovedValues::isWatched(section, key))
            ApprovedValues::approve(file, section, key, value);
        return true;
    }
    Interaction::error(this, QStringLiteral("Cannot save the setting \"%1\" to %2: %3")
                                 .arg(key, QDir::toNativeSeparators(file), error));
    return false;
}

TableHandle& TMain::table(Table which)
{
    switch (which) {
    case Table::OpSys:
        return OpSysDB;
    case Table::Process:
        return ProcessDB;
    case Table::ScanProc:
        return ScanProcDB;
    case Table::VMStore:
        return VMStoreDB;
    case Table::VLookup:
        return VLookupDB;
    case Table::VRVers:
        return VRVersDB;
    case Table::VerLookup:
        break;
    }
    return VerLookupDB;
}

void TMain::LoadStoreLists(bool create)
{
    ::LoadStoreLists(VMStoreDB, m_storeLists, create);
}

namespace {

// The library in the tree's order: by name, as CompareVMNames orders them, ties as listed.
QList<TMain::LibraryEntry> inTreeOrder(const QList<TMain::LibraryEntry>& library,
                                       const QList<int>& order)
{
    QList<TMain::LibraryEntry> sorted;
    sorted.reserve(library.size());
    for (const int at : order)
        sorted.append(library[at]);
    return sorted;
}

QList<TMain::LibraryEntry> inTreeOrder(const QList<TMain::LibraryEntry>& library)
{
    QStringList names;
    names.reserve(library.size());
    for (const TMain::LibraryEntry& vm : library)
        names.append(vm.name);
    return inTreeOrder(library, TreeOrder(names));
}

} // namespace

void TMain::BuildVMTree()
{
    QList<LibraryEntry> library;
    const QStringList files = LibraryScan(VMStoreDB);
    library.reserve(files.size());
    for (const QString& file : files)
        library.append({file, ReadVMFileValue(file, General, QStringLiteral("Status")) == Running,
                        VMNameOf(file)});
    BuildVMTree(inTreeOrder(library));
}

void TMain::BuildVMTree(const QList<LibraryEntry>& library)
{
    TV->clear();
    m_root = nullptr;
    if (TV->topLevelItemCount() > 0)
        return;
    m_root = new QTreeWidgetItem(TV, {RootCaption});
    m_root->setData(0, DatumRole, RootDatum);
    m_root->setIcon(0, vmIcon(false));
    TV->setCurrentItem(m_root);

    QList<QTreeWidgetItem*> items;
    items.reserve(library.size());
    // Two pictures shared by every item, rather than a picture made for each.
    const QIcon stopped = vmIcon(false);
    const QIcon running = vmIcon(true);
    for (const LibraryEntry& vm : library)
        items.append(new VMNode(vm.name, vm.file, vm.running, vm.running ? running : stopped));
    m_root->addChildren(items);
    m_root->setExpanded(true);
    setStatusPanel(0, QStringLiteral("Total Virtual Machines: %1").arg(items.size()));
    TV->viewport()->update();
}

void TMain::SelectFirstVM()
{
    if (m_root && m_root->childCount() > 0)
        TV->setCurrentItem(m_root->child(0));
}

bool TMain::selectVM(const QString& vmFile)
{
    if (!m_root)
        return false;
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem* node = m_root->child(i);
        if (node->data(0, DatumRole).toString() == vmFile) {
            TV->setCurrentItem(node);
            return true;
        }
    }
    return false;
}

void TMain::SetNodeState(const QString& vmName, bool running)
{
    if (!m_root)
        return;
    for (int i = 0; i < m_root->childCount(); ++i) {
        QTreeWidgetItem* node = m_root->child(i);
        if (node->text(0) == vmName) {
            node->setIcon(0, vmIcon(running));
            node->setData(0, RunningRole, running);
        }
    }
    TV->viewport()->update();
}

void TMain::SetNodeStateStopped(const QString& vmFile)
{
    SetNodeState(VMNameOf(vmFile), false);
}

QList<TMain::LibraryEntry> TMain::ResetEmbeddedSessions()
{
    // At the start the stores were scanned and the files read while the window was built; a later
    // reset scans and reads here.
    const bool usePreloaded = m_preload != nullptr;
    LibraryPreload::Result preloaded = usePreloaded ? m_preload->take() : LibraryPreload::Result();
    m_preload.reset();
    const QStringList files = usePreloaded ? preloaded.files : LibraryScan(VMStoreDB);
    QList<LibraryEntry> library;
    library.reserve(files.size());
    for (qsizetype at = 0; at < files.size(); ++at) {
        const QString& file = files[at];
        const QString name = usePreloaded ? preloaded.names[at] : VMNameOf(file);
        const LibraryPreload::VMState state =
            usePreloaded ? std::move(preloaded.states[at]) : LibraryPreload::stateOf(file);
        const bool running = state.status == Running;
        if (!running || state.outputId != QStringLiteral("0")) {
            library.append({file, running, name});
            continue;
        }
        // No panel is in use when the window starts, whatever the last run left.
        WriteVMFileValue(file, General, QStringLiteral("PanelID"), QString());
        const qint64 pid = ReadVMFileValue(file, General, QStringLiteral("StatusID")).toLongLong();
        if (isOwnEmbeddedQemu(file, pid)) {
            m_survivors.append({file, pid});
            library.append({file, true, name});
            continue;
        }
        const bool stopped =
            WriteVMFileValue(file, General, QStringLiteral("Status"), QStringLiteral("Stopped"));
        WriteVMFileValue(file, General, QStringLiteral("StatusID"), QString());
        library.append({file, !stopped, name});
    }
    QFile::remove(ProgramFolder::file(QStringLiteral("\\panels.dat")));
    return usePreloaded ? inTreeOrder(library, preloaded.treeOrder) : inTreeOrder(library);
}

void TMain::OfferSurvivingSessions()
{
    for (const auto& [file, pid] : std::exchange(m_survivors, {})) {
        if (!isOwnEmbeddedQemu(file, pid))
            continue; // it ended meanwhile: the sweep records that
        const QString name = VMNameOf(file);
        if (Interaction::confirm(
                this, QStringLiteral("The virtual machine \"%1\" is still running from an earlier "
                                     "session of Vimor. Show it in the main window again?")
                          .arg(name))) {
            const QString panel = Panels::AllocatePanel();
            if (panel != QLatin1String("ERR") &&
                WriteVMFileValue(file, General, QStringLiteral("PanelID"), panel)) {
                AttachDisplay(file);
                if (selectedVM() == file)
                    ShowPanel(panel);
                continue;
            }
        } else if (Interaction::confirm(
                       this, QStringLiteral("End \"%1\" now? Whatever its guest has not saved is "
                                            "lost. (No leaves it running unseen; Stop ends it "
                                            "later.)")
                                 .arg(name))) {
            // Checked again just before: the number must still be this VM's QEMU.
            if (isOwnEmbeddedQemu(file, pid))
                Processes::terminate(pid);
        }
    }
}

bool TMain::TerminateEmbeddedSessions()
{
    bool ended = false;
    const QStringList files = LibraryScan(VMStoreDB);
    for (const QString& file : files) {
        const IniSnapshot vm(file);
        if (vm.read(General, u"PanelID").isEmpty() || vm.read(General, u"Status") != Running)
            continue;
        bool ok = false;
        QString recorded = vm.read(General, u"StatusID");
        if (recorded.isEmpty())
            recorded = QStringLiteral("-1");
        const qint64 pid = recorded.trimmed().toLongLong(&ok);
        // An identifier given to another program since the VM started is not the VM's.
        if (ok && Processes::isQemu(pid) && Processes::terminate(pid)) {
            ended = true;
            continue;
        }
        WriteVMFileValue(file, General, QStringLiteral("Status"), QStringLiteral("Stopped"));
        WriteVMFileValue(file, General, QStringLiteral("StatusID"), QString());
        WriteVMFileValue(file, General, QStringLiteral("PanelID"), QString());
    }
    return ended;
}

bool TMain::VMNameExists(const QString& name)
{
    return ::VMNameExists(VMStoreDB, name);
}

void TMain::ShowStoresWindow()
{
    storesWindow().refill();
    Interaction::current().execDialog(storesWindow());
}

void TMain::TVChange(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    leaveNode(previous);
    enterNode(current);
}

void TMain::leaveNode(QTreeWidgetItem* node)
{
    if (!m_startingUp && isVMNode(node))
        WriteVMFileValue(node->data(0, DatumRole).toString(), General, QStringLiteral("TabIndex"),
                         QString::number(m_vmPages->currentIndex()));
    m_lastTabIndex = m_vmPages->currentIndex();
}

void TMain::enterNode(QTreeWidgetItem* node)
{
    if (!isVMNode(node)) {
        m_vmPages->hide();
        return;
    }
    ShowSettings();
    const QString panelId = ReadVMValue(General, QStringLiteral("PanelID"));
    ShowPanel(panelId);
    const bool running = ReadVMValue(General, QStringLiteral("Status")) == Running;
    // A screen that broke off or was never reached (a debug launch, a survivor of a crash) is
    // tried afresh when its VM is selected again.
    if (const DisplayPanel* shown = panel(panelId.trimmed().toInt());
        running && shown && shown->state() != DisplayConnection::State::Connected &&
        shown->state() != DisplayConnection::State::Connecting &&
        QemuGeneration::isModern(
            m_versions.VersionCode(ReadVMValue(General, QStringLiteral("Qemu Version ID")))))
        AttachDisplay(selectedVM());
    if (running && UsesMonitor(*this, selectedVM()))
        AttachMonitor();
    else if (m_monitorConnected)
        MonitorDisconnect();
    m_vmPages->setTabText(ConsoleTab,
                          running ? QStringLiteral("Console (Press Ctrl-Alt to unlock mouse)")
                                  : QStringLiteral("Console"));
    int tab = m_lastTabIndex;
    if (m_settings.rememberTabs) {
        const QString stored = ReadVMValue(General, QStringLiteral("TabIndex"));
        bool ok = false;
        tab = stored.isEmpty() ? 0 : stored.trimmed().toInt(&ok);
        if (!stored.isEmpty() && !ok)
            tab = 0;
    }
    if (tab >= 0 && tab < m_vmPages->count() && m_vmPages->isTabVisible(tab))
        m_vmPages->setCurrentIndex(tab);
}

void TMain::VMPagesChange(int index)
{
    if (index != MonitorTab || !m_monitorConnected)
        return;
    // Sent as it stands: a command would add a carriage return of its own, and QEMU a prompt.
    QString error;
    if (!m_monitor->sendData(QByteArrayLiteral("\r\n"), &error))
        setStatusPanel(2, QStringLiteral("Error: ") + error);
}

// The settings lists.

void TMain::ShowSettings()
{
    m_vmPages->show();
    if (selectedVM().isEmpty())
        return;
    FillSettingsLists(BuildSettingsView(*this), HLV, DLV, ALV, m_vmPages, ConsoleTab, MonitorTab,
                      m_images.mi);
}

namespace {

// The icon number and number of a list's selected row; icon -1 when no row is selected.
std::pair<int, QString> selectedRow(const QTreeWidget* list)
{
    const QTreeWidgetItem* row = list->currentItem();
    if (!row || !row->isSelected())
        return {-1, QString()};
    return {row->data(0, IconRole).toInt(), row->data(0, NumberRole).toString()};
}

} // namespace

std::pair<int, QString> TMain::selectedHardwareRow() const
{
    // The delete commands act on the hardware list only while it has the keyboard focus.
    if (QApplication::focusWidget() != HLV)
        return {-1, QString()};
    return selectedRow(HLV);
}

void TMain::HLVDblClick()
{
    const auto [icon, number] = selectedRow(HLV);
    if (icon < 0)
        return;
    switch (icon) {
    case 57:
        EditNetworkCard(*this, number);
        break;
    case 63:
        ShowUsbDevices();
        ShowSettings();
        break;
    default:
        hardwareEditors().edit(icon, number);
        break;
    }
}

void TMain::DLVDblClick()
{
    const int icon = selectedRow(DLV).first;
    if (icon >= ModernHardwareEditing::FirstDiskBusIcon &&
        icon <= ModernHardwareEditing::LastDiskBusIcon)
        hardwareEditors().edit(icon, QString());
    else if (icon >= 0)
        driveEditors().edit(icon);
}

void TMain::ALVDblClick()
{
    const int icon = selectedRow(ALV).first;
    if (icon >= 0)
        advancedEditors().edit(icon);
}

void TMain::AddNewNetworkCard1Click()
{
    ::AddNewNetworkCard1Click(*this);
}

void TMain::AddNewSerialPort1Click()
{
    ::AddNewSerialPort1Click(*this);
}

void TMain::AddNewParallelPort1Click()
{
    ::AddNewParallelPort1Click(*this);
}

void TMain::DeleteSelectedNetworkCard1Click()
{
    const auto [icon, number] = selectedHardwareRow();
    ::DeleteSelectedNetworkCard1Click(*this, icon, number);
}

void TMain::DeleteSelectedSerialPort1Click()
{
    const auto [icon, number] = selectedHardwareRow();
    ::DeleteSelectedSerialPort1Click(*this, icon, number);
}

void TMain::DeleteSelectedParallelPort1Click()
{
    const auto [icon, number] = selectedHardwareRow();
    ::DeleteSelectedParallelPort1Click(*this, icon, number);
}

void TMain::ShowLastLaunchCommand1Click()
{
    advancedEditors().ShowLastLaunchCommand1Click();
}

void TMain::ConfigureOperatingSystemsClick()
{
    operatingSystemsWindow().refill();
    Interaction::current().execDialog(operatingSystemsWindow());
}

// Display panels and the monitor.

DisplayPanel* TMain::panel(int number) const
{
    return number >= 1 && number <= PanelCount ? m_panels.at(number - 1) : nullptr;
}

void TMain::ShowPanel(const QString& panelId)
{
    bool ok = false;
    const int number = panelId.trimmed().toInt(&ok);
    DisplayPanel* shown = ok ? panel(number) : nullptr;
    // Another VM's screen, or none: the full-screen view ends first.
    if (m_fullScreen && m_fullScreen->panel() && m_fullScreen->panel() != shown)
        m_fullScreen->leave();
    for (int i = 1; i <= PanelCount; ++i)
        m_panels.at(i - 1)->setVisible(ok && i == number);
    const QString vmFile = selectedVM();
    if (shown && !vmFile.isEmpty() &&
        ReadVMFileValue(vmFile, General, QStringLiteral("PanelID")).trimmed() == panelId.trimmed())
        applyDisplayView(vmFile, shown);
    CentreDisplayPanel();
    updateDisplayActions();
}

void TMain::RemovePanel(const QString& panelId)
{
    Panels::RemovePanel(panelId);
    if (DisplayPanel* display = panel(panelId.trimmed().toInt())) {
        if (m_fullScreen && m_fullScreen->panel() == display)
            m_fullScreen->leave();
        display->disconnectDisplay();
    }
}

void TMain::AttachDisplay(const QString& vmFile)
{
    const QString panelId = ReadVMFileValue(vmFile, General, QStringLiteral("PanelID"));
    DisplayPanel* display = panel(panelId.trimmed().toInt());
    if (!display)
        return;
    QString error;
    const QString socket = EmbeddedDisplay::socketPath(vmFile, &error);
    if (socket.isEmpty()) {
        setStatusPanel(2, QStringLiteral("Error: ") + error);
        return;
    }
    const QString version = ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID"));
    display->setAbsolutePointer(EmbeddedDisplay::hasUsbTablet(
        vmFile, m_versions.VersionFlag(version, QStringLiteral("USB"))));
    prepareDisplay(vmFile, display);
    display->connectDisplay(socket);
}

void TMain::CentreDisplayPanel()
{
    const auto visible = std::find_if(m_panels.cbegin(), m_panels.cend(),
                                      [](const QWidget* p) { return !p->isHidden(); });
    if (visible == m_panels.cend() || (*visible)->parentWidget() != m_consoleCanvas)
        return;
    DisplayPanel* displayPanel = *visible;
    // A fitted screen takes the whole area, which then needs no scroll bars.
    displayPanel->setAvailableSize(m_consoleArea->maximumViewportSize());
    const QSize area = m_consoleArea->viewport()->size();
    displayPanel->move(CentredPanelPosition(area, displayPanel->size()));
    m_consoleCanvas->setMinimumSize(displayPanel->size());
    m_consoleArea->horizontalScrollBar()->setValue(0);
}

void TMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    CentreDisplayPanel();
}

bool TMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize &&
        (watched == m_consoleArea->viewport() ||
         m_panels.contains(qobject_cast<DisplayPanel*>(watched))))
        CentreDisplayPanel();
    return QMainWindow::eventFilter(watched, event);
}

void TMain::AttachMonitor()
{
    if (!(m_vmPages->isTabVisible(MonitorTab) || isVMNode(TV->currentItem())))
        return;
    if (!UsesMonitor(*this, selectedVM()) ||
        ReadVMValue(General, QStringLiteral("Status")) != Running)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_monitorTerminal->clear();
    if (m_monitorConnected)
        MonitorDisconnect();
    m_attachedMonitorVM = selectedVMName();
    const QString port = ReadVMValue(General, QStringLiteral("PortID"));
    if (!port.isEmpty())
        MonitorConnect(port.trimmed().toInt());
    QGuiApplication::restoreOverrideCursor();
}

void TMain::setMonitorConnected(bool connected)
{
    m_monitorConnected = connected;
    m_vmControlMenu->setEnabled(connected);
    m_consoleToolBar->setVisible(connected);
    m_consoleToolBar->setEnabled(connected);
}

// The output of QEMU and of the image tool is collected here, out of sight. The view is made
// with the first line: most sessions never collect one.
QPlainTextEdit& TMain::logView()
{
    if (!m_logView) {
        m_logView = new QPlainTextEdit(m_hardwarePage);
        m_logView->setReadOnly(true);
        m_logView->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_logView->hide();
        m_hardwarePage->layout()->addWidget(m_logView);
    }
    return *m_logView;
}

bool TMain::launchLogShown() const
{
    return m_logView && !m_logView->isHidden();
}

void TMain::setLaunchLogShown(bool on)
{
    logView().setVisible(on);
}

void TMain::ClearLog()
{
    if (m_logView)
        m_logView->clear();
}

void TMain::AppendLog(const QString& line)
{
    logView().appendPlainText(line);
}

bool TMain::MonitorConnect(int port)
{
    m_monitorPort = port;
    // Every QEMU keeps its monitor on a socket in the user's private folder, the selected VM's
    // own: VM Control never reaches another VM's QEMU.
    m_monitor->connectToSocket(Panels::MonitorSocketPath(RuntimeFolder::vimorFolder(),
                                                         EmbeddedDisplay::socketKey(selectedVM())));
    return true;
}

void TMain::MonitorDisconnect()
{
    QString error;
    if (!m_monitor->disconnectFromMonitor(&error))
        setStatusPanel(2, QStringLiteral("Error: ") + error);
    setMonitorConnected(false);
}

void TMain::MonitorDisconnectAfterQuit()
{
    QString error;
    if (!m_monitor->disconnectFromMonitor(&error, 3000))
        setStatusPanel(2, QStringLiteral("Error: ") + error);
    setMonitorConnected(false);
}

void TMain::SendMonitorCommand(const QString& command)
{
    m_vmControl->SendMonitorCommand(command);
}

// Commands of other windows.

void TMain::OpenUserManual()
{
    // A missing manual or viewer is not reported.
    const QString manual = ProgramFolder::file(QStringLiteral("\\vimor.pdf"));
    if (QFile::exists(manual))
        Shell::open(manual);
}

void TMain::ShowAbout()
{
    Interaction::current().execDialog(aboutDialog());
}

void TMain::BrowseMediaFolderClick()
{
    Shell::open(ProgramFolder::file(QStringLiteral("\\Media")));
}

// Commands carried out by the windows of other subsystems; the main window only hands them on.

void TMain::ShowUsbDevices()
{
    usbDevicesWindow().ShowUsbDevices();
}

void TMain::UpdateKqemuMenu()
{
    const bool installed = KqemuServiceState() != 0;
    m_installKqemu->setEnabled(!installed);
    m_uninstallKqemu->setEnabled(installed);
}

void TMain::StartUpdateCheck(const QString& url)
{
    updateChecker().StartUpdateCheck(url);
}

bool TMain::ShowFirstRunWizard()
{
    ++m_firstRunWizardShows;
    FirstRunSteps steps;
    steps.installKqemu = [this] {
        StopKqemuService();
        setStatusPanel(1, QString());
        RunInstaller(QStringLiteral("/INSTALL"));
        UpdateKqemuMenu();
    };
    steps.reReadSettings = [this] { ReadSettings(true); };
    return RunFirstRunWizard(this, m_settings, steps);
}

void TMain::CreateNewVirtualDiskClick()
{
    diskCreation().CreateNewVirtualDiskClick();
}
void TMain::NewVMClick()
{
    const QString vm = newVMWizard().NewVMClick();
    if (vm.isEmpty())
        return;
    BuildVMTree();
    selectVM(vm);
    ShowSettings();
}
void TMain::DeleteVMClick()
{
    if (::DeleteVMClick(*this) != VMDeletion::Deleted)
        return;
    m_vmPages->hide();
    BuildVMTree();
}
void TMain::VMControlClick(const QString& command)
{
    m_vmControl->run(command);
}

void TMain::createMonitor()
{
    m_monitor = new MonitorClient(this);
    connect(m_monitor, &MonitorClient::dataReceived, m_monitorTerminal, &MonitorTerminal::feed);
    connect(m_monitorTerminal, &MonitorTerminal::dataToSend, this, [this](const QByteArray& bytes) {
        if (m_monitor->isConnected())
            m_monitor->sendData(bytes);
    });
    connect(m_monitor, &MonitorClient::connected, this, [this] {
        setStatusPanel(2, QStringLiteral("QEMU Monitor Connected to ") + m_attachedMonitorVM);
        setMonitorConnected(true);
        CentreDisplayPanel();
        // With an encrypted disk older QEMU waits for its password; the launch starts that
        // dialogue. Today's QEMU has it from the start.
        const char* keys[] = {"HDAEnc", "HDBEnc", "HDCEnc", "HDDEnc"};
        const bool modern = QemuGeneration::isModern(
            m_versions.VersionCode(ReadVMValue(General, QStringLiteral("Qemu Version ID"))));
        for (const char* key : keys)
            if (!modern && ReadVMValue(QStringLiteral("Drives"), QString::fromLatin1(key)) == Yes)
                return;
        SendMonitorCommand(QStringLiteral("\r"));
    });
    connect(m_monitor, &MonitorClient::disconnected, this, [this] {
        setStatusPanel(2, QStringLiteral("QEMU Monitor Disonnected"));
        setMonitorConnected(false);
    });
    connect(m_monitor, &MonitorClient::errorOccurred, this, [this](const QString& text) {
        setStatusPanel(2, QStringLiteral("Error: ") + text);
        if (!m_monitor->isConnected())
            setStatusPanel(2, QStringLiteral("QEMU Console not connected"));
    });

    VMControl::Host host = VMControl::clientHost(*m_monitor);
    host.showStatus = [this](const QString& text) { setStatusPanel(2, text); };
    host.selectHardwareTab = [this] { m_vmPages->setCurrentIndex(HardwareTab); };
    host.chooseDrive = [this](const QStringList& letters) -> std::optional<QString> {
        if (!m_physicalDriveDialog)
            m_physicalDriveDialog = new PhysicalDriveDialog(this);
        m_physicalDriveDialog->start(letters);
        if (Interaction::current().execDialog(*m_physicalDriveDialog) != QDialog::Accepted)
            return std::nullopt;
        return m_physicalDriveDialog->chosenDrive();
    };
    host.dialogParent = [this] { return static_cast<QWidget*>(this); };
    // The monitor is the selected VM's.
    host.clipboardChannel = [this] { return ClipboardChannel::IsOpen(selectedVM()); };
    m_vmControl = new VMControl(host, this);
    connect(m_vmControl, &VMControl::pausedChanged, this, &TMain::showPauseState);
}

void TMain::showPauseState(bool paused)
{
    m_pauseButton->setProperty("picture", paused ? ResumePicture : PausePicture);
    m_pauseButton->setIcon(QIcon(m_images.ti.image(paused ? ResumePicture : PausePicture)));
    m_pauseAction->setText(m_vmControl->pauseCaption());
}
void TMain::ConfigureTapClick()
{
    ConfigureTapAdapters(this);
}
void TMain::OpenMediaWizard()
{
    mediaWizard().OpenMediaWizard();
}
void TMain::QemuVersionManagementClick()
{
    versionControl().run();
}
void TMain::ShowOptions()
{
    optionsDialog().ShowOptions(m_settings);
}
void TMain::CheckForUpdates2Click()
{
    updateChecker().CheckForUpdates2Click();
}

// Launching and stopping VMs, and the process watcher.

void TMain::PlayClick()
{
    m_launcher->PlayClick();
}

void TMain::StopClick()
{
    m_launcher->StopClick();
}

bool TMain::SweepProcesses()
{
    return m_launcher->SweepProcesses();
}

bool TMain::CheckPanelSessions()
{
    return m_launcher->CheckPanelSessions();
}

void TMain::InstallKqemuClick()
{
    m_launcher->InstallKqemuClick();
}

void TMain::UninstallKqemuClick()
{
    m_launcher->UninstallKqemuClick();
}

bool TMain::selectedNodeRunning() const
{
    const QTreeWidgetItem* node = TV->currentItem();
    return isVMNode(node) && node->data(0, RunningRole).toBool();
}

void TMain::setMainWindowEnabled(bool enabled)
{
    setEnabled(enabled);
}

void TMain::repaintTree()
{
    TV->viewport()->update();
}

void TMain::setConsoleCaption(const QString& caption)
{
    m_vmPages->setTabText(ConsoleTab, caption);
}

void TMain::selectRunTab(RunTab tab)
{
    switch (tab) {
    case RunTab::Hardware:
        m_vmPages->setCurrentIndex(HardwareTab);
        break;
    case RunTab::Console:
        m_vmPages->setCurrentIndex(ConsoleTab);
        break;
    case RunTab::Monitor:
        m_vmPages->setCurrentIndex(MonitorTab);
        break;
    }
}

bool TMain::monitorTabShown() const
{
    return m_vmPages->isTabVisible(MonitorTab);
}

void TMain::setSysTimerEnabled(bool on)
{
    if (on)
        m_sysTimer->start();
    else
        m_sysTimer->stop();
}

QString TMain::logText() const
{
    return m_logView ? m_logView->toPlainText() : QString();
}

LaunchEnvironment TMain::launchEnvironment()
{
    LaunchEnvironment env;
    env.panelWindowId = [this](int number) {
        const QWidget* display = panel(number);
        return display ? QString::number(display->winId()) : QString();
    };
    env.hideRunTabs = [this] {
        m_vmPages->setTabVisible(ConsoleTab, false);
        m_vmPages->setTabVisible(MonitorTab, false);
    };
    env.kvmDevice = m_kvmDevice;
    return env;
}
