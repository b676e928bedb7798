// How long one key read of a VM definition file takes. The settings view reads a few dozen keys
// one at a time, each read opening the file, so this figure times the whole view.

#include "model/IniFile.h"
#include "model/VMFile.h"

#include <QList>
#include <QPair>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

// The keys VM creation writes after the template: section, key, value.
QList<QStringList> creationKeys()
{
    return {
        {QStringLiteral("General"), QStringLiteral("VMID"), RandomId(20)},
        {QStringLiteral("General"), QStringLiteral("Arc"), QStringLiteral("x86")},
        {QStringLiteral("General"), QStringLiteral("VM Store"), QStringLiteral("Default")},
        {QStringLiteral("General"), QStringLiteral("VM Store ID"), QStringLiteral("0")},
        {QStringLiteral("General"), QStringLiteral("Qemu Version ID"), RandomId(50)},
        {QStringLiteral("Hardware"), QStringLiteral("RAM"), QStringLiteral("512")},
        {QStringLiteral("Hardware"), QStringLiteral("CPUArc"), QStringLiteral("32 Bit")},
        {QStringLiteral("Hardware"), QStringLiteral("CID"), QStringLiteral("Default")},
        {QStringLiteral("Hardware"), QStringLiteral("MID"), QStringLiteral("pc")},
        {QStringLiteral("Drives"), QStringLiteral("HDA"), QStringLiteral("Bench VM.qcow2")},
        {QStringLiteral("Network Card 1"), QStringLiteral("Lan Card"),
         QStringLiteral("NE2000 PCI")},
        {QStringLiteral("Network Card 1"), QStringLiteral("MAC"), GenerateMac()},
        {QStringLiteral("Network"), QStringLiteral("CardCount"), QStringLiteral("1")},
    };
}

const QStringList kSections = {
    QStringLiteral("General"),         QStringLiteral("Hardware"),
    QStringLiteral("Drives"),          QStringLiteral("Audio"),
    QStringLiteral("Network"),         QStringLiteral("Network Card 1"),
    QStringLiteral("Advanced"),        QStringLiteral("USB Devices"),
    QStringLiteral("Ports"),           QStringLiteral("Serial Port 1"),
    QStringLiteral("Parallel Port 1"),
};

} // namespace

int main()
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const QString path = folder.filePath(QStringLiteral("Bench VM.vm2"));
    QString error;
    if (!WriteVMTemplate(path, true, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (const QStringList& entry : creationKeys()) {
        if (!WriteVMFileValue(path, entry[0], entry[1], entry[2], &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }

    QList<QPair<QString, QString>> keys;
    const IniFile ini(path);
    for (const QString& section : kSections) {
        for (const QString& line : ini.readSectionValues(section))
            keys.append({section, line.section(QLatin1Char('='), 0, 0)});
    }

    constexpr int rounds = 2000;
    qsizetype checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const auto& [section, key] : std::as_const(keys))
            checksum += ReadVMFileValue(path, section, key).size();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double reads = static_cast<double>(rounds) * static_cast<double>(keys.size());
    const double micros = std::chrono::duration<double, std::micro>(elapsed).count() / reads;
    std::printf("keys in file: %lld, reads: %.0f, checksum: %lld\n",
                static_cast<long long>(keys.size()), reads, static_cast<long long>(checksum));
    std::printf("microseconds per key: %.2f\n", micros);
    return 0;
}
