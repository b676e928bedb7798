#include "media/ui/MediaWizard.h"
#include "media/ui/WaitWindow.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr qint64 FloppySize = 1474560;
const QString CancelQuestion = QStringLiteral("Are you sure you wish to cancel ?");
const QString CopyFailed = QStringLiteral("Disk Image was NOT created successfully");

QByteArray pattern(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + i / 509 + seed) & 0xff);
    return bytes;
}

template <typename T>
T* control(QObject& root, const QString& name)
{
    T* found = root.findChild<T*>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

QString page(QDialog& wizard)
{
    return control<QStackedWidget>(wizard, QStringLiteral("Pages"))->currentWidget()->objectName();
}

QAbstractButton* button(QDialog& wizard, const QString& name)
{
    return control<QAbstractButton>(wizard, name);
}

void click(QDialog& wizard, const QString& name)
{
    button(wizard, name)->click();
}

bool enabled(QDialog& wizard, const QString& name)
{
    return button(wizard, name)->isEnabled();
}

QStringList items(QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->itemText(i));
    return texts;
}

QComboBox* sourceList(QDialog& wizard)
{
    return control<QComboBox>(wizard, QStringLiteral("SourceDrive"));
}

QString destination(QDialog& wizard)
{
    return control<QLabel>(wizard, QStringLiteral("Destination"))->text();
}

} // namespace

class TestMediaWizard final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void waitWindowMessage();
    void imageTypeChoice();
    void sourceLists();
    void destinationWithoutSource();
    void copiesCD();
    void copyFailures_data();
    void copyFailures();
    void blankFloppy();
    void blankFloppyFailure();
    void reopeningResets();
    void cancelAsks();

private:
    // Runs the wizard with steps standing in for the user; returns the dialog's result.
    int run(const std::function<void(QDialog&)>& steps)
    {
        m_script->answerDialog([&steps](QDialog& dialog) {
            steps(dialog);
            return dialog.result();
        });
        m_wizard->OpenMediaWizard();
        return m_wizard->result();
    }
    // From "P1" to page "MI" for the given media.
    void toMI(QDialog& wizard, bool cd)
    {
        click(wizard, cd ? QStringLiteral("CDImage") : QStringLiteral("FloppyImage"));
        click(wizard, QStringLiteral("P1Next"));
        if (!cd) {
            click(wizard, QStringLiteral("AddHow0"));
            click(wizard, QStringLiteral("P2Next"));
        }
    }
    QString dev(const QString& name) const
    {
        return m_host->filePath(QStringLiteral("dev/") + name);
    }
    QString image(const QString& name) const
    {
        return m_folder->file(QStringLiteral("Media/") + name);
    }

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_host;
    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<MediaWizard> m_wizard;
    QByteArray m_cd;
};

void TestMediaWizard::init()
{
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir(m_folder->path()).mkpath(QStringLiteral("Media")));

    // A floppy drive (A:), a CD drive (D:), a fixed disk and a USB stick (E:).
    m_host = std::make_unique<QTemporaryDir>();
    QVERIFY(m_host->isValid());
    const QDir host(m_host->path());
    for (const char* name : {"fd0", "sr0", "sda", "sdb"})
        QVERIFY(host.mkpath(QStringLiteral("sys/block/") + QLatin1String(name)));
    QVERIFY(writeFile(host.filePath(QStringLiteral("sys/block/sda/removable")), "0\n"));
    QVERIFY(writeFile(host.filePath(QStringLiteral("sys/block/sdb/removable")), "1\n"));
    m_cd = pattern(1000000, 1);
    QVERIFY(writeFile(dev(QStringLiteral("sr0")), m_cd));
    QVERIFY(writeFile(dev(QStringLiteral("fd0")), pattern(FloppySize, 2)));
    QVERIFY(writeFile(dev(QStringLiteral("sda")), pattern(100000, 3)));
    QVERIFY(writeFile(dev(QStringLiteral("sdb")), pattern(100000, 4)));
    HostDrives::setRoots(
        {host.filePath(QStringLiteral("sys")), host.filePath(QStringLiteral("dev"))});

    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_wizard = std::make_unique<MediaWizard>();
}

void TestMediaWizard::cleanup()
{
    m_wizard.reset();
    Interaction::install(nullptr);
    m_script = nullptr;
    HostDrives::setRoots({});
    m_host.reset();
    m_folder.reset();
}

void TestMediaWizard::waitWindowMessage()
{
    WaitWindow wait;
    QCOMPARE(wait.windowTitle(), QStringLiteral("Please Wait"));
    wait.showMessage();
    QCOMPARE(wait.message(), QStringLiteral("One Moment Please..."));
    wait.showMessage(QStringLiteral("Creating Image - Please Wait"));
    QCOMPARE(wait.message(), QStringLiteral("Creating Image - Please Wait"));
    wait.hide();
}

void TestMediaWizard::imageTypeChoice()
{
    run([](QDialog& wizard) {
        QCOMPARE(wizard.windowTitle(), QStringLiteral("Import Media Wizard"));
        QCOMPARE(page(wizard), QStringLiteral("P1"));
        auto* cd = control<QCheckBox>(wizard, QStringLiteral("CDImage"));
        auto* floppy = control<QCheckBox>(wizard, QStringLiteral("FloppyImage"));
        QVERIFY(!enabled(wizard, QStringLiteral("P1Back")));
        QVERIFY(!enabled(wizard, QStringLiteral("P1Next")));

        cd->click();
        QVERIFY(cd->isChecked());
        QVERIFY(enabled(wizard, QStringLiteral("P1Next")));
        floppy->click();
        QVERIFY(!cd->isChecked());
        QVERIFY(floppy->isChecked());
        QVERIFY(enabled(wizard, QStringLiteral("P1Next")));
        floppy->click();
        QVERIFY(!cd->isChecked() && !floppy->isChecked());
        QVERIFY(!enabled(wizard, QStringLiteral("P1Next")));

        // Floppy: "P2" offers both ways, Next waits for a choice, Back returns.
        floppy->click();
        click(wizard, QStringLiteral("P1Next"));
        QCOMPARE(page(wizard), QStringLiteral("P2"));
        auto* fromDisk = control<QRadioButton>(wizard, QStringLiteral("AddHow0"));
        auto* blank = control<QRadioButton>(wizard, QStringLiteral("AddHow1"));
        QCOMPARE(fromDisk->text(), QStringLiteral("Create From Floppy Disk"));
        QCOMPARE(blank->text(), QStringLiteral("Create Blank Floppy Disk Image"));
        QVERIFY(!fromDisk->isChecked() && !blank->isChecked());
        QVERIFY(!enabled(wizard, QStringLiteral("P2Next")));
        blank->click();
        QVERIFY(enabled(wizard, QStringLiteral("P2Next")));
        fromDisk->click();
        QVERIFY(!blank->isChecked());
        click(wizard, QStringLiteral("P2Next"));
        QCOMPARE(page(wizard), QStringLiteral("MI"));
        click(wizard, QStringLiteral("MIBack"));
        QCOMPARE(page(wizard), QStringLiteral("P2"));
        click(wizard, QStringLiteral("P2Back"));
        QCOMPARE(page(wizard), QStringLiteral("P1"));

        // CD/DVD goes straight to "MI", and back to "P1".
        cd->click();
        click(wizard, QStringLiteral("P1Next"));
        QCOMPARE(page(wizard), QStringLiteral("MI"));
        QCOMPARE(fromDisk->text(), QStringLiteral("Create From CD-ROM/DVD Disk"));
        QVERIFY(blank->isHidden());
        click(wizard, QStringLiteral("MIBack"));
        QCOMPARE(page(wizard), QStringLiteral("P1"));
    });
}

void TestMediaWizard::sourceLists()
{
    QStringList cdList;
    QStringList floppyList;
    run([&](QDialog& wizard) {
        toMI(wizard, true);
        cdList = items(sourceList(wizard));
        QCOMPARE(sourceList(wizard)->currentIndex(), -1);
        click(wizard, QStringLiteral("MIBack"));
        click(wizard, QStringLiteral("FloppyImage"));
        click(wizard, QStringLiteral("P1Next"));
        click(wizard, QStringLiteral("AddHow0"));
        click(wizard, QStringLiteral("P2Next"));
        floppyList = items(sourceList(wizard));
    });
    QCOMPARE(cdList, QStringList{QStringLiteral("D:")});
    QCOMPARE(floppyList, (QStringList{QStringLiteral("A:"), QStringLiteral("E:")}));
}

void TestMediaWizard::destinationWithoutSource()
{
    const QString file = image(QStringLiteral("cd.iso"));
    run([&](QDialog& wizard) {
        toMI(wizard, true);
        QCOMPARE(destination(wizard), QStringLiteral("None"));
        QVERIFY(!enabled(wizard, QStringLiteral("MINext")));

        // A cancelled save dialog leaves "None".
        m_script->answerText(std::nullopt);
        click(wizard, QStringLiteral("SelectDestination"));
        QCOMPARE(destination(wizard), QStringLiteral("None"));

        m_script->answerText(file);
        click(wizard, QStringLiteral("SelectDestination"));
        QCOMPARE(destination(wizard), file);
        QVERIFY(!enabled(wizard, QStringLiteral("MINext")));
        sourceList(wizard)->setCurrentIndex(0);
        QVERIFY(enabled(wizard, QStringLiteral("MINext")));
    });
    const auto& shown = m_script->shown();
    QCOMPARE(shown.size(), 3); // the wizard and two save dialogs
    for (qsizetype i = 1; i < shown.size(); ++i) {
        QCOMPARE(shown.at(i).kind, QStringLiteral("save"));
        QCOMPARE(shown.at(i).title, QStringLiteral("Save Image As"));
        QCOMPARE(shown.at(i).filter,
                 Interaction::pipeFilter(QStringLiteral("ISO Image Files|*.iso")));
        QCOMPARE(QDir(shown.at(i).text), QDir(m_folder->file(QStringLiteral("Media"))));
        QCOMPARE(shown.at(i).preset, QString());
    }
}

void TestMediaWizard::copiesCD()
{
    const QString file = image(QStringLiteral("cd.iso"));
    QList<int> progress;
    bool buttonsEnabledDuringCopy = false;
    bool closedDuringCopy = false;
    const int result = run([&](QDialog& wizard) {
        toMI(wizard, true);
        sourceList(wizard)->setCurrentIndex(0);
        m_script->answerText(file);
        click(wizard, QStringLiteral("SelectDestination"));

        auto* bar = control<QProgressBar>(wizard, QStringLiteral("Progress"));
        connect(bar, &QProgressBar::valueChanged, &wizard, [&](int value) {
            progress.append(value);
            for (const char* name : {"MI2Back", "MI2Next", "MI2Cancel"})
                buttonsEnabledDuringCopy |= enabled(wizard, QLatin1String(name));
            // Escape or the close button in the middle of the copy is ignored.
            wizard.reject();
            closedDuringCopy |= wizard.result() == QDialog::Rejected;
        });
        wizard.setResult(-1);
        click(wizard, QStringLiteral("MINext"));
        disconnect(bar, nullptr, &wizard, nullptr);

        QCOMPARE(page(wizard), QStringLiteral("MI2"));
        QCOMPARE(control<QLabel>(wizard, QStringLiteral("ImageToCreate"))->text(), file);
        QVERIFY(!control<QLabel>(wizard, QStringLiteral("ImageCreated"))->isHidden());
        QCOMPARE(control<QLabel>(wizard, QStringLiteral("ImageCreated"))->text(),
                 QStringLiteral("Image Created Successfully!"));
        QCOMPARE(bar->value(), 100);
        QVERIFY(!enabled(wizard, QStringLiteral("MI2Back")));
        QVERIFY(enabled(wizard, QStringLiteral("MI2Next")));
        QVERIFY(enabled(wizard, QStringLiteral("MI2Cancel")));
        click(wizard, QStringLiteral("MI2Next"));
        QCOMPARE(page(wizard), QStringLiteral("Finish"));
        click(wizard, QStringLiteral("FinishButton"));
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(m_wizard->ImportedImage(), file);
    QCOMPARE(readAll(file), m_cd);
    QVERIFY(!buttonsEnabledDuringCopy);
    QVERIFY(!closedDuringCopy);
    QVERIFY(!m_script->shownTexts().contains(CancelQuestion));
    QVERIFY(progress.size() > 10);
    QCOMPARE(progress.last(), 100);
    for (qsizetype i = 1; i < progress.size(); ++i)
        QVERIFY(progress.at(i) > progress.at(i - 1));
}

void TestMediaWizard::copyFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("source that cannot be read") << "source";
    QTest::newRow("medium of size 0") << "empty";
    QTest::newRow("destination that cannot be written") << "destination";
}

void TestMediaWizard::copyFailures()
{
    QFETCH(QString, fault);
    QString file = image(QStringLiteral("cd.iso"));
    if (fault == QLatin1String("source")) {
        QVERIFY(QFile::remove(dev(QStringLiteral("sr0"))));
        QVERIFY(QDir().mkpath(dev(QStringLiteral("sr0"))));
    } else if (fault == QLatin1String("empty")) {
        QVERIFY(writeFile(dev(QStringLiteral("sr0")), {}));
    } else {
        file = image(QStringLiteral("missing/cd.iso"));
    }

    run([&](QDialog& wizard) {
        toMI(wizard, true);
        sourceList(wizard)->setCurrentIndex(0);
        m_script->answerText(file);
        click(wizard, QStringLiteral("SelectDestination"));
        click(wizard, QStringLiteral("MINext"));
        QCOMPARE(page(wizard), QStringLiteral("MI"));
        QVERIFY(control<QLabel>(wizard, QStringLiteral("ImageCreated"))->isHidden());
        // The wizard stays open for another attempt.
        QVERIFY(enabled(wizard, QStringLiteral("MINext")));
        QVERIFY(enabled(wizard, QStringLiteral("MICancel")));
    });
    QVERIFY(m_script->shownTexts().contains(CopyFailed));
    QCOMPARE(m_script->shown().last().kind, QStringLiteral("error"));
    QCOMPARE(m_wizard->ImportedImage(), QString());
}

void TestMediaWizard::blankFloppy()
{
    const QByteArray floppy = pattern(FloppySize, 9);
    QVERIFY(m_folder->write(QStringLiteral("resource/144mb.img"), floppy));
    const QString file = image(QStringLiteral("blank.img"));
    // An existing, longer file is replaced without a question.
    QVERIFY(writeFile(file, QByteArray(2 * FloppySize, 'x')));

    QString waitMessage;
    const int result = run([&](QDialog& wizard) {
        click(wizard, QStringLiteral("FloppyImage"));
        click(wizard, QStringLiteral("P1Next"));
        click(wizard, QStringLiteral("AddHow1"));
        m_script->answerText(file);
        click(wizard, QStringLiteral("P2Next"));
        QCOMPARE(page(wizard), QStringLiteral("Finish"));
        auto* wait = wizard.findChild<WaitWindow*>();
        QVERIFY(wait);
        QVERIFY(wait->isHidden());
        waitMessage = wait->message();
        QVERIFY(enabled(wizard, QStringLiteral("FinishBack")));
        click(wizard, QStringLiteral("FinishButton"));
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(readAll(file), floppy);
    QCOMPARE(m_wizard->ImportedImage(), file);
    QCOMPARE(waitMessage, QStringLiteral("Creating Image - Please Wait"));
    const auto& save = m_script->shown().at(1);
    QCOMPARE(save.kind, QStringLiteral("save"));
    QCOMPARE(save.filter, Interaction::pipeFilter(QStringLiteral("Floppy Disk Image Files|*.img")));
    QCOMPARE(QDir(save.text), QDir(m_folder->file(QStringLiteral("Media"))));
}

void TestMediaWizard::blankFloppyFailure()
{
    // No template installed.
    run([&](QDialog& wizard) {
        click(wizard, QStringLiteral("FloppyImage"));
        click(wizard, QStringLiteral("P1Next"));
        click(wizard, QStringLiteral("AddHow1"));
        m_script->answerText(image(QStringLiteral("blank.img")));
        click(wizard, QStringLiteral("P2Next"));
        QCOMPARE(page(wizard), QStringLiteral("P2"));
    });
    QCOMPARE(m_script->shown().last().kind, QStringLiteral("error"));
    QCOMPARE(m_script->shown().last().text, CopyFailed);
    QCOMPARE(m_wizard->ImportedImage(), QString());
}

void TestMediaWizard::reopeningResets()
{
    const QString file = image(QStringLiteral("cd.iso"));
    run([&](QDialog& wizard) {
        toMI(wizard, true);
        sourceList(wizard)->setCurrentIndex(0);
        m_script->answerText(file);
        click(wizard, QStringLiteral("SelectDestination"));
        click(wizard, QStringLiteral("MINext"));
        click(wizard, QStringLiteral("MI2Next"));
        click(wizard, QStringLiteral("FinishButton"));
    });
    QCOMPARE(m_wizard->ImportedImage(), file);

    QString resultDuringSecondRun = QStringLiteral("<not run>");
    run([&](QDialog& wizard) {
        resultDuringSecondRun = m_wizard->ImportedImage();
        QCOMPARE(page(wizard), QStringLiteral("P1"));
        QVERIFY(!control<QCheckBox>(wizard, QStringLiteral("CDImage"))->isChecked());
        QVERIFY(!control<QCheckBox>(wizard, QStringLiteral("FloppyImage"))->isChecked());
        QVERIFY(!control<QRadioButton>(wizard, QStringLiteral("AddHow0"))->isChecked());
        QVERIFY(!control<QRadioButton>(wizard, QStringLiteral("AddHow1"))->isChecked());
        QCOMPARE(destination(wizard), QStringLiteral("None"));
        QCOMPARE(control<QProgressBar>(wizard, QStringLiteral("Progress"))->value(), 0);
        QVERIFY(control<QLabel>(wizard, QStringLiteral("ImageCreated"))->isHidden());
        for (const char* page : {"P1", "P2", "MI", "MI2", "Finish"})
            QVERIFY2(!enabled(wizard, QLatin1String(page) + QLatin1String("Next")), page);
        QVERIFY(!enabled(wizard, QStringLiteral("P1Back")));
        QVERIFY(!enabled(wizard, QStringLiteral("MI2Back")));
        QVERIFY(!enabled(wizard, QStringLiteral("MI2Cancel")));
        QVERIFY(enabled(wizard, QStringLiteral("FinishButton")));
    });
    QCOMPARE(resultDuringSecondRun, QString());
    QCOMPARE(m_wizard->ImportedImage(), QString());
}

void TestMediaWizard::cancelAsks()
{
    int stillOpenAfterNo = -2;
    const int result = run([&](QDialog& wizard) {
        toMI(wizard, false);
        wizard.setResult(-1);
        m_script->answerMessage(Interaction::Answer::No);
        click(wizard, QStringLiteral("MICancel"));
        stillOpenAfterNo = wizard.result();
        QCOMPARE(page(wizard), QStringLiteral("MI"));
        m_script->answerMessage(Interaction::Answer::Yes);
        click(wizard, QStringLiteral("MICancel"));
    });
    QCOMPARE(stillOpenAfterNo, -1);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(m_script->shownTexts().count(CancelQuestion), 2);
    QCOMPARE(m_script->shown().last().kind, QStringLiteral("confirmation"));
    QCOMPARE(m_wizard->ImportedImage(), QString());
}

QTEST_MAIN(TestMediaWizard)
#include "tst_mediawizard.moc"
