#include "launch/ModernOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>

#include <unistd.h>

namespace ModernOptions {

namespace {

QString withAudiodev(const char* device, const QString& audiodevId)
{
    return QLatin1String(device) + QStringLiteral(",audiodev=") + audiodevId;
}

} // namespace

std::optional<QStringList> soundDevices(const QString& cards, const QString& arc,
                                        const QString& audiodevId, bool* pcSpeaker,
                                        QString* unknown)
{
    const bool x86 = arc == QLatin1String("x86");
    QStringList devices;
    const auto add = [&devices, &audiodevId](const char* device) {
        const QString option = withAudiodev(device, audiodevId);
        if (!devices.contains(option))
            devices.append(option);
    };
    for (const QString& card : cards.split(QLatin1Char(','))) {
        if (card == QLatin1String("sb16")) {
            add("sb16");
        } else if (card == QLatin1String("ac97")) {
            add("AC97");
        } else if (card == QLatin1String("es1370")) {
            add("ES1370");
        } else if (card == QLatin1String("adlib")) {
            add("adlib");
        } else if (card == QLatin1String("gus")) {
            add("gus");
        } else if (card == QLatin1String("cs4231a")) {
            add("cs4231a");
        } else if (card == QLatin1String("hda")) {
            if (!devices.contains(QLatin1String("intel-hda")))
                devices.append(QStringLiteral("intel-hda"));
            add("hda-duplex");
        } else if (card == QLatin1String("pcspk")) {
            // Only the PC machines have the speaker as a property; elsewhere it is the board's.
            if (x86 && pcSpeaker)
                *pcSpeaker = true;
        } else if (card == QLatin1String("all")) {
            // Every card the board can take: the PCI ones everywhere, the ISA ones on a PC.
            // Boards with sound of their own (ARM) use the back end as it is.
            if (arc == QLatin1String("arm"))
                continue;
            add("ES1370");
            add("AC97");
            if (x86) {
                add("sb16");
                add("adlib");
                if (pcSpeaker)
                    *pcSpeaker = true;
            }
        } else {
            if (unknown)
                *unknown = card;
            return std::nullopt;
        }
    }
    return devices;
}

QString machineId(const QString& id)
{
    // Boards that today's QEMU knows by another name, or only by their successor.
    static const QHash<QString, QString> renamed = {
        {QStringLiteral("bareetraxfs"), QStringLiteral("axis-dev88")},
        {QStringLiteral("realview"), QStringLiteral("realview-eb")},
        {QStringLiteral("prep"), QStringLiteral("40p")},
        {QStringLiteral("mips"), QStringLiteral("malta")},
        {QStringLiteral("SS-2"), QStringLiteral("SS-5")},
        {QStringLiteral("taihu"), QStringLiteral("ref405ep")},
        {QStringLiteral("Niagara"), QStringLiteral("niagara")},
        {QStringLiteral("dummy"), QStringLiteral("none")},
    };
    return renamed.value(id, id);
}

bool machineRemoved(const QString& id)
{
    // The sun4d boards are gone; the Jazz boards are left only in the 64-bit emulator, and a VM
    // of the MIPS platforms runs a 32-bit one.
    static const QStringList removed = {QStringLiteral("SS-1000"), QStringLiteral("SS-2000"),
                                        QStringLiteral("magnum"), QStringLiteral("pica61")};
    return removed.contains(id);
}

bool takesVgaCard(const QString& arc)
{
    return arc != QLatin1String("sparc") && arc != QLatin1String("cf") &&
           arc != QLatin1String("cris");
}

QString nicModel(const QString& model)
{
    static const QHash<QString, QString> renamed = {
        {QStringLiteral("virtio"), QStringLiteral("virtio-net-pci")},
        // The catalogue's name for the i82559 ER card.
        {QStringLiteral("i82559e"), QStringLiteral("i82559er")},
        {QStringLiteral("mcf_fec"), QStringLiteral("mcf-fec")},
    };
    return renamed.value(model, model);
}

bool isOnBoardNic(const QString& model)
{
    // Cards soldered onto their boards cannot be added as devices.
    static const QStringList onBoard = {QStringLiteral("smc91c111"), QStringLiteral("lan9118"),
                                        QStringLiteral("mcf_fec"),   QStringLiteral("fseth"),
                                        QStringLiteral("lance"),     QStringLiteral("mipsnet")};
    return onBoard.contains(model);
}

std::optional<QString> hostForward(const QString& redirector)
{
    static const QRegularExpression form(
        QStringLiteral("^(tcp|udp):(?:((?:\\d{1,3}\\.){3}\\d{1,3}):)?(\\d{1,5}):((?:\\d{1,3}\\.){3}"
                       "\\d{1,3})?:(\\d{1,5})$"));
    const QRegularExpressionMatch match = form.match(redirector);
    if (!match.hasMatch())
        return std::nullopt;
    for (int port : {3, 5}) {
        const int value = match.captured(port).toInt();
        if (value < 1 || value > 65535)
            return std::nullopt;
    }
    // Without an address QEMU would listen on every interface, the whole network reaching in.
    const QString host =
        match.captured(2).isEmpty() ? QStringLiteral("127.0.0.1") : match.captured(2);
    return match.captured(1) + QLatin1Char(':') + host + QLatin1Char(':') + match.captured(3) +
           QLatin1Char('-') + match.captured(4) + QLatin1Char(':') + match.captured(5);
}

std::optional<QString> colonMac(const QString& mac)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{2}([-:])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}$"));
    if (!form.match(mac).hasMatch())
        return std::nullopt;
    QString colons = mac;
    colons.replace(QLatin1Char('-'), QLatin1Char(':'));
    return colons;
}

std::optional<QString> usbId(const QString& id)
{
    static const QRegularExpression form(QStringLiteral("^(?:0[xX])?([0-9A-Fa-f]{1,4})$"));
    const QRegularExpressionMatch match = form.match(id);
    if (!match.hasMatch())
        return std::nullopt;
    return QStringLiteral("0x") + match.captured(1).toLower();
}

std::optional<QString> startDate(const QString& date)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}(T\\d{2}:\\d{2}:\\d{2})?$"));
    if (!form.match(date).hasMatch())
        return std::nullopt;
    return date;
}

QString hostArchitecture()
{
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == QLatin1String("x86_64") || cpu == QLatin1String("i386"))
        return QStringLiteral("x86");
    if (cpu.startsWith(QLatin1String("arm")))
        return QStringLiteral("arm");
    if (cpu.startsWith(QLatin1String("power")))
        return QStringLiteral("ppc");
    if (cpu.startsWith(QLatin1String("mips")))
        return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? QStringLiteral("mipsel")
                                                             : QStringLiteral("mips");
    if (cpu.startsWith(QLatin1String("sparc")))
        return QStringLiteral("sparc");
    return cpu;
}

QString accelerator(const QString& arc, const QString& kvmDevice, QString* reason)
{
    const auto tcg = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return QStringLiteral("tcg");
    };
    if (arc != hostArchitecture())
        return tcg(QStringLiteral("the guest's processor is not this host's"));
    if (!QFileInfo::exists(kvmDevice))
        return tcg(kvmDevice + QStringLiteral(" is not there"));
    if (::access(QFile::encodeName(kvmDevice).constData(), R_OK | W_OK) != 0)
        return tcg(kvmDevice + QStringLiteral(" may not be used by this user"));
    if (reason)
        *reason = kvmDevice + QStringLiteral(" is usable");
    return QStringLiteral("kvm");
}

std::optional<QString> ownAccelerator(const QString& options)
{
    static const QRegularExpression named(
        QStringLiteral("(?:^|\\s)(?:-enable-kvm(?=\\s|$)|--?accel[\\s=]+([a-z]+)|"
                       "(?:-machine|-M)\\s+\\S*accel=([a-z]+))"));
    const QRegularExpressionMatch match = named.match(options);
    if (!match.hasMatch())
        return std::nullopt;
    const QString name = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    return name.isEmpty() ? QStringLiteral("kvm") : name;
}

bool hasKeymap(const QString& layout, const QStringList& dataFolders)
{
    bool anyKeymaps = false;
    for (const QString& folder : dataFolders) {
        const QDir keymaps(folder + QStringLiteral("/keymaps"));
        if (!keymaps.exists())
            continue;
        anyKeymaps = true;
        if (!layout.contains(QLatin1Char('/')) && QFileInfo(keymaps.filePath(layout)).isFile())
            return true;
    }
    return !anyKeymaps;
}

QString hostAudioDriver(const QString& runtimeFolder, const QString& soundDevicesFolder,
                        const QStringList& moduleFolders)
{
    QStringList modules;
    for (const QString& folder : moduleFolders)
        modules += QDir(folder).entryList({QStringLiteral("audio-*.so")}, QDir::Files);
    const auto hasModule = [&modules](const char* driver) {
        return modules.isEmpty() ||
               modules.contains(QStringLiteral("audio-%1.so").arg(QLatin1String(driver)));
    };
    // A socket left by a sound server that has ended would make QEMU give up at start.
    if (!runtimeFolder.isEmpty() && hasModule("pa")) {
        QLocalSocket pulse;
        pulse.connectToServer(runtimeFolder + QStringLiteral("/pulse/native"));
        if (pulse.waitForConnected(500))
            return QStringLiteral("pa");
    }
    const QStringList controls =
        QDir(soundDevicesFolder)
            .entryList({QStringLiteral("controlC*")}, QDir::Files | QDir::System);
    if (!controls.isEmpty() && hasModule("alsa"))
        return QStringLiteral("alsa");
    return QStringLiteral("none");
}

QStringList moduleFolders()
{
    QStringList folders;
    if (const QString own = qEnvironmentVariable("QEMU_MODULE_DIR"); !own.isEmpty())
        folders.append(own);
    for (const QString& multiarch :
         QDir(QStringLiteral("/usr/lib"))
             .entryList({QStringLiteral("*-linux-gnu*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = QStringLiteral("/usr/lib/%1/qemu").arg(multiarch);
        if (QFileInfo(folder).isDir())
            folders.append(folder);
    }
    return folders;
}

std::optional<QStringList> emulatorAccelerators(const QString& executable)
{
    const QFileInfo file(executable);
    const QString key = QStringLiteral("%1 %2 %3")
                            .arg(file.canonicalFilePath())
                            .arg(file.size())
                            .arg(file.lastModified().toMSecsSinceEpoch());
    static QHash<QString, std::optional<QStringList>> asked;
    if (const auto known = asked.constFind(key); known != asked.constEnd())
        return *known;
    std::optional<QStringList> accelerators;
    QProcess qemu;
    qemu.setStandardInputFile(QProcess::nullDevice());
    qemu.start(executable, {QStringLiteral("-accel"), QStringLiteral("help")});
    if (qemu.waitForFinished(10000) && qemu.exitStatus() == QProcess::NormalExit &&
        qemu.exitCode() == 0) {
        const QStringList lines =
            QString::fromLocal8Bit(qemu.readAllStandardOutput()).split(QLatin1Char('\n'));
        // The first line is the heading.
        accelerators = QStringList();
        for (const QString& line : lines.mid(1))
            if (!line.trimmed().isEmpty())
                accelerators->append(line.trimmed());
    } else {
        qemu.kill();
        qemu.waitForFinished(1000);
    }
    asked.insert(key, accelerators);
    return accelerators;
}

bool hasWindowDisplay(const QString& executable)
{
    QProcess qemu;
    qemu.setProcessChannelMode(QProcess::SeparateChannels);
    qemu.setStandardInputFile(QProcess::nullDevice());
    qemu.start(executable, {QStringLiteral("-display"), QStringLiteral("help")});
    if (!qemu.waitForFinished(10000)) {
        qemu.kill();
        qemu.waitForFinished(1000);
        // No answer: let QEMU itself say what is wrong when it starts.
        return true;
    }
    return listsWindowDisplay(qemu.readAllStandardOutput());
}

bool listsWindowDisplay(const QByteArray& output)
{
    const QStringList types = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    for (const QString& type : types) {
        const QString name = type.trimmed();
        if (name == QLatin1String("gtk") || name == QLatin1String("sdl"))
            return true;
    }
    return false;
}

} // namespace ModernOptions
