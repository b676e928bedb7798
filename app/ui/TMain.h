#pragma once

#include "app/LibraryPreload.h"
#include "launch/ui/DisplayPanel.h"
#include "launch/ui/Launcher.h"
#include "library/VMStores.h"
#include "model/Settings.h"
#include "model/TableHandle.h"
#include "model/VMContext.h"
#include "platform/ui/ImageLibrary.h"
#include "versions/VersionRegistry.h"

#include <QFont>
#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <memory>

class AboutDialog;
class AdvancedEditors;
class DiskCreation;
class DriveEditors;
class FullScreenDisplay;
class MediaWizard;
class NewVMWizard;
class OptionsDialog;
class UpdateChecker;
class UsbDevicesWindow;
class VersionControlWindow;
class MonitorClient;
class MonitorTerminal;
class PhysicalDriveDialog;
class VMControl;
class SnapshotChooser;
class HardwareEditors;
class OperatingSystemsWindow;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class VMStoresWindow;

// The main window: owns the VM tree, the settings lists, the display panels, the tables' handles
// and the timers, and carries out start-up and shutdown.
class TMain final : public QMainWindow, public VMContext, public LaunchHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMain)

public:
    static constexpr int PanelCount = 20;
    // Pictures of the control toolbar's strip the pause button switches between.
    static constexpr int PausePicture = 4;
    static constexpr int ResumePicture = 5;
    // Positions of the VM page's tabs, as "TabIndex" stores them.
    enum Tab
    {
        HardwareTab,
        DrivesTab,
        AdvancedTab,
        ConsoleTab,
        MonitorTab
    };

    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;

    // The seven handles on the tables, pointed at the program folder.
    TableHandle OpSysDB;
    TableHandle ProcessDB;
    TableHandle ScanProcDB;
    TableHandle VMStoreDB;
    TableHandle VLookupDB;
    TableHandle VRVersDB;
    TableHandle VerLookupDB;

    // The start-up sequence; afterWizard re-reads the settings after the first-run wizard and
    // skips the pictures, the tables, the session reset and the update check.
    void ReadSettings(bool afterWizard);
    void RunFirstRunStep();
    void OpenUserManual();
    void ShowAbout();
    void RestoreFromTray();
    // Closing, as "&Exit Vimor" and "Quit Vimor" do it.
    void ExitClick();

    // The selected VM's definition file (the selected tree node's datum); empty when none.
    QString selectedVM() const override;
    // The selected VM's name (its tree caption); empty when none.
    QString selectedVMName() const override;
    // A key of the selected VM's file; empty when no VM is selected or the key is missing.
    QString ReadVMValue(const QString& section, const QString& key) const override;
    // Writes a key to the file at path, or to the selected VM's file when path is empty. A write
    // that fails is reported to the user and returns false.
    bool WriteVMValue(const QString& path, const QString& section, const QString& key,
                      const QString& value) override;

    // The VM library.
    StoreLists& storeLists() { return m_storeLists; }
    VersionRegistry& versions() override { return m_versions; }
    TableHandle& table(Table which) override;
    QWidget* dialogParent() override { return this; }
    void ClearLog() override;
    void AppendLog(const QString& line) override;
    // A VM definition file of the library and whether it is recorded as running.
    struct LibraryEntry
    {
        QString file;
        bool running = false;
        QString name; // VMNameOf(file)
    };
    void LoadStoreLists(bool create);
    void BuildVMTree();
    // Fills the tree with the library's files, given in the tree's order.
    void BuildVMTree(const QList<LibraryEntry>& library);
    void SelectFirstVM();
    // Selects the VM node of the given definition file; false when the tree has none.
    bool selectVM(const QString& vmFile);
    // Gives the VM nodes of that name the running or the VM picture.
    void SetNodeState(const QString& vmName, bool running) override;
    void SetNodeStateStopped(const QString& vmFile);
    // Stops the recorded sessions of VMs shown inside the window, which ended with the last run,
    // and returns the library's files with their run states afterwards, in the tree's order.
    QList<LibraryEntry> ResetEmbeddedSessions();
    // VMs shown in the main window of a run that ended without closing them (a crash): their QEMU
    // runs on, and the user is asked to show them again or end them once the window is up.
    void OfferSurvivingSessions();
    bool TerminateEmbeddedSessions();
    bool VMNameExists(const QString& name);
    void ShowStoresWindow();

    // Display panels and the monitor.
    DisplayPanel* panel(int number) const; // P1 to P20, number from 1
    void ShowPanel(const QString& panelId) override;
    void RemovePanel(const QString& panelId) override;
    void AttachDisplay(const QString& vmFile) override;
    void CentreDisplayPanel();
    // The console's view of the selected VM's screen ("Fit to Window", "Actual Size", kept in the
    // VM's file), full screen, a screenshot and the clipboard typed in.
    DisplayPanel* visiblePanel() const;
    void SetDisplayScaling(DisplayPanel::Scaling scaling);
    void FullScreenClick();
    void SaveScreenshotClick();
    void TypeClipboardTextClick();
    FullScreenDisplay& fullScreenDisplay();
    QAction* fitAction() const { return m_fitAction; }
    QAction* actualSizeAction() const { return m_actualSizeAction; }
    QAction* fullScreenAction() const { return m_fullScreenAction; }
    QAction* screenshotAction() const { return m_screenshotAction; }
    QAction* typeClipboardAction() const { return m_typeClipboardAction; }
    void AttachMonitor() override;
    bool monitorConnected() const override { return m_monitorConnected; }
    void setMonitorConnected(bool connected);
    QString attachedMonitorVM() const { return m_attachedMonitorVM; }
    int monitorPort() const { return m_monitorPort; }

    // Run-time state other windows read.
    bool startingUp() const override { return m_startingUp; }
    void setStartingUp(bool on) override { m_startingUp = on; }
    const StartSettings& startSettings() const override { return m_settings; }
    StartSettings& startSettings() { return m_settings; }
    const ImageLibrary& images() const override { return m_images; }
    QString statusPanel(int index) const;
    void setStatusPanel(int index, const QString& text) override;
    void showLaunchNotes(const QStringList& notes) override;
    // VM > "Show Launch Log": QEMU's output and the launch's notes under the settings.
    QAction* launchLogAction() const { return m_launchLogAction; }
    bool launchLogShown() const;
    void setLaunchLogShown(bool on);
    QFont terminalFont() const { return m_terminalFont; }
    bool sysTimerActive() const;
    int firstRunWizardShows() const { return m_firstRunWizardShows; }
    bool trayIconVisible() const;
    // Whether the desktop has a notification area; replaceable for tests.
    std::function<bool()> systemTrayAvailable;
    QTreeWidget* tree() const { return TV; }
    QTabWidget* vmPages() const { return m_vmPages; }
    int lastTabIndex() const { return m_lastTabIndex; }
    QMenu* hardwareMenu() const { return m_hardwareMenu; }
    QMenu* vmControlMenu() const { return m_vmControlMenu; }
    QToolBar* consoleToolBar() const { return m_consoleToolBar; }
    MonitorClient* monitorClient() const { return m_monitor; }
    MonitorTerminal* monitorTerminal() const { return m_monitorTerminal; }
    QAction* pauseAction() const { return m_pauseAction; }
    QAction* pauseButton() const { return m_pauseButton; }

    // The settings lists: each double-click opens the editor of the row's icon number.
    void ShowSettings() override;
    void HLVDblClick();
    void DLVDblClick();
    void ALVDblClick();
    QTreeWidget* hardwareList() const { return HLV; }
    QTreeWidget* drivesList() const { return DLV; }
    QTreeWidget* advancedList() const { return ALV; }

    // Steps carried out by the subsystems they belong to.
    void ShowUsbDevices();
    bool CheckPanelSessions();
    bool SweepProcesses();
    void UpdateKqemuMenu() override;
    void StartUpdateCheck(const QString& url);
    bool ShowFirstRunWizard();
    void MonitorDisconnect() override;
    void MonitorDisconnectAfterQuit() override;
    bool MonitorConnect(int port);
    void SendMonitorCommand(const QString& command) override;

    // Menu and toolbar commands.
    void CreateNewVirtualDiskClick();
    void NewVMClick();
    void DeleteVMClick();
    void PlayClick();
    void StopClick();
    void AddNewNetworkCard1Click();
    void AddNewSerialPort1Click();
    void AddNewParallelPort1Click();
    void DeleteSelectedNetworkCard1Click();
    void DeleteSelectedSerialPort1Click();
    void DeleteSelectedParallelPort1Click();
    void VMControlClick(const QString& command);
    void InstallKqemuClick();
    void UninstallKqemuClick();
    void ShowLastLaunchCommand1Click();
    void ConfigureOperatingSystemsClick();
    void ConfigureTapClick();
    void OpenMediaWizard();
    void QemuVersionManagementClick();
    void BrowseMediaFolderClick();
    void ShowOptions();
    void CheckForUpdates2Click();

    // Launching and stopping VMs, and the process watcher.
    Launcher& launcher() { return *m_launcher; }
    bool selectedNodeRunning() const override;
    void setMainWindowEnabled(bool enabled) override;
    void repaintTree() override;
    void setConsoleCaption(const QString& caption) override;
    void selectRunTab(RunTab tab) override;
    bool monitorTabShown() const override;
    void setSysTimerEnabled(bool on) override;
    QString logText() const override;
    LaunchEnvironment launchEnvironment() override;
    // The device that offers KVM to launches ("/dev/kvm" when empty); benchmarks that compare
    // emulated runs name one that is not there.
    void setKvmDevice(const QString& device) { m_kvmDevice = device; }

signals:
    // The user closed the window and confirmed it: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createToolBar();
    void createPages();
    void createStatusBar();
    void createTray();
    QSystemTrayIcon& trayIcon();
    // The monitor client, its terminal and the VM control commands, bound together.
    void createMonitor();
    void showPauseState(bool paused);
    // Gives the toolbars and tabs their pictures once the image library is loaded.
    void applyPictures();
    void openTables();
    void SysTimerTimer();
    void FormDestroy();
    void TVChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void leaveNode(QTreeWidgetItem* node);
    void enterNode(QTreeWidgetItem* node);
    void VMPagesChange(int index);
    bool isVMNode(const QTreeWidgetItem* node) const;
    // The selected row of the hardware list: its icon number (-1 when none) and number.
    std::pair<int, QString> selectedHardwareRow() const;
    QIcon vmIcon(bool running) const;

    // The library as scanned and read while the window was being built; the start's reset takes
    // it.
    std::unique_ptr<LibraryPreload> m_preload;
    QList<std::pair<QString, qint64>> m_survivors; // VM file, its QEMU
    StartSettings m_settings;
    ImageLibrary m_images;
    StoreLists m_storeLists;
    VersionRegistry m_versions;
    QFont m_terminalFont;
    bool m_startingUp = true;
    bool m_destroyed = false;
    bool m_monitorConnected = false;
    int m_monitorPort = 0;
    QString m_attachedMonitorVM;
    int m_lastTabIndex = 0;
    int m_firstRunWizardShows = 0;

    QTreeWidget* TV = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QTabWidget* m_pages = nullptr;
    QTabWidget* m_vmPages = nullptr;
    QSplitter* m_splitter = nullptr;
    QTreeWidget* HLV = nullptr;
    QTreeWidget* DLV = nullptr;
    QTreeWidget* ALV = nullptr;
    QWidget* m_hardwarePage = nullptr;
    QPlainTextEdit* m_logView = nullptr;
    QPlainTextEdit& logView();
    QScrollArea* m_consoleArea = nullptr;
    QWidget* m_consoleCanvas = nullptr;
    AboutDialog& aboutDialog();
    VMStoresWindow& storesWindow();
    OperatingSystemsWindow& operatingSystemsWindow();
    HardwareEditors& hardwareEditors();
    AdvancedEditors& advancedEditors();
    DiskCreation& diskCreation();
    MediaWizard& mediaWizard();
    DriveEditors& driveEditors();
    OptionsDialog& optionsDialog();
    VersionControlWindow& versionControl();
    UsbDevicesWindow& usbDevicesWindow();
    NewVMWizard& newVMWizard();
    UpdateChecker& updateChecker();

    QList<DisplayPanel*> m_panels;
    void createDisplayActions();
    void applyDisplayView(const QString& vmFile, DisplayPanel* panel);
    // Scaling, resolution and clipboard as the VM's file has them, before its panel connects.
    void prepareDisplay(const QString& vmFile, DisplayPanel* panel);
    void updateDisplayActions();
    std::unique_ptr<FullScreenDisplay> m_fullScreen;
    QAction* m_fitAction = nullptr;
    QAction* m_actualSizeAction = nullptr;
    QAction* m_fullScreenAction = nullptr;
    QAction* m_screenshotAction = nullptr;
    QAction* m_typeClipboardAction = nullptr;
    QWidget* m_terminal = nullptr;
    QToolBar* m_mainToolBar = nullptr;
    QToolBar* m_consoleToolBar = nullptr;
    QMenu* m_hardwareMenu = nullptr;
    QMenu* m_vmControlMenu = nullptr;
    QAction* m_installKqemu = nullptr;
    QAction* m_uninstallKqemu = nullptr;
    QList<QLabel*> m_statusPanels;
    QTimer* m_sysTimer = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QIcon m_trayPicture;
    QMenu* m_trayMenu = nullptr;
    AboutDialog* m_about = nullptr;
    VMStoresWindow* m_storesWindow = nullptr;
    OperatingSystemsWindow* m_operatingSystems = nullptr;
    HardwareEditors* m_hardwareEditors = nullptr;
    AdvancedEditors* m_advancedEditors = nullptr;
    DiskCreation* m_diskCreation = nullptr;
    MediaWizard* m_mediaWizard = nullptr;
    DriveEditors* m_driveEditors = nullptr;
    Launcher* m_launcher = nullptr;
    MonitorClient* m_monitor = nullptr;
    OptionsDialog* m_options = nullptr;
    UpdateChecker* m_updates = nullptr;
    VersionControlWindow* m_versionControl = nullptr;
    UsbDevicesWindow* m_usbDevices = nullptr;
    NewVMWizard* m_newVMWizard = nullptr;
    MonitorTerminal* m_monitorTerminal = nullptr;
    QString m_kvmDevice;
    VMControl* m_vmControl = nullptr;
    PhysicalDriveDialog* m_physicalDriveDialog = nullptr;
    QAction* m_pauseAction = nullptr;
    QAction* m_launchLogAction = nullptr;
    QAction* m_pauseButton = nullptr;
};
