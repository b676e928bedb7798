#pragma once

// The program folder the launch benchmarks start their VMs from: the tables, the default store
// "{VR}\VMs" and one QEMU version, and VMs written from the template with some keys set.

#include "model/ApprovedValues.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <array>
#include <utility>

namespace BenchLibrary {

using Fields = QList<std::pair<const char*, const char*>>;
using Keys = QList<std::array<const char*, 3>>;

// The tables, the VMs folder, the default store and a version row with the given fields.
inline bool layOutTables(const QString& folder, const Fields& version)
{
    using namespace TableSchemas;
    if (!createProgramTables(folder) || !QDir(folder).mkpath(QStringLiteral("VMs")))
        return false;
    TableHandle stores;
    stores.setFolder(folder);
    stores.setTableName(VMStoreTable);
    TableHandle versions;
    versions.setFolder(folder);
    versions.setTableName(VersionTable);
    if (!stores.open() || !versions.open())
        return false;
    stores.insert();
    stores.setFieldValue(QStringLiteral("DSNAME"), QStringLiteral("Default VM Store"));
    stores.setFieldValue(QStringLiteral("DSID"), QStringLiteral("0"));
    stores.setFieldValue(QStringLiteral("PATH"), QStringLiteral("{VR}\\VMs"));
    versions.insert();
    for (const auto& [field, value] : version)
        versions.setFieldValue(QString::fromUtf8(field), QString::fromUtf8(value));
    return stores.post() && versions.post();
}

// A VM definition file from the template, with the keys set.
inline bool writeVM(const QString& vm, const Keys& keys)
{
    if (!WriteVMTemplate(vm, true))
        return false;
    for (const auto& [section, key, value] : keys) {
        const QString sectionName = QString::fromUtf8(section);
        const QString keyName = QString::fromUtf8(key);
        if (!WriteVMFileValue(vm, sectionName, keyName, QString::fromUtf8(value)))
            return false;
        // As the editors would have written it: the launch asks nothing.
        if (ApprovedValues::isWatched(sectionName, keyName))
            ApprovedValues::approve(vm, sectionName, keyName, QString::fromUtf8(value));
    }
    return true;
}

// The version folder "qemu" holding the host's PC emulator behind a wrapper that shows no window
// (there is no display here), and QEMU's own files.
inline bool layOutHostQemu(const QString& folder)
{
    QFile wrapper(folder + QStringLiteral("/qemu/qemu-system-x86_64"));
    if (!QDir(folder).mkpath(QStringLiteral("qemu")) || !wrapper.open(QIODevice::WriteOnly) ||
        wrapper.write("#!/bin/sh\nexec /usr/bin/qemu-system-x86_64 -display none \"$@\"\n") < 0)
        return false;
    wrapper.close();
    return wrapper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
           QFile::link(QStringLiteral("/usr/share/qemu"), folder + QStringLiteral("/qemu/pc-bios"));
}

} // namespace BenchLibrary
