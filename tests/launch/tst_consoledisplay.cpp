#include "app/ui/TMain.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/ui/FullScreenDisplay.h"
#include "launch/ui/MonitorTerminal.h"
#include "library/HardwarePreset.h"
#include "library/NewVM.h"
#include "media/DiskImages.h"
#include "model/ApprovedValues.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Processes.h"
#include "platform/ui/Interaction.h"
#include "support/InstallerDisc.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>

// The guest's screen in the real main window, from a real QEMU 7.2.
namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Real mode: print a line on COM1, then halt; the BIOS's 720 x 400 text screen stays.
QByteArray bootSector()
{
    QByteArray code = QByteArray::fromHex("fa31c08ed8be167cbaf803ac84c07403eeebf8f4ebfd");
    code += "VIMOR-BOOT-OK\r\n";
    code += '\0';
    code.resize(510, '\0');
    return code + QByteArray::fromHex("55aa");
}

// Breaks this process's connections to the socket at their end, as a failing link would.
int cutConnections(const QString& socketPath)
{
    int cut = 0;
    const QByteArray wanted = QFile::encodeName(socketPath);
    for (const QString& entry : QDir(s("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
        const int fd = entry.toInt();
        sockaddr_un peer = {};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sun_family == AF_UNIX && wanted == peer.sun_path && ::shutdown(fd, SHUT_RDWR) == 0)
            ++cut;
    }
    return cut;
}

} // namespace

class TestConsoleDisplay final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fittedScreenInTheWindow();
    void guestFollowsThePanel();
    void lateDisplayFromASnapshot();

private:
    QString writeVM(const QString& name, const QStringList& keys, NewVM::Plan plan = {});
    void stopSelected(const QString& vm);
    DisplayPanel* panelOf(const QString& vm) const
    {
        return m_window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
    }

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    ScriptedInteraction* m_ui = nullptr;
};

void TestConsoleDisplay::initTestCase()
{
    if (!QFileInfo(s("/usr/bin/qemu-system-x86_64")).isExecutable())
        QSKIP("QEMU is needed");
    auto ui = std::make_unique<ScriptedInteraction>();
    m_ui = ui.get();
    Interaction::install(std::move(ui));
    m_folder = std::make_unique<TempProgramFolder>();
    // "slow" stands in for a QEMU that loads a large snapshot before it makes its display socket
    // (13.9 s for a 2 GiB guest; this host's small snapshot loads at once): the socket is bound
    // under another name and shows at its own 7 s later.
    QVERIFY(m_folder->write(s("qemu/qemu-system-x86_64"),
                            "#!/bin/sh\nexec /usr/bin/qemu-system-x86_64 \"$@\"\n"));
    QVERIFY(m_folder->write(s("slow/qemu-system-x86_64"),
                            "#!/bin/sh\n"
                            "for arg do\n"
                            "  shift\n"
                            "  case \"$arg\" in unix:*/display-*.sock)\n"
                            "    late=\"${arg#unix:}\"; arg=\"unix:$late.late\";;\n"
                            "  esac\n"
                            "  set -- \"$@\" \"$arg\"\n"
                            "done\n"
                            "(sleep 7; mv \"$late.late\" \"$late\") &\n"
                            "exec /usr/bin/qemu-system-x86_64 \"$@\"\n"));
    for (const char* folder : {"qemu", "slow"}) {
        QFile(m_folder->file(s(folder) + s("/qemu-system-x86_64")))
            .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        QVERIFY(QFile::link(s("/usr/bin/qemu-img"), m_folder->file(s(folder) + s("/qemu-img"))));
        QVERIFY(QFile::link(s("/usr/share/qemu"), m_folder->file(s(folder) + s("/pc-bios"))));
    }
    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    for (const char* id : {"qemu", "slow"}) {
        versions.insert();
        for (const char* field : {"ID", "DESC"})
            versions.setFieldValue(s(field), s(id));
        versions.setFieldValue(s("PATH"), s("{VR}\\") + s(id));
        versions.setFieldValue(s("VERID"), s("3"));
        for (const char* flag : {"USB", "CONSOLE", "INT"})
            versions.setFieldValue(s(flag), s("Yes"));
        QVERIFY(versions.post());
    }
    m_window = std::make_unique<TMain>();
    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
    m_window->setKvmDevice(m_folder->file(s("no-kvm")));
    m_window->resize(760, 560);
    m_window->show();
}

void TestConsoleDisplay::cleanupTestCase()
{
    const QDir store(m_folder ? m_folder->file(s("VMs")) : QString());
    for (const QString& vm : store.entryList({s("*.vm2")}))
        Processes::terminate(
            ReadVMFileValue(store.filePath(vm), s("General"), s("StatusID")).toLongLong());
    m_window.reset();
    m_folder.reset();
    Interaction::install(nullptr);
}

QString TestConsoleDisplay::writeVM(const QString& name, const QStringList& keys, NewVM::Plan plan)
{
    plan.name = name;
    plan.storeFolder = m_folder->file(s("VMs"));
    plan.storeId = s("0");
    if (plan.versionId.isEmpty())
        plan.versionId = s("qemu");
    plan.platform = NewVM::DefaultsFor(plan.arc);
    plan.disk = NewVM::DiskChoice::None;
    plan.output = NewVM::Output::Vimor;
    const QString vm = NewVM::ComposeVM(plan, m_window->versions(), &CreateDiskImage);
    for (const QString& key : keys) {
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        const qsizetype equals = key.indexOf(QLatin1Char('='), slash);
        const QString section = key.left(slash);
        const QString field = key.mid(slash + 1, equals - slash - 1);
        if (!WriteVMFileValue(vm, section, field, key.mid(equals + 1)))
            return {};
        // As the editors would have written it.
        if (ApprovedValues::isWatched(section, field))
            ApprovedValues::approve(vm, section, field, key.mid(equals + 1));
    }
    WriteVMFileValue(vm, s("Audio"), s("Enable Sound"), s("No"));
    m_window->BuildVMTree();
    return m_window->selectVM(vm) ? vm : QString();
}

void TestConsoleDisplay::stopSelected(const QString& vm)
{
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_VERIFY2_WITH_TIMEOUT(
        !Processes::IsProcessAlive(pid),
        qPrintable(m_ui->shownTexts().join(s("\n")) + m_window->monitorTerminal()->screenText()),
        15000);
}

// The BIOS's 720 x 400 screen in a smaller console: fitted with its aspect, no scroll bars, and a
// click lands on the guest pixel under it (QEMU's own trace of the tablet's position says which).
// Then actual size, full screen, a screenshot, and a connection that breaks and comes back.
void TestConsoleDisplay::fittedScreenInTheWindow()
{
    QVERIFY(m_folder->write(s("VMs/boot.img"), bootSector()));
    const QString vm = writeVM(s("fitted"), {s("Hardware/CPUArc=64 Bit"), s("Drives/HDA=boot.img"),
                                             s("Hardware/USB Tablet=Yes"),
                                             s("Advanced/OptionalString=-trace input_event_abs")});
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(panel->state() == DisplayConnection::State::Connected &&
                                 panel->image().size() == QSize(720, 400),
                             20000);
    auto* area = qobject_cast<QScrollArea*>(panel->parentWidget()->parentWidget()->parentWidget());
    QVERIFY(area);
    QVERIFY(area->viewport()->width() < 720);
    QTRY_COMPARE(panel->size(), area->viewport()->size());
    QVERIFY(!area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible());
    const QRectF picture = panel->pictureRect();
    QVERIFY(QRectF(panel->rect()).contains(picture));
    QVERIFY(qAbs(picture.width() / picture.height() - 720.0 / 400.0) < 0.01);
    QVERIFY(qAbs(picture.width() - panel->width()) < 1 ||
            qAbs(picture.height() - panel->height()) < 1);

    // The BIOS leaves the tablet unused and QEMU's pointer relative; a guest's driver would take
    // it up, as the monitor does here.
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    m_window->SendMonitorCommand(s("info mice"));
    const QRegularExpression tablet(s("Mouse #(\\d+): QEMU HID Tablet"));
    QTRY_VERIFY_WITH_TIMEOUT(tablet.match(m_window->monitorTerminal()->screenText()).hasMatch(),
                             5000);
    m_window->SendMonitorCommand(
        s("mouse_set ") + tablet.match(m_window->monitorTerminal()->screenText()).captured(1));
    m_window->SendMonitorCommand(s("info mice"));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorTerminal()->screenText().contains(
                                 QRegularExpression(s("\\* Mouse #\\d+: QEMU HID Tablet"))),
                             5000);

    // Three quarters across, a quarter down: the click lands on that guest pixel exactly.
    const QPoint at(
        (picture.topLeft() + QPointF(picture.width() * 0.75, picture.height() * 0.25)).toPoint());
    const int guestX = int(std::floor((at.x() - picture.x()) * 720 / picture.width()));
    const int guestY = int(std::floor((at.y() - picture.y()) * 400 / picture.height()));
    QVERIFY(qAbs(guestX - 540) <= 2 && qAbs(guestY - 100) <= 2);
    QTest::mouseClick(panel, Qt::LeftButton, {}, at);
    QVERIFY(panel->isGrabbed());
    QTest::mouseClick(panel, Qt::LeftButton, {}, at);
    QTest::keyPress(panel, Qt::Key_Control);
    QTest::keyPress(panel, Qt::Key_Alt, Qt::ControlModifier);
    QVERIFY(!panel->isGrabbed());
    QTest::keyRelease(panel, Qt::Key_Alt, Qt::ControlModifier);
    QTest::keyRelease(panel, Qt::Key_Control);

    // Actual size: one to one with scroll bars, kept in the VM's file.
    m_window->actualSizeAction()->trigger();
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Display Scaling")), s("Actual Size"));
    QCOMPARE(panel->size(), QSize(720, 400));
    QTRY_VERIFY(area->horizontalScrollBar()->isVisible());
    m_window->fitAction()->trigger();
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Display Scaling")), s("Fit to Window"));
    QTRY_VERIFY(!area->horizontalScrollBar()->isVisible());

    // Full screen: the panel alone, the way back shown for two seconds, then back in the console.
    QCOMPARE(m_window->fullScreenAction()->shortcut(),
             QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Return));
    m_window->fullScreenAction()->trigger();
    FullScreenDisplay& full = m_window->fullScreenDisplay();
    QCOMPARE(panel->window(), &full);
    QVERIFY(full.isVisible() && full.isHintShown());
    QTRY_COMPARE(panel->size(), full.size());
    QTRY_VERIFY_WITH_TIMEOUT(!full.isHintShown(), FullScreenDisplay::HintMs + 2000);
    m_window->fullScreenAction()->trigger();
    QCOMPARE(panel->window(), m_window.get());
    QVERIFY(!full.isVisible());
    QTRY_COMPARE(panel->size(), area->viewport()->size());

    // The screenshot is the guest's own resolution.
    const QString shot = m_folder->file(s("shot.png"));
    m_ui->answerText(shot);
    m_window->SaveScreenshotClick();
    QCOMPARE(QImage(shot).size(), QSize(720, 400));

    // A connection that breaks comes back while QEMU lives.
    QVERIFY(cutConnections(EmbeddedDisplay::socketPath(vm)) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), DisplayConnection::State::Closed, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 10000);
    stopSelected(vm);
    // QEMU scales the tablet's position to 0..32767 of the screen's width and height.
    const auto traced = [this](const char* axis, int pixel, int side) {
        return m_window->logText().contains(QStringLiteral("axis %1, value 0x%2")
                                                .arg(QLatin1String(axis))
                                                .arg(qint64(pixel) * 0x7fff / side, 0, 16));
    };
    QTRY_VERIFY2_WITH_TIMEOUT(traced("x", guestX, 720) && traced("y", guestY, 400),
                              qPrintable(m_window->logText().right(600)), 10000);
}

// The installer's kernel on VirtIO VGA takes the console's size, twice, as QEMU's own picture of
// the screen shows.
void TestConsoleDisplay::guestFollowsThePanel()
{
    QString error;
    const QString disc = InstallerDisc(QCoreApplication::applicationDirPath(), &error);
    if (disc.isEmpty())
        QSKIP(qPrintable(error));
    NewVM::Plan plan;
    plan.hardware = HardwarePresets::Parse(s("arch=64;machine=q35;cpus=2;video=virtio"));
    plan.ram = 1024;
    plan.installMedium = disc;
    m_window->resize(1000, 760);
    const QString vm = writeVM(s("follows"), {}, plan);
    QVERIFY(!vm.isEmpty());
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("Video Card")), s("VirtIO VGA"));
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    const QString dump = m_folder->file(s("screen.ppm"));
    const auto screenSize = [&] {
        QFile::remove(dump);
        m_window->SendMonitorCommand(s("screendump ") + dump);
        QImage picture;
        if (!QTest::qWaitFor([&] { return picture.load(dump); }, 3000))
            return QSize();
        return picture.size();
    };
    // The kernel's console comes up at the size asked for when its driver starts. It cannot grow
    // beyond that first size (a desktop's can): the window starts large.
    QTRY_VERIFY_WITH_TIMEOUT(screenSize() == panel->size(), 240000);
    for (const QSize window : {QSize(860, 640), QSize(700, 540)}) {
        m_window->resize(window);
        QTRY_VERIFY(panel->size().width() > window.width() - 300);
        const QSize wanted = panel->size();
        QTRY_VERIFY_WITH_TIMEOUT(screenSize() == wanted, DisplayPanel::ResizeSettleMs + 5000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->image().size(), wanted, 5000);
    }
    m_window->resize(760, 560);
    stopSelected(vm);
}

// A snapshot made from the VM menu with the clipboard shared, then loaded at the start: QEMU
// makes its display socket only after more than five seconds, and the screen still shows.
void TestConsoleDisplay::lateDisplayFromASnapshot()
{
    const QString disk = m_folder->file(s("VMs/snap.qcow2"));
    QProcess image;
    image.start(s("/usr/bin/qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"), disk, s("8M")});
    QVERIFY(image.waitForFinished(20000) && image.exitCode() == 0);
    const QString vm = writeVM(s("late"), {s("Hardware/CPUArc=64 Bit"), s("Drives/HDA=snap.qcow2"),
                                           s("Hardware/Share Clipboard=Yes")});
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    QVERIFY2(m_window->launcher().lastLaunchString().contains(s("qemu-vdagent")),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    m_ui->answerText(s("start"));
    m_window->VMControlClick(s("CreateSnapshot"));
    m_window->SendMonitorCommand(s("info snapshots"));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorTerminal()->screenText().contains(s(" start ")),
                             20000);
    QVERIFY(!m_window->monitorTerminal()->screenText().contains(s("Error")));

    // The host's clipboard and QEMU's, which its agent serves to the guest, meet through the
    // panel: here a second viewer stands for the guest's side, which needs an agent in a desktop.
    DisplayConnection guestSide;
    QSignalSpy fromHost(&guestSide, &DisplayConnection::clipboardTextReceived);
    guestSide.setClipboardSharing(true);
    guestSide.open(EmbeddedDisplay::socketPath(vm));
    QTRY_COMPARE_WITH_TIMEOUT(guestSide.state(), DisplayConnection::State::Connected, 10000);
    QGuiApplication::clipboard()->setText(s("Grüße vom Host ✓"));
    QTRY_VERIFY_WITH_TIMEOUT(!fromHost.isEmpty(), 10000);
    QCOMPARE(fromHost.constLast().first().toString(), s("Grüße vom Host ✓"));
    guestSide.offerClipboardText(s("from the guest"));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), s("from the guest"), 10000);
    guestSide.close();
    stopSelected(vm);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 10000);

    WriteVMFileValue(vm, s("General"), s("Qemu Version ID"), s("slow"));
    WriteVMFileValue(vm, s("Advanced"), s("Snapshot"), s("start"));
    m_window->BuildVMTree();
    QVERIFY(m_window->selectVM(vm));
    m_ui->clear();
    QElapsedTimer clock;
    clock.start();
    m_window->PlayClick();
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 30000);
    QVERIFY(clock.elapsed() > 5000);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled() && m_window->monitorConnected(), 10000);
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Status")), s("Running"));
    stopSelected(vm);
}

QTEST_MAIN(TestConsoleDisplay)
#include "tst_consoledisplay.moc"
