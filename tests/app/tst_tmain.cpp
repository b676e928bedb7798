#include "app/ui/ConsoleFont.h"
#include "app/ui/TMain.h"
#include "launch/ui/MonitorTerminal.h"
#include "library/ui/VMStoresWindow.h"
#include "model/ProgramFolder.h"
#include "model/Settings.h"
#include "model/VMFile.h"
#include "platform/ui/ImageLibrary.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

ScriptedInteraction* installScript()
{
    auto script = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* raw = script.get();
    Interaction::install(std::move(script));
    return raw;
}

void writeSettings(const TempProgramFolder& folder, const QByteArray& text)
{
    QVERIFY(folder.write(QStringLiteral("vimor.ini"), text));
}

} // namespace

class TestTMain : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_script = installScript();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    }

    void startSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("stopServices");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("enableUpdates");
        QTest::addColumn<QString>("url");
        QTest::addColumn<double>("version");
        QTest::addColumn<int>("wizard");

        QTest::newRow("no settings file")
            << QByteArray() << false << false << false << QString() << 0.0 << 0;
        QTest::newRow("flags compare with case")
            << QByteArray("[General]\r\nStop Services=true\r\nMaximized=yes\r\n"
                          "[Updates]\r\nEnableUpdates=yes\r\nURL=http://x\r\n")
            << false << false << false << QString() << 0.0 << 0;
        QTest::newRow("flags on") << QByteArray(
                                         "[General]\r\nStop Services=True\r\nMaximized=Yes\r\n"
                                         "Wizard7Complete=1\r\n[Updates]\r\nEnableUpdates=Yes\r\n"
                                         "URL=http://127.0.0.1/v.txt\r\nVersion=7.0\r\n")
                                  << true << true << true
                                  << QStringLiteral("http://127.0.0.1/v.txt") << 7.0 << 1;
        QTest::newRow("numbers that are not numbers")
            << QByteArray("[General]\r\nWizard7Complete=done\r\n[Updates]\r\nVersion=seven\r\n")
            << false << false << false << QString() << 0.0 << 0;
        QTest::newRow("decimal comma") << QByteArray("[Updates]\r\nVersion=7,1\r\n") << false
                                       << false << false << QString() << 7.1 << 0;
    }

    void startSettings()
    {
        QFETCH(QByteArray, ini);
        TempProgramFolder folder;
        if (!ini.isEmpty())
            writeSettings(folder, ini);
        const StartSettings settings = ReadStartSettings(SettingsFile());
        QTEST(settings.stopServices, "stopServices");
        QTEST(settings.maximized, "maximized");
        QTEST(settings.enableUpdates, "enableUpdates");
        QTEST(settings.updateUrl, "url");
        QTEST(settings.version, "version");
        QTEST(settings.wizardComplete, "wizard");
        QCOMPARE(settings.qemuFolder, folder.path() + QStringLiteral("\\qemu"));
    }

    void windowFollowsSettings_data() { startSettings_data(); }
    void windowFollowsSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, stopServices);
        QFETCH(bool, maximized);
        QFETCH(bool, enableUpdates);
        QFETCH(QString, url);
        QFETCH(double, version);
        QFETCH(int, wizard);
        TempProgramFolder folder;
        if (!ini.isEmpty())
            writeSettings(folder, ini);

        TMain window;
        const StartSettings& settings = window.startSettings();
        QCOMPARE(settings.stopServices, stopServices);
        QCOMPARE(settings.maximized, maximized);
        QCOMPARE(bool(window.windowState() & Qt::WindowMaximized), maximized);
        QCOMPARE(settings.enableUpdates, enableUpdates);
        QCOMPARE(settings.updateUrl, url);
        QCOMPARE(settings.version, version);
        QCOMPARE(settings.wizardComplete, wizard);
        QCOMPARE(window.windowTitle(), QStringLiteral("Vimor 7.0"));
        QCOMPARE(window.statusPanel(1), QString()); // no KQEMU driver on this host
        // The process watcher runs once the first run has been completed.
        QCOMPARE(window.sysTimerActive(), wizard > 0);
        QVERIFY(m_script->shown().isEmpty());
    }

    void firstRunWizardOnlyOnFirstShow()
    {
        TempProgramFolder folder;
        TMain window;
        QVERIFY(window.startingUp());
        window.show();
        QTRY_VERIFY(!window.startingUp());
        QCOMPARE(window.firstRunWizardShows(), 1);
        window.hide();
        window.show();
        QTest::qWait(20);
        QCOMPARE(window.firstRunWizardShows(), 1);
    }

    void noWizardOnceCompleted()
    {
        TempProgramFolder folder;
        writeSettings(folder, "[General]\r\nWizard7Complete=1\r\n");
        TMain window;
        window.show();
        QTRY_VERIFY(!window.startingUp());
        QCOMPARE(window.firstRunWizardShows(), 0);
    }

    void missingTableIsReported()
    {
        TempProgramFolder folder;
        QVERIFY(QFile::remove(folder.file(QStringLiteral("vmstore.dat"))));
        TMain window;
        const QString expected = QStringLiteral("Open: file not found: \"%1\".")
                                     .arg(folder.file(QStringLiteral("vmstore.dat")));
        QCOMPARE(m_script->shownTexts(), QStringList{expected});
        QVERIFY(!window.VMStoreDB.isOpen());
        QVERIFY(window.OpSysDB.isOpen());
        QVERIFY(window.ProcessDB.isOpen());
        QVERIFY(window.ScanProcDB.isOpen());
        QVERIFY(!window.VRVersDB.isOpen()); // opened on demand
    }

    void installConsoleFontTwice()
    {
        TempProgramFolder folder;
        QVERIFY(QFile::copy(QStringLiteral(VIMOR_CONSOLE_FONT),
                            folder.file(QStringLiteral("term_hex.fon"))));
        TMain window;
        InstallConsoleFont(&window);
        InstallConsoleFont(&window);
        QCOMPARE(m_script->shownTexts(),
                 (QStringList{QStringLiteral("Font Installed Successfully"),
                              QStringLiteral("Font is already installed")}));
        QCOMPARE(m_script->shown().at(0).kind, QStringLiteral("information"));
        QCOMPARE(m_script->shown().at(1).kind, QStringLiteral("error"));
        QCOMPARE(SettingsFile().value(SettingKeys::ConsoleFontInstalled), QStringLiteral("Yes"));
        QVERIFY(QFile::exists(m_dataHome.filePath(QStringLiteral("fonts/vimor-term_hex.ttf"))));
        // The terminal's family now resolves to the shipped fixed-pitch font.
        QVERIFY(QFontInfo(ConsoleFont()).fixedPitch());
    }

    void installConsoleFontWithoutFontFile()
    {
        TempProgramFolder folder;
        TMain window;
        InstallConsoleFont(&window);
        QVERIFY(m_script->shown().isEmpty());
        QCOMPARE(SettingsFile().value(SettingKeys::ConsoleFontInstalled), QString());
    }

    void closingWithoutPanelSessionsAsksNothing()
    {
        TempProgramFolder folder;
        TMain window;
        window.show();
        QSignalSpy closed(&window, &TMain::closed);
        window.ExitClick();
        QCOMPARE(closed.count(), 1);
        QVERIFY(m_script->shown().isEmpty());
    }

    void destructionRemovesRunTimeFiles()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(QStringLiteral("panels.dat"), "1\r\n"));
        QVERIFY(folder.write(QStringLiteral("VRPorts.dat"), "60001\r\n"));
        {
            TMain window;
        }
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("panels.dat"))));
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("VRPorts.dat"))));
    }

    // The removal's rules are tested with it; here only that start-up looks in both places.
    void startUpRemovesWriteLeftovers()
    {
        TempProgramFolder folder;
        const QStringList leftovers = {QStringLiteral("vimor.ini.AbCdEf"),
                                       QStringLiteral("VMs/Web.vm2.GhIjKl")};
        for (const QString& name : leftovers) {
            QFile file(folder.file(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                                     QFileDevice::FileModificationTime));
        }
        TMain window;
        for (const QString& name : leftovers)
            QVERIFY2(!QFile::exists(folder.file(name)), qPrintable(name));
    }

    void imageLibrary()
    {
        TempProgramFolder folder;
        QVERIFY(QFile::copy(QStringLiteral(VIMOR_IMAGE_LIBRARY),
                            folder.file(QStringLiteral("vimordll.dll"))));
        TMain window;
        QVERIFY(m_script->shown().isEmpty());
        QCOMPARE(window.images().mi.count(), 84);
        QCOMPARE(window.images().ni.count(), 20);
        QCOMPARE(window.images().ti.count(), 11);
        QCOMPARE(window.images().ta.count(), 5);
        for (int i = 0; i < 84; ++i)
            QVERIFY2(!window.images().mi.image(i).isNull(), qPrintable(QString::number(i)));
        QVERIFY(window.images().ni.image(20).isNull());
        // The stores window's rows show the store picture.
        window.ShowStoresWindow();
        const auto* stores = window.findChild<VMStoresWindow*>();
        QVERIFY(stores && stores->list()->topLevelItemCount() > 0);
        QVERIFY(!stores->list()->topLevelItem(0)->icon(0).isNull());
    }

    void damagedImageLibrary()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(QStringLiteral("vimordll.dll"), "MZ not a resource file"));
        TMain window;
        QCOMPARE(m_script->shownTexts(),
                 QStringList(4, QStringLiteral("Cannot load VIMORDLL.DLL")));
        QCOMPARE(window.images().mi.count(), 0);
        QCOMPARE(window.images().ta.count(), 0);
    }

    void noImageLibraryRunsWithoutPictures()
    {
        TempProgramFolder folder;
        TMain window;
        QVERIFY(m_script->shown().isEmpty());
        QCOMPARE(window.images().ni.count(), 0);
        QVERIFY(window.images().ni.image(8).isNull());
    }

    void magentaIsTransparent()
    {
        QTemporaryDir dir;
        QImage picture(4, 1, QImage::Format_RGB32);
        picture.setPixel(0, 0, qRgb(255, 0, 255));
        picture.setPixel(1, 0, qRgb(255, 0, 254));
        picture.setPixel(2, 0, qRgb(0, 0, 0));
        picture.setPixel(3, 0, qRgb(255, 255, 255));
        QVERIFY(picture.save(dir.filePath(QStringLiteral("XX1.png"))));
        QFile qrc(dir.filePath(QStringLiteral("x.qrc")));
        QVERIFY(qrc.open(QIODevice::WriteOnly));
        qrc.write("<RCC><qresource prefix=\"/\"><file>XX1.png</file></qresource></RCC>");
        qrc.close();
        QProcess rcc;
        rcc.setWorkingDirectory(dir.path());
        rcc.start(QStringLiteral(VIMOR_RCC), {QStringLiteral("--binary"), QStringLiteral("-o"),
                                              QStringLiteral("lib.dll"), QStringLiteral("x.qrc")});
        QVERIFY(rcc.waitForFinished() && rcc.exitCode() == 0);
        ImageStrip strip;
        QVERIFY(LoadImageStrip(dir.filePath(QStringLiteral("lib.dll")), QStringLiteral("XX"), 2,
                               strip));
        QCOMPARE(strip.count(), 2);
        const QImage loaded = strip.image(0).toImage();
        QCOMPARE(qAlpha(loaded.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(loaded.pixel(1, 0)), 255);
        QCOMPARE(loaded.pixel(3, 0), qRgb(255, 255, 255));
        QVERIFY(strip.image(1).isNull()); // missing from the library, yet keeps its place
    }

    void dockHidesIntoTray()
    {
        TempProgramFolder folder;
        writeSettings(folder, "[General]\r\nDock=Yes\r\nWizard7Complete=1\r\n");
        TMain window;
        // Without a notification area the window could not come back: it only minimises.
        window.systemTrayAvailable = [] { return false; };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QVERIFY(window.isVisible() && !window.trayIconVisible());
        window.systemTrayAvailable = [] { return true; };
        window.setWindowState(Qt::WindowNoState);
        window.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(window.trayIconVisible());
        window.RestoreFromTray();
        QVERIFY(window.isVisible());
        QVERIFY(!window.trayIconVisible());
        QVERIFY(!(window.windowState() & Qt::WindowMinimized));
    }

    void noDockMinimisesOnly()
    {
        TempProgramFolder folder;
        writeSettings(folder, "[General]\r\nDock=yes\r\nWizard7Complete=1\r\n");
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QVERIFY(window.isVisible());
        QVERIFY(!window.trayIconVisible());
    }

    // Help > "View User Manual" opens the manual the build printed into the program folder.
    void manualChapters()
    {
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral(VIMOR_MANUAL), QStringLiteral("-")});
        if (!text.waitForFinished(30000))
            QSKIP("pdftotext is needed (package poppler-utils)");
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QFile source(QStringLiteral(VIMOR_MANUAL_SOURCE));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QStringList chapters = QString::fromUtf8(source.readAll())
                                         .split(QLatin1Char('\n'))
                                         .filter(QRegularExpression(QStringLiteral("^## ")));
        QCOMPARE(chapters.size(), 10);
        for (const QString& chapter : chapters)
            QVERIFY2(printed.contains(chapter.mid(3) + QLatin1Char('\n')), qPrintable(chapter));
    }

    // A dialog's title on a real X server: Qt's X11 back end would append an application display
    // name ("Vimor First Run Wizard — Vimor 7.0"), which windowTitle() never shows.
    void x11DialogTitle()
    {
        TempProgramFolder folder; // no settings file: the first-run wizard opens
        QProcess run;
        run.start(
            QStringLiteral("xvfb-run"),
            {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=\"$1\" \"$0\" --program-folder "
                            "\"$1\" & for i in $(seq 100); do xwininfo -name 'Vimor First Run "
                            "Wizard' && kill $! && exit 0; sleep 0.2; done; kill $!; exit 1"),
             QStringLiteral(VIMOR_EXE), folder.path()});
        if (!run.waitForFinished(60000))
            QSKIP("xvfb-run is needed (package xvfb)");
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
    }

    void aboutWindow()
    {
        TempProgramFolder folder;
        TMain window;
        QString shownTitle;
        m_script->answerDialog([&shownTitle](QDialog& dialog) {
            shownTitle = dialog.windowTitle();
            return int(QDialog::Accepted);
        });
        window.ShowAbout();
        QCOMPARE(shownTitle, QStringLiteral("About"));
        QCOMPARE(m_script->pendingAnswers(), 0);
    }

    // Windows are made when first asked for, then kept: a second opening shows the same one.
    void dialogsMadeOnFirstUse()
    {
        TempProgramFolder folder;
        TMain window;
        QVERIFY(window.findChildren<QDialog*>().isEmpty());
        QList<QDialog*> shown;
        for (int i = 0; i < 2; ++i)
            m_script->answerDialog([&shown](QDialog& dialog) {
                shown.append(&dialog);
                return int(QDialog::Rejected);
            });
        window.ShowAbout();
        window.ShowAbout();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0), shown.at(1));
        QCOMPARE(window.findChildren<QDialog*>().size(), 1);
    }

    // The terminal's font is set once the window has appeared, not while it is being built.
    void terminalFontSetAfterTheWindowShows()
    {
        TempProgramFolder folder;
        writeSettings(folder, "[General]\r\nWizard7Complete=1\r\n");
        TMain window;
        QVERIFY(window.monitorTerminal()->font().family() != ConsoleFontFamily);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.monitorTerminal()->font().family(), ConsoleFontFamily);
        QCOMPARE(window.terminalFont(), window.monitorTerminal()->font());
    }

    void failedWriteIsReported()
    {
        TempProgramFolder folder;
        TMain window;
        const QString vm = folder.file(QStringLiteral("VMs/a.vm2"));
        QVERIFY(WriteVMTemplate(vm, true));
        QVERIFY(window.WriteVMValue(vm, QStringLiteral("Hardware"), QStringLiteral("RAM"),
                                    QStringLiteral("256")));
        QCOMPARE(ReadVMFileValue(vm, QStringLiteral("hardware"), QStringLiteral("ram")),
                 QStringLiteral("256"));
        QVERIFY(m_script->shown().isEmpty());

        const QString nowhere = folder.file(QStringLiteral("no such folder/b.vm2"));
        QVERIFY(!window.WriteVMValue(nowhere, QStringLiteral("Hardware"), QStringLiteral("RAM"),
                                     QStringLiteral("256")));
        QCOMPARE(m_script->shown().size(), 1);
        QCOMPARE(m_script->shown().at(0).kind, QStringLiteral("error"));
        QVERIFY(m_script->shown().at(0).text.startsWith(
            QStringLiteral("Cannot save the setting \"RAM\" to ")));
        // No VM selected: nothing to read, nothing written.
        QCOMPARE(window.ReadVMValue(QStringLiteral("General"), QStringLiteral("Status")),
                 QString());
        QVERIFY(!window.WriteVMValue({}, QStringLiteral("General"), QStringLiteral("Status"),
                                     QStringLiteral("Running")));
    }

private:
    ScriptedInteraction* m_script = nullptr;
    QTemporaryDir m_dataHome;
};

QTEST_MAIN(TestTMain)
#include "tst_tmain.moc"
