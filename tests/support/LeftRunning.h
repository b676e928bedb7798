#pragma once

#include "model/VMFile.h"
#include "platform/Processes.h"

#include <QDir>
#include <QString>

// Ends the VMs of a store that a failed check left running, which would slow every test after it.
inline void EndVMsLeftRunning(const QString& storeFolder)
{
    const QDir store(storeFolder);
    for (const QString& name : store.entryList({QStringLiteral("*.vm2")})) {
        const QString vm = store.filePath(name);
        const QString general = QStringLiteral("General");
        if (ReadVMFileValue(vm, general, QStringLiteral("Status")) == QLatin1String("Running"))
            Processes::terminate(
                ReadVMFileValue(vm, general, QStringLiteral("StatusID")).toLongLong());
    }
}
