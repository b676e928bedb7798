#include "launch/OwnValuesCheck.h"

#include "media/LaunchDrives.h"
#include "model/ApprovedValues.h"
#include "model/ProgramFolder.h"
#include "model/VMContext.h"

#include <QRegularExpression>

namespace OwnValuesCheck {

namespace {

bool approved(VMContext& vm, const Value& value)
{
    return ApprovedValues::isApproved(vm.selectedVM(), value.section, value.key, value.text);
}

int count(VMContext& vm, const QString& key)
{
    bool ok = false;
    const int n = vm.ReadVMValue(QStringLiteral("Ports"), key).toInt(&ok);
    return ok ? std::min(n, 1000) : 0;
}

} // namespace

QList<Value> Unapproved(VMContext& vm)
{
    QList<Value> values;
    const auto check = [&](Value value) {
        if (!value.text.isEmpty() && !approved(vm, value))
            values.append(std::move(value));
    };
    const QString advanced = QStringLiteral("Advanced");
    const bool overrideAll =
        vm.ReadVMValue(advanced, QStringLiteral("OverrideAll")) == QLatin1String("Yes");
    check({advanced, QStringLiteral("OptionalString"),
           overrideAll ? QStringLiteral("Override All (the whole QEMU command line)")
                       : QStringLiteral("Additional QEMU Parameters"),
           vm.ReadVMValue(advanced, QStringLiteral("OptionalString"))});

    // Files inside the VM's own store folder or the program's Media folder are the VM's own.
    const QString store = LaunchDrives::StoreFolder(vm);
    const QString media = ProgramFolder::nativeExpanded(QStringLiteral("{VR}\\media"));
    const auto outside = [&](const QString& path) {
        return !LaunchDrives::isInside(path, store) && !LaunchDrives::isInside(path, media);
    };
    for (const LaunchDrives::Drive& drive : LaunchDrives::Of(vm))
        if (outside(drive.path))
            check({drive.section, drive.key, drive.what, drive.value});

    static const QRegularExpression hostPort(QStringLiteral("^COM[0-9]{1,3}$"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (int n = 1, last = count(vm, QStringLiteral("SerialCount")); n <= last; ++n) {
        const QString section = QStringLiteral("Serial Port ") + QString::number(n);
        const QString type = vm.ReadVMValue(section, QStringLiteral("SerialTy"));
        const QString text = vm.ReadVMValue(section, QStringLiteral("Serial"));
        // A physical port is passed to QEMU as a character device of any kind.
        if ((type == QLatin1String("1") && !hostPort.match(text).hasMatch()) ||
            (type == QLatin1String("2") && outside(text)))
            check({section, QStringLiteral("Serial"), section, text});
    }
    for (int n = 1, last = count(vm, QStringLiteral("ParallelCount")); n <= last; ++n) {
        const QString section = QStringLiteral("Parallel Port ") + QString::number(n);
        const QString text = vm.ReadVMValue(section, QStringLiteral("Parallel"));
        if (vm.ReadVMValue(section, QStringLiteral("ParallelTy")) == QLatin1String("1") &&
            outside(text))
            check({section, QStringLiteral("Parallel"), section, text});
    }
    return values;
}

QString Question(const QList<Value>& values)
{
    QString text = QStringLiteral(
        "This virtual machine's file holds settings that were not made with this program's "
        "editors. They can make QEMU run programs or open your files:\n");
    for (const Value& value : values)
        text += QStringLiteral("\n%1:\n%2\n").arg(value.what, value.text);
    text += QStringLiteral("\nLaunch the virtual machine with these settings? Answer Yes only if "
                           "you trust where this file came from.");
    return text;
}

bool Approve(VMContext& vm, const QList<Value>& values)
{
    bool ok = true;
    for (const Value& value : values)
        ok = ApprovedValues::approve(vm.selectedVM(), value.section, value.key, value.text) && ok;
    return ok;
}

} // namespace OwnValuesCheck
