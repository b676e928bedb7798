#include "devices/CardModels.h"

#include "model/HardwareCatalogue.h"
#include "model/VMContext.h"

void ResetCardModels(VMContext& vm)
{
    bool ok = false;
    const int count =
        vm.ReadVMValue(QStringLiteral("Network"), QStringLiteral("CardCount")).toInt(&ok, 10);
    if (!ok || count < 1)
        return;
    const QString arc = vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("Arc"));
    const bool lance = arc == QStringLiteral("sparc") &&
                       vm.ReadVMValue(QStringLiteral("Hardware"), QStringLiteral("CPUArc")) !=
                           QStringLiteral("64 Bit");
    const std::optional<ChoiceList> models = ListNetworkCardModels(
        arc, vm.ReadVMValue(QStringLiteral("Hardware"), QStringLiteral("MID")), lance);
    // An architecture without models has nothing to reset the cards to.
    if (!models || models->isEmpty())
        return;
    const ChoiceRow& first = models->first();
    for (int n = 1; n <= count; ++n) {
        const QString section = QStringLiteral("Network Card ") + QString::number(n);
        // Stop at the first failed write: it has been reported, and the rest would fail alike.
        if (!vm.WriteVMValue(QString(), section, QStringLiteral("Lan Card"), first.display) ||
            !vm.WriteVMValue(QString(), section, QStringLiteral("Lan Card ID"),
                             QStringLiteral("0")) ||
            !vm.WriteVMValue(QString(), section, QStringLiteral("LID"), first.id))
            return;
    }
}
