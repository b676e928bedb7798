#include "app/ui/ConsoleFont.h"
#include "app/ui/FirstRunWizard.h"
#include "model/Settings.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString DesktopFont = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");

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

// Steps that record what they were asked to do, and what the settings file held at that moment.
struct RecordingSteps
{
    QStringList calls;
    bool fontSucceeds = true;

    FirstRunSteps steps()
    {
        FirstRunSteps steps;
        steps.installKqemu = [this] { calls << QStringLiteral("kqemu") + state(); };
        steps.installFont = [this](const QString& fontFile) {
            calls << QStringLiteral("font ") + QFileInfo(fontFile).fileName() + state();
            return fontSucceeds;
        };
        steps.reReadSettings = [this] { calls << QStringLiteral("reread") + state(); };
        return steps;
    }

    static QString state()
    {
        const SettingsFile file;
        return QStringLiteral(" updates=%1 dock=%2 wizard=%3")
            .arg(file.value(SettingKeys::EnableUpdates), file.value(SettingKeys::Dock),
                 file.value(SettingKeys::Wizard7Complete));
    }
};

} // namespace

class TestFirstRunWizard : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_script = installScript();
        QVERIFY(m_dataHome.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    }

    void windowAndPresets()
    {
        FirstRunWizard wizard;
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Vimor First Run Wizard"));
        QVERIFY(!(wizard.windowFlags() & Qt::WindowCloseButtonHint));
        const auto* tabs = wizard.findChild<QTabWidget*>();
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Vimor"));
        QStringList groups;
        for (const QGroupBox* group : wizard.findChildren<QGroupBox*>())
            groups << group->title();
        QCOMPARE(groups, (QStringList{QStringLiteral("Welcome"),
                                      QStringLiteral("KQEMU Accelerator Support")}));

        const struct
        {
            QCheckBox* box;
            const char* caption;
            bool ticked;
        } boxes[] = {
            {wizard.updatesBox(), "Automatically check for new Vimor updates when Vimor starts.",
             true},
            {wizard.maximizedBox(), "Launch Vimor maximized.", false},
            {wizard.rememberTabsBox(), "Enable Per-VM TAB Memory.", true},
            {wizard.dockBox(), "On minimize dock to system tray.", false},
            {wizard.advancedBox(),
             "Advanced Options (If you are not using Vimor on a USB pen stick/drive).", false},
            {wizard.kqemuBox(), "Install && Enable KQEMU Accelerator Support.", false},
            {wizard.fontBox(), "Install Vimor Monitor Terminal_Hex Font to the local computer.",
             true},
        };
        for (const auto& b : boxes) {
            QCOMPARE(b.box->text(), QString::fromLatin1(b.caption));
            QCOMPARE(b.box->isChecked(), b.ticked);
        }
        QCOMPARE(wizard.finishButton()->text(), QStringLiteral("Save && Finish"));
        QCOMPARE(wizard.cancelButton()->text(), QStringLiteral("Cancel"));

        // The advanced panel follows its box.
        wizard.show();
        QVERIFY(!wizard.kqemuBox()->isVisible());
        QVERIFY(!wizard.fontBox()->isVisible());
        wizard.advancedBox()->setChecked(true);
        QVERIFY(wizard.kqemuBox()->isVisible());
        QVERIFY(wizard.fontBox()->isVisible());
        wizard.advancedBox()->setChecked(false);
        QVERIFY(!wizard.fontBox()->isVisible());
        wizard.hide();
    }

    void finishWithDefaults()
    {
        TempProgramFolder folder;
        StartSettings settings;
        RecordingSteps record;
        m_script->answerDialog([](QDialog& dialog) {
            static_cast<FirstRunWizard&>(dialog).finishButton()->click();
            return dialog.result();
        });
        QVERIFY(RunFirstRunWizard(nullptr, settings, record.steps()));

        const SettingsFile file;
        QCOMPARE(file.value(SettingKeys::EnableUpdates), QStringLiteral("Yes"));
        QCOMPARE(file.value(SettingKeys::Maximized), QStringLiteral("No"));
        QCOMPARE(file.value(SettingKeys::RememberTabs), QStringLiteral("Yes"));
        QCOMPARE(file.value(SettingKeys::Dock), QStringLiteral("No"));
        QCOMPARE(file.value(SettingKeys::Wizard7Complete), QStringLiteral("1"));
        QCOMPARE(file.value(SettingKeys::ConsoleFontInstalled), QString());
        QCOMPARE(file.value(SettingKeys::StopServices), QStringLiteral("False")); // untouched
        QVERIFY(settings.rememberTabs);
        QVERIFY(!settings.dock);
        // No driver and no font; the re-read comes last, after the first run is recorded.
        QCOMPARE(record.calls, QStringList{QStringLiteral("reread updates=Yes dock=No wizard=1")});
    }

    void finishOrderWithEverything()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(QStringLiteral("term_hex.fon"), fileBytes(DesktopFont)));
        StartSettings settings;
        settings.rememberTabs = true;
        RecordingSteps record;
        m_script->answerDialog([](QDialog& dialog) {
            auto& wizard = static_cast<FirstRunWizard&>(dialog);
            wizard.updatesBox()->setChecked(false);
            wizard.maximizedBox()->setChecked(true);
            wizard.rememberTabsBox()->setChecked(false);
            wizard.dockBox()->setChecked(true);
            wizard.advancedBox()->setChecked(true);
            wizard.kqemuBox()->setChecked(true);
            wizard.finishButton()->click();
            return dialog.result();
        });
        QVERIFY(RunFirstRunWizard(nullptr, settings, record.steps()));
        QCOMPARE(record.calls, (QStringList{
                                   QStringLiteral("kqemu updates= dock= wizard=0"),
                                   QStringLiteral("font term_hex.fon updates=No dock=Yes wizard=0"),
                                   QStringLiteral("reread updates=No dock=Yes wizard=1"),
                               }));
        const SettingsFile file;
        QCOMPARE(file.value(SettingKeys::Maximized), QStringLiteral("Yes"));
        QCOMPARE(file.value(SettingKeys::RememberTabs), QStringLiteral("No"));
        QCOMPARE(file.value(SettingKeys::ConsoleFontInstalled), QStringLiteral("Yes"));
        QVERIFY(!settings.rememberTabs);
        QVERIFY(settings.dock);
    }

    void fontAndDriverSteps_data()
    {
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<bool>("hideAgain"); // tick "Advanced Options", then untick it
        QTest::addColumn<bool>("kqemu");
        QTest::addColumn<bool>("font");
        QTest::addColumn<bool>("fontFile");
        QTest::addColumn<bool>("fontSucceeds");
        QTest::addColumn<bool>("kqemuRuns");
        QTest::addColumn<bool>("fontTried");
        QTest::addColumn<QString>("installed");

        const QString yes = QStringLiteral("Yes");
        QTest::newRow("panel hidden: font box ignored")
            << false << false << false << true << true << true << false << false << QString();
        QTest::newRow("panel shown: font installed")
            << true << false << false << true << true << true << false << true << yes;
        QTest::newRow("panel shown, font box clear")
            << true << false << false << false << true << true << false << false << QString();
        QTest::newRow("font file missing: skipped silently")
            << true << false << false << true << false << true << false << false << QString();
        QTest::newRow("font that fails to install is not recorded")
            << true << false << false << true << true << false << false << true << QString();
        QTest::newRow("panel hidden again: font ignored, driver box still counts")
            << true << true << true << true << true << true << true << false << QString();
        QTest::newRow("driver only")
            << true << false << true << false << true << true << true << false << QString();
    }

    void fontAndDriverSteps()
    {
        QFETCH(bool, advanced);
        QFETCH(bool, hideAgain);
        QFETCH(bool, kqemu);
        QFETCH(bool, font);
        QFETCH(bool, fontFile);
        QFETCH(bool, fontSucceeds);
        QFETCH(bool, kqemuRuns);
        QFETCH(bool, fontTried);
        QFETCH(QString, installed);

        TempProgramFolder folder;
        if (fontFile)
            QVERIFY(folder.write(QStringLiteral("term_hex.fon"), fileBytes(DesktopFont)));
        StartSettings settings;
        RecordingSteps record;
        record.fontSucceeds = fontSucceeds;
        m_script->answerDialog([&](QDialog& dialog) {
            auto& wizard = static_cast<FirstRunWizard&>(dialog);
            wizard.advancedBox()->setChecked(advanced);
            wizard.kqemuBox()->setChecked(kqemu);
            wizard.fontBox()->setChecked(font);
            if (hideAgain)
                wizard.advancedBox()->setChecked(false);
            wizard.finishButton()->click();
            return dialog.result();
        });
        QVERIFY(RunFirstRunWizard(nullptr, settings, record.steps()));
        QCOMPARE(record.calls.filter(QStringLiteral("kqemu")).size(), kqemuRuns ? 1 : 0);
        QCOMPARE(record.calls.filter(QStringLiteral("font")).size(), fontTried ? 1 : 0);
        QCOMPARE(SettingsFile().value(SettingKeys::ConsoleFontInstalled), installed);
        QVERIFY(m_script->shownTexts() == QStringList{QStringLiteral("Vimor First Run Wizard")});
    }

    void realFontThenFontCommandRefuses()
    {
        if (!QFile::exists(DesktopFont))
            QSKIP("no desktop font to stand in for term_hex.fon");
        TempProgramFolder folder;
        QVERIFY(QFile::copy(DesktopFont, folder.file(QStringLiteral("term_hex.fon"))));
        StartSettings settings;
        int rereads = 0;
        FirstRunSteps steps; // the desktop's own font installation
        steps.reReadSettings = [&rereads] { ++rereads; };
        m_script->answerDialog([](QDialog& dialog) {
            auto& wizard = static_cast<FirstRunWizard&>(dialog);
            wizard.advancedBox()->setChecked(true);
            wizard.finishButton()->click();
            return dialog.result();
        });
        QVERIFY(RunFirstRunWizard(nullptr, settings, steps));
        QCOMPARE(rereads, 1);
        QCOMPARE(SettingsFile().value(SettingKeys::ConsoleFontInstalled), QStringLiteral("Yes"));
        QVERIFY(QFile::exists(m_dataHome.filePath(QStringLiteral("fonts/vimor-term_hex.ttf"))));

        m_script->clear();
        InstallConsoleFont(nullptr);
        QCOMPARE(m_script->shownTexts(), QStringList{QStringLiteral("Font is already installed")});
    }

    void cancelAsksAndWritesOnlyCompletion()
    {
        TempProgramFolder folder;
        StartSettings settings;
        settings.rememberTabs = true;
        settings.dock = true;
        RecordingSteps record;
        const QString question = QStringLiteral("Are you sure you wish to cancel this wizard ?");
        m_script->answerDialog([&](QDialog& dialog) {
            auto& wizard = static_cast<FirstRunWizard&>(dialog);
            QSignalSpy rejected(&wizard, &QDialog::rejected);
            wizard.dockBox()->setChecked(true);
            // No keeps the wizard open, for the button and for Escape alike.
            m_script->answerMessage(Interaction::Answer::No);
            wizard.cancelButton()->click();
            m_script->answerMessage(Interaction::Answer::No);
            QTest::keyClick(&wizard, Qt::Key_Escape);
            if (!rejected.isEmpty())
                return int(QDialog::Accepted); // fails the test below
            m_script->answerMessage(Interaction::Answer::Yes);
            wizard.cancelButton()->click();
            return rejected.size() == 1 ? int(QDialog::Rejected) : int(QDialog::Accepted);
        });
        QVERIFY(!RunFirstRunWizard(nullptr, settings, record.steps()));
        QCOMPARE(m_script->shownTexts(), (QStringList{QStringLiteral("Vimor First Run Wizard"),
                                                      question, question, question}));
        QCOMPARE(fileBytes(folder.file(QStringLiteral("vimor.ini"))),
                 QByteArray("[General]\r\nWizard7Complete=1\r\n"));
        QVERIFY(record.calls.isEmpty()); // no driver, no font, no re-read
        QVERIFY(settings.rememberTabs);
        QVERIFY(settings.dock);
        // The next start shows no wizard.
        QCOMPARE(ReadStartSettings(SettingsFile()).wizardComplete, 1);
        // What a cancelled wizard leaves unwritten reads as off.
        QVERIFY(!ReadStartSettings(SettingsFile()).rememberTabs);
    }

private:
    ScriptedInteraction* m_script = nullptr;
    QTemporaryDir m_dataHome;
};

QTEST_MAIN(TestFirstRunWizard)
#include "tst_firstrunwizard.moc"
