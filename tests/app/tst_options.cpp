#include "app/ui/OptionsDialog.h"
#include "app/ui/TMain.h"
#include "model/Settings.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

ScriptedInteraction* installScript()
{
    auto script = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* raw = script.get();
    Interaction::install(std::move(script));
    return raw;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QList<QCheckBox*> boxes(const OptionsDialog& dialog)
{
    return {dialog.updatesBox(), dialog.maximizedBox(), dialog.rememberTabsBox(), dialog.dockBox(),
            dialog.stopServicesBox()};
}

QString ticks(const OptionsDialog& dialog)
{
    QString result;
    for (const QCheckBox* box : boxes(dialog))
        result += box->isChecked() ? QLatin1Char('x') : QLatin1Char('-');
    return result;
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_script = installScript(); }

    void window()
    {
        OptionsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QVERIFY(dialog.findChild<QGroupBox*>());
        QCOMPARE(dialog.findChild<QGroupBox*>()->title(), QStringLiteral("Vimor Options"));
        QStringList captions;
        for (const QCheckBox* box : boxes(dialog))
            captions << box->text();
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("Check for Updates on startup."),
                              QStringLiteral("Launch Vimor Maximized"),
                              QStringLiteral("Enable Per-VM TAB Memory"),
                              QStringLiteral("On Minimize Dock To System Tray"),
                              QStringLiteral("Stop KQEMU accelerator driver when Vimor closes")}));
    }

    void presets_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("stopServicesInMemory");
        QTest::addColumn<QString>("ticks"); // updates, maximized, tabs, dock, stop services

        QTest::newRow("no settings file") << QByteArray() << false << QStringLiteral("-----");
        QTest::newRow("all Yes") << QByteArray("[General]\r\nMaximized=Yes\r\nRememberTabs=Yes\r\n"
                                               "Dock=Yes\r\n[Updates]\r\nEnableUpdates=Yes\r\n")
                                 << true << QStringLiteral("xxxxx");
        QTest::newRow("only exact Yes ticks")
            << QByteArray("[General]\r\nMaximized=yes\r\nRememberTabs=YES\r\nDock=1\r\n"
                          "[Updates]\r\nEnableUpdates=True\r\n")
            << false << QStringLiteral("-----");
        // The last box shows the flag of this run, not the file.
        QTest::newRow("stop services from memory, not the file")
            << QByteArray("[General]\r\nStop Services=True\r\nDock=Yes\r\n") << false
            << QStringLiteral("---x-");
        QTest::newRow("stop services on in memory")
            << QByteArray("[General]\r\nStop Services=False\r\n") << true
            << QStringLiteral("----x");
    }

    void presets()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, stopServicesInMemory);
        QFETCH(QString, ticks);

        TempProgramFolder folder;
        if (!ini.isEmpty())
            QVERIFY(folder.write(QStringLiteral("vimor.ini"), ini));
        StartSettings settings;
        settings.stopServices = stopServicesInMemory;
        OptionsDialog dialog;
        QString seen;
        m_script->answerDialog([&seen](QDialog& shown) {
            seen = ::ticks(static_cast<OptionsDialog&>(shown));
            return int(QDialog::Rejected);
        });
        QVERIFY(!dialog.ShowOptions(settings));
        QCOMPARE(seen, ticks);
    }

    void okWritesInOrder()
    {
        TempProgramFolder folder;
        StartSettings settings;
        settings.rememberTabs = true;
        settings.enableUpdates = true;
        OptionsDialog dialog;
        m_script->answerDialog([](QDialog& shown) {
            auto& options = static_cast<OptionsDialog&>(shown);
            options.updatesBox()->setChecked(false);
            options.maximizedBox()->setChecked(true);
            options.rememberTabsBox()->setChecked(false);
            options.dockBox()->setChecked(true);
            options.stopServicesBox()->setChecked(true);
            options.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return shown.result();
        });
        QVERIFY(dialog.ShowOptions(settings));
        // Written into an empty file, the sections and keys stand in the order of writing.
        QCOMPARE(fileBytes(folder.file(QStringLiteral("vimor.ini"))),
                 QByteArray("[Updates]\r\nEnableUpdates=No\r\n[General]\r\nMaximized=Yes\r\n"
                            "RememberTabs=No\r\nDock=Yes\r\nStop Services=True\r\n"));
        // Tab memory, docking and stopping the service take effect at once; the rest at the next
        // start.
        QVERIFY(!settings.rememberTabs);
        QVERIFY(settings.dock);
        QVERIFY(settings.stopServices);
        QVERIFY(!settings.maximized);
        QVERIFY(settings.enableUpdates);

        // And back again, over the existing lines.
        m_script->answerDialog([](QDialog& shown) {
            auto& options = static_cast<OptionsDialog&>(shown);
            if (ticks(options) != QStringLiteral("-x-xx"))
                return int(QDialog::Rejected);
            for (QCheckBox* box : boxes(options))
                box->setChecked(!box->isChecked());
            options.accept();
            return shown.result();
        });
        QVERIFY(dialog.ShowOptions(settings));
        QCOMPARE(fileBytes(folder.file(QStringLiteral("vimor.ini"))),
                 QByteArray("[Updates]\r\nEnableUpdates=Yes\r\n[General]\r\nMaximized=No\r\n"
                            "RememberTabs=Yes\r\nDock=No\r\nStop Services=False\r\n"));
        QVERIFY(settings.rememberTabs);
        QVERIFY(!settings.dock);
        QVERIFY(!settings.stopServices);
    }

    void cancelWritesNothing()
    {
        TempProgramFolder folder;
        const QByteArray ini("[General]\r\nDock=Yes\r\nStop Services=True\r\n");
        QVERIFY(folder.write(QStringLiteral("vimor.ini"), ini));
        StartSettings settings;
        settings.dock = true;
        settings.stopServices = true;
        OptionsDialog dialog;
        m_script->answerDialog([](QDialog& shown) {
            for (QCheckBox* box : boxes(static_cast<OptionsDialog&>(shown)))
                box->setChecked(!box->isChecked());
            shown.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            return shown.result();
        });
        QVERIFY(!dialog.ShowOptions(settings));
        QCOMPARE(fileBytes(folder.file(QStringLiteral("vimor.ini"))), ini);
        QVERIFY(settings.dock);
        QVERIFY(settings.stopServices);
    }

    void mainWindowValuesChangeAtOnce()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(
            QStringLiteral("vimor.ini"),
            "[General]\r\nWizard7Complete=1\r\nRememberTabs=Yes\r\nMaximized=Yes\r\n"));
        TMain window;
        QVERIFY(window.startSettings().rememberTabs);
        OptionsDialog dialog(&window);
        m_script->answerDialog([](QDialog& shown) {
            auto& options = static_cast<OptionsDialog&>(shown);
            options.rememberTabsBox()->setChecked(false);
            options.maximizedBox()->setChecked(false);
            options.accept();
            return shown.result();
        });
        QVERIFY(dialog.ShowOptions(window.startSettings()));
        QVERIFY(!window.startSettings().rememberTabs);
        // Maximized waits for the next start.
        QVERIFY(window.startSettings().maximized);
        QCOMPARE(SettingsFile().value(SettingKeys::Maximized), QStringLiteral("No"));
        QVERIFY(!ReadStartSettings(SettingsFile()).maximized);
    }

private:
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
