#include "platform/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

namespace {

struct Port
{
    int family; // position of the name's prefix in the listing order
    int number;
    QString name;
};

// The 8250 driver registers its legacy ports whether or not a UART answers; those without one
// report type 0 (PORT_UNKNOWN). A ttyS entry without a readable type is taken as real.
bool hasUart(const QString& entry)
{
    QFile type(entry + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return true;
    return type.readAll().trimmed() != "0";
}

} // namespace

QStringList ListHostSerialPorts(const QString& sysRoot, const QString& devRoot)
{
    static const QRegularExpression pattern(QStringLiteral("^tty(S|USB|ACM)([0-9]+)$"));
    static const QStringList families = {QStringLiteral("S"), QStringLiteral("USB"),
                                         QStringLiteral("ACM")};

    const QDir classDir(sysRoot + QStringLiteral("/class/tty"));
    const QDir devDir(devRoot);
    QList<Port> ports;
    const QStringList entries =
        classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : entries) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const QString entry = classDir.filePath(name);
        // Virtual terminals and unbound ports have no device behind them; a dangling link counts
        // as none.
        if (!QFileInfo(entry + QStringLiteral("/device")).exists())
            continue;
        const int family = static_cast<int>(families.indexOf(match.captured(1)));
        if (family == 0 && !hasUart(entry))
            continue;
        // QEMU opens the device node; a port without one cannot be used.
        if (!QFileInfo::exists(devDir.filePath(name)))
            continue;
        bool ok = false;
        const int number = match.captured(2).toInt(&ok);
        if (!ok)
            continue;
        ports.append({family, number, name});
    }
    std::sort(ports.begin(), ports.end(), [](const Port& a, const Port& b) {
        return std::tie(a.family, a.number) < std::tie(b.family, b.number);
    });

    QStringList paths;
    paths.reserve(ports.size());
    for (const Port& port : std::as_const(ports))
        paths.append(QDir::cleanPath(devDir.filePath(port.name)));
    return paths;
}
