#pragma once

#include <QString>
#include <QStringList>

// The host's serial ports as device paths QEMU's "-serial" accepts ("/dev/ttyS0",
// "/dev/ttyUSB0"): built-in UARTs first, then USB serial adapters, then USB modems (CDC ACM),
// each by number. A port is listed only when the kernel has hardware behind it and its device node
// exists. The roots are parameters so that tests can lay out a tree of their own.
QStringList ListHostSerialPorts(const QString& sysRoot = QStringLiteral("/sys"),
                                const QString& devRoot = QStringLiteral("/dev"));
