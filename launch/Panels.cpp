#include "launch/Panels.h"

#include "model/ProgramFolder.h"
#include "platform/FileSystem.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace Panels {
namespace {

QString panelsFile()
{
    return ProgramFolder::file(QStringLiteral("\\panels.dat"));
}

QString portsFile()
{
    return ProgramFolder::file(QStringLiteral("\\VRPorts.dat"));
}

// The file's lines without their line ends; a missing file has none.
QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    // The last line end leaves one empty piece behind it.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

bool writeLines(const QString& path, const QStringList& lines)
{
    QByteArray data;
    for (const QString& line : lines)
        data += line.toLatin1() + "\r\n";
    return FileSystem::writeFileAtomically(path, data);
}

} // namespace

QString AllocatePanel()
{
    QStringList candidates;
    for (int number = 1; number <= PanelCount; ++number)
        candidates.append(QString::number(number));
    candidates.sort();
    QStringList taken = readLines(panelsFile());
    for (const QString& number : std::as_const(taken))
        candidates.removeAll(number);
    if (candidates.isEmpty())
        return QStringLiteral("ERR");
    taken.append(candidates.constFirst());
    writeLines(panelsFile(), taken);
    return candidates.constFirst();
}

void RemovePanel(const QString& number)
{
    if (!QFile::exists(panelsFile()))
        return;
    QStringList lines = readLines(panelsFile());
    const qsizetype at = lines.indexOf(number);
    if (at < 0)
        return;
    lines.removeAt(at);
    writeLines(panelsFile(), lines);
}

bool PanelsInUse()
{
    return !readLines(panelsFile()).isEmpty();
}

int AllocateMonitorPort()
{
    QStringList lines = readLines(portsFile());
    if (lines.isEmpty()) {
        writeLines(portsFile(), {QString::number(FirstMonitorPort)});
        return FirstMonitorPort;
    }
    lines.sort();
    const QSet<QString> taken(lines.cbegin(), lines.cend());
    for (int port = FirstMonitorPort; port <= LastMonitorPort; ++port) {
        const QString text = QString::number(port);
        if (taken.contains(text))
            continue;
        lines.append(text);
        writeLines(portsFile(), lines);
        return port;
    }
    return 0;
}

QString SocketKey(const QString& vmId)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    if (plain.match(vmId).hasMatch())
        return vmId;
    return QStringLiteral("id-") +
           QString::fromLatin1(
               QCryptographicHash::hash(vmId.toUtf8(), QCryptographicHash::Sha1).toHex().left(24));
}

QString MonitorSocketPath(const QString& folder, const QString& vmKey)
{
    return folder + QStringLiteral("/monitor-") + vmKey + QStringLiteral(".sock");
}

QString DisplaySocketPath(const QString& folder, const QString& vmKey)
{
    return folder + QStringLiteral("/display-") + vmKey + QStringLiteral(".sock");
}

QString VncSocketPath(const QString& folder, const QString& vmKey)
{
    return folder + QStringLiteral("/vnc-") + vmKey + QStringLiteral(".sock");
}

QString VncSecretName(const QString& vmKey)
{
    return QStringLiteral("vnc-") + vmKey + QStringLiteral(".secret");
}

bool SocketAnswers(const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(200);
}

} // namespace Panels
