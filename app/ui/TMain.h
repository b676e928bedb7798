#pragma once

#include "app/ui/ImageLibrary.h"
#include "model/Settings.h"
#include "model/TableHandle.h"

#include <QFont>
#include <QMainWindow>

class AboutDialog;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;

// The main window: owns the VM tree, the settings lists, the display panels, the tables' handles
// and the timers, and carries out start-up and shutdown.
class TMain final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMain)

public:
    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;

    // The start-up sequence; afterWizard re-reads the settings after the first-run wizard and
    // skips the pictures, the tables, the session reset and the update check.
    void ReadSettings(bool afterWizard);
    void RunFirstRunStep();
    void OpenUserManual();
    void ShowAbout();
    void RestoreFromTray();
    // Closing, as "&Exit Vimor" and "Quit Vimor" do it.
    void ExitClick();

    // Run-time state other windows read.
    bool startingUp() const { return m_startingUp; }
    void setStartingUp(bool on) { m_startingUp = on; }
    const StartSettings& startSettings() const { return m_settings; }
    StartSettings& startSettings() { return m_settings; }
    const ImageLibrary& images() const { return m_images; }
    QString statusPanel(int index) const;
    void setStatusPanel(int index, const QString& text);
    QFont terminalFont() const { return m_terminalFont; }
    bool sysTimerActive() const;
    int firstRunWizardShows() const { return m_firstRunWizardShows; }
    bool trayIconVisible() const;

    // The seven handles on the tables, pointed at the program folder.
    TableHandle OpSysDB;
    TableHandle ProcessDB;
    TableHandle ScanProcDB;
    TableHandle VMStoreDB;
    TableHandle VLookupDB;
    TableHandle VRVersDB;
    TableHandle VerLookupDB;

    // Steps carried out by the subsystems they belong to.
    void ResetEmbeddedSessions();
    void LoadStoreLists(bool create);
    void BuildVMTree();
    void SelectFirstVM();
    bool CheckPanelSessions();
    bool TerminateEmbeddedSessions();
    void SweepProcesses();
    void UpdateKqemuMenu();
    void StartUpdateCheck(const QString& url);
    bool ShowFirstRunWizard();

signals:
    // The user closed the window and confirmed it: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void createStatusBar();
    void createTray();
    void openTables();
    void SysTimerTimer();
    void FormDestroy();

    StartSettings m_settings;
    ImageLibrary m_images;
    QFont m_terminalFont;
    bool m_startingUp = true;
    bool m_destroyed = false;
    int m_firstRunWizardShows = 0;
    QList<QLabel*> m_statusPanels;
    QTimer* m_sysTimer = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    AboutDialog* m_about = nullptr;
};
