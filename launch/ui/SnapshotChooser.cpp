#include "launch/ui/SnapshotChooser.h"

#include "launch/Snapshots.h"
#include "launch/ui/SnapshotsWindow.h"
#include "media/DriveValues.h"
#include "model/ProgramFolder.h"
#include "model/VMContext.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/ui/ImageLibrary.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionRegistry.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

const QString CannotList = QStringLiteral("Cannot retrieve VM snapshots at present");

// The last output lines may still be on their way when the tool has ended.
constexpr int LastLinesDelayMs = 100;

QString lineText(QByteArray bytes)
{
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

} // namespace

SnapshotChooser::SnapshotChooser(VMContext& vm, QWidget* parent)
    : QObject(parent), m_vm(vm), m_parent(parent)
{}

SnapshotChooser::~SnapshotChooser() = default;

SnapshotsWindow* SnapshotChooser::window() const
{
    return m_window;
}

bool SnapshotChooser::ListSnapshots()
{
    // The wait below lets the user interface run; a second request meanwhile is ignored.
    if (m_listing)
        return false;
    m_listing = true;
    m_vm.ClearLog();
    m_vmFile = m_vm.selectedVM();

    const QString versionPath = m_vm.versions().VersionPath(
        m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("Qemu Version ID")));
    const QString diskPath = ResolveDrivePath(
        m_vm.ReadVMValue(QStringLiteral("Drives"), QStringLiteral("HDA")),
        m_vm.table(VMContext::Table::VLookup),
        m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID")));
    const QString command = FileSystem::nativePath(SnapshotListCommand(versionPath, diskPath));
    QStringList arguments = CommandLine::SplitCommandLine(command);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    const QString versionFolder = ProgramFolder::nativeExpanded(versionPath);

    QWidget* parent = m_vm.dialogParent() ? m_vm.dialogParent() : m_parent;
    const bool ran =
        !program.isEmpty() && runListing(FileSystem::matchCase(program), arguments, versionFolder);
    m_listing = false;
    if (!ran) {
        Interaction::error(parent, CannotList);
        return false;
    }

    if (!m_window)
        m_window = new SnapshotsWindow(parent);
    m_window->setRows(ParseSnapshotListing(m_output), m_vm.images().mi);
    return true;
}

bool SnapshotChooser::runListing(const QString& program, const QStringList& arguments,
                                 const QString& workingFolder)
{
    m_output.clear();
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // The tool runs from its version's folder; without one it runs where the program runs.
    if (!workingFolder.isEmpty() && QFileInfo(workingFolder).isDir())
        process.setWorkingDirectory(FileSystem::matchCase(workingFolder));
    // Both streams in one, in the order the tool wrote them: its messages land in the log too.
    process.setProcessChannelMode(QProcess::MergedChannels);

    const auto takeLines = [this, &process](bool all) {
        while (process.canReadLine() || (all && process.bytesAvailable() > 0)) {
            const QString line =
                lineText(process.canReadLine() ? process.readLine() : process.readAll());
            m_output.append(line);
            m_vm.AppendLog(line);
        }
    };
    connect(&process, &QProcess::readyReadStandardOutput, this, [&takeLines] { takeLines(false); });

    QEventLoop loop;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, [&loop, &process](QProcess::ProcessError) {
        if (process.state() == QProcess::NotRunning)
            loop.quit();
    });

    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted())
        return false;
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    QTimer::singleShot(LastLinesDelayMs, &loop, &QEventLoop::quit);
    loop.exec();
    takeLines(true);
    return true;
}

void SnapshotChooser::ChooseSnapshot()
{
    if (!ListSnapshots() || !m_window)
        return;
    SnapshotsWindow& window = *m_window;
    if (window.selectedRow() < 0)
        window.selectRow(0);
    if (Interaction::current().execDialog(window) != QDialog::Accepted)
        return;

    const int selected = window.selectedRow();
    if (selected < 0 || selected >= window.rows().size())
        return;
    const SnapshotRow& row = window.rows().at(selected);
    const bool none = row.id == QLatin1String("-");
    const QString savedState = none ? QString() : row.id + QStringLiteral(" - ") + row.tag;
    const QString snapshot = none ? QString() : row.id;
    if (m_vm.WriteVMValue(m_vmFile, QStringLiteral("Advanced"), QStringLiteral("SavedState"),
                          savedState))
        m_vm.WriteVMValue(m_vmFile, QStringLiteral("Advanced"), QStringLiteral("Snapshot"),
                          snapshot);
    m_vm.ShowSettings();
}
