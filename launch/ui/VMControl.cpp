#include "launch/ui/VMControl.h"

#include "launch/ClipboardChannel.h"
#include "launch/MonitorArgument.h"
#include "launch/MonitorClient.h"
#include "media/DeviceIdentity.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"

namespace {

const QString mediaFilter =
    QStringLiteral("ISO CD/DVD Disc Image|*.iso|Floppy Disk Image|*.img|ALL Files|*.*");
const QString ejectCD = QStringLiteral("eject -f ide1-cd0");
const QString ejectFloppy0 = QStringLiteral("eject -f floppy0");
const QString ejectFloppy1 = QStringLiteral("eject -f floppy1");
const QString systemReset = QStringLiteral("system_reset");
constexpr int QuitCloseWaitMs = 3000;

// The chooser's filter line (counted from 1) as the chooser names it.
QString filterLine(int line)
{
    return Interaction::pipeFilter(mediaFilter).split(QLatin1String(";;")).value(line - 1);
}

} // namespace

VMControl::Host VMControl::clientHost(MonitorClient& client)
{
    Host host;
    host.send = [&client](const QString& text, QString* error) {
        return client.SendMonitorCommand(text, error);
    };
    host.isConnected = [&client] { return client.isConnected(); };
    // Used after "quit": QEMU closes its end as it ends.
    host.disconnect = [&client](QString* error) {
        return client.disconnectFromMonitor(error, QuitCloseWaitMs);
    };
    return host;
}

VMControl::VMControl(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)) {}

QWidget* VMControl::parentWidget() const
{
    return m_host.dialogParent ? m_host.dialogParent() : nullptr;
}

QString VMControl::pauseCaption() const
{
    return m_paused ? QStringLiteral("Resume Virtual Machine")
                    : QStringLiteral("Pause Virtual Machine");
}

bool VMControl::SendMonitorCommand(const QString& text)
{
    QString error = QStringLiteral("The QEMU monitor is not connected");
    if (m_host.send && m_host.send(text, &error))
        return true;
    if (m_host.showStatus)
        m_host.showStatus(QStringLiteral("Error: ") + error);
    return false;
}

bool VMControl::sendAll(const QStringList& texts)
{
    // The lines of one action depend on each other: after a failed "change" the VM is not reset.
    for (const QString& text : texts)
        if (!SendMonitorCommand(text))
            return false;
    return true;
}

bool VMControl::run(const QString& command)
{
    const auto is = [&command](const char* key) { return command == QLatin1String(key); };
    if (is("EjectCD"))
        sendAll({ejectCD});
    else if (is("LoadCD"))
        loadImage(QStringLiteral("Select CD/DVD Image"), QStringLiteral("iso"), 1, {ejectCD},
                  QStringLiteral("change ide1-cd0 "), {});
    else if (is("LoadCDRestart"))
        loadImage(QStringLiteral("Select CD/DVD Image"), QStringLiteral("iso"), 1, {ejectCD},
                  QStringLiteral("change ide1-cd0 "), {QStringLiteral("boot_set d"), systemReset});
    else if (is("PhysicalCD"))
        usePhysicalDrive(true);
    else if (is("EjectFloppy0"))
        sendAll({ejectFloppy0});
    else if (is("EjectFloppy1"))
        sendAll({ejectFloppy1});
    else if (is("LoadFloppy0"))
        loadImage(QStringLiteral("Select Floppy Disk 0 Image"), QStringLiteral("img"), 2,
                  {ejectFloppy0}, QStringLiteral("change floppy0 "), {});
    else if (is("LoadFloppy1"))
        loadImage(QStringLiteral("Select Floppy Disk 1 Image"), QStringLiteral("img"), 2,
                  {ejectFloppy1}, QStringLiteral("change floppy1 "), {});
    else if (is("LoadFloppy0Restart"))
        loadImage(QStringLiteral("Select Floppy Disk 0 Image"), QStringLiteral("img"), 2,
                  {ejectFloppy0}, QStringLiteral("change floppy0 "), {systemReset});
    else if (is("PhysicalFloppy"))
        usePhysicalDrive(false);
    else if (is("CtrlAltDel"))
        sendAll({QStringLiteral("sendkey ctrl-alt-delete")});
    else if (is("Pause"))
        togglePause();
    else if (is("CreateSnapshot"))
        snapshotCommand(QStringLiteral("Create snapshot"), QStringLiteral("savevm "), true);
    else if (is("LoadSnapshot"))
        snapshotCommand(QStringLiteral("Load Snapshot"), QStringLiteral("loadvm "), true);
    else if (is("DeleteSnapshot"))
        snapshotCommand(QStringLiteral("Delete Snapshot"), QStringLiteral("delvm "), false);
    else if (is("Reset"))
        sendAll({systemReset});
    else if (is("PowerDown"))
        sendAll({QStringLiteral("system_powerdown")});
    else if (is("Quit"))
        quit();
    else
        return false;
    return true;
}

void VMControl::loadImage(const QString& title, const QString& suffix, int filterLineNumber,
                          const QStringList& before, const QString& change,
                          const QStringList& after)
{
    Interaction::FileRequest request;
    request.title = title;
    request.filter = Interaction::pipeFilter(mediaFilter);
    request.selectedFilter = filterLine(filterLineNumber);
    request.defaultSuffix = suffix;
    const std::optional<QString> path =
        Interaction::current().openFileName(parentWidget(), request);
    if (!path)
        return;
    const std::optional<QString> argument = MonitorArgument::quoted(*path);
    if (!argument) {
        Interaction::error(parentWidget(), MonitorArgument::refusal(*path));
        return;
    }
    sendAll(before + QStringList{change + *argument} + after);
}

void VMControl::usePhysicalDrive(bool cd)
{
    const QStringList letters =
        HostDrives::ListHostDrives(cd ? HostDrives::DriveType::CD : HostDrives::DriveType::Floppy);
    const QString none = cd ? QStringLiteral("There are NO physical CD/DVD Drives to use!")
                            : QStringLiteral("There are NO physical Floppy Disk Drives to use!");
    if (letters.isEmpty()) {
        Interaction::error(parentWidget(), none);
        return;
    }
    const QStringList identities = DeviceIdentity::IdentitiesOf(letters);
    const std::optional<QString> letter =
        m_host.chooseDrive ? m_host.chooseDrive(letters) : std::nullopt;
    if (!letter || letter->isEmpty())
        return;
    // The letters follow the devices present: while the window was open they may have moved.
    const QString moved = DeviceIdentity::MovedSinceListed(*letter, letters, identities);
    if (!moved.isEmpty()) {
        Interaction::error(parentWidget(), moved);
        return;
    }
    // QEMU opens the drive by its device, "/dev/sr0" where the Windows build took "\\.\D:".
    const QString device = HostDrives::devicePathOf(*letter);
    if (device.isEmpty() || device == *letter) {
        Interaction::error(parentWidget(), none);
        return;
    }
    const QString argument = MonitorArgument::quoted(device).value_or(QString());
    if (argument.isEmpty()) {
        Interaction::error(parentWidget(), MonitorArgument::refusal(device));
        return;
    }
    if (cd)
        sendAll({ejectCD, QStringLiteral("change cdrom ") + argument,
                 QStringLiteral("change ide1-cd0 ") + argument});
    else
        sendAll({ejectFloppy0, QStringLiteral("change floppy0 ") + argument});
}

void VMControl::snapshotCommand(const QString& title, const QString& word, bool withoutAgent)
{
    const std::optional<QString> name = Interaction::current().text(
        parentWidget(), title, QStringLiteral("Snapshot Name/ID"), QString());
    if (!name)
        return;
    // An empty name still sends the command word; QEMU answers it in the terminal.
    const std::optional<QString> argument =
        name->isEmpty() ? QString() : MonitorArgument::quoted(*name);
    if (!argument) {
        Interaction::error(parentWidget(), MonitorArgument::refusal(*name));
        return;
    }
    const QString line = word + *argument;
    if (withoutAgent && m_host.clipboardChannel && m_host.clipboardChannel())
        sendAll(ClipboardChannel::AroundSnapshot(line));
    else
        sendAll({line});
}

void VMControl::togglePause()
{
    // The picture follows what was actually sent, so a failed send leaves it as it was.
    if (!SendMonitorCommand(m_paused ? QStringLiteral("cont") : QStringLiteral("stop")))
        return;
    m_paused = !m_paused;
    emit pausedChanged(m_paused);
}

void VMControl::quit()
{
    if (!Interaction::confirm(parentWidget(),
                              QStringLiteral("This will end your QEMU session - continue ?")))
        return;
    SendMonitorCommand(QStringLiteral("quit"));
    if (m_host.isConnected && m_host.isConnected() && m_host.disconnect) {
        QString error;
        if (!m_host.disconnect(&error) && m_host.showStatus)
            m_host.showStatus(QStringLiteral("Error: ") + error);
    }
    if (m_host.selectHardwareTab)
        m_host.selectHardwareTab();
}
