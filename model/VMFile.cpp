#include "model/VMFile.h"

#include "model/IniFile.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <cstddef>
#include <string_view>

QString ReadVMFileValue(const QString& path, const QString& section, const QString& key)
{
    return IniFile(path).read(section, key);
}

bool WriteVMFileValue(const QString& path, const QString& section, const QString& key,
                      const QString& value, QString* error)
{
    // A VM deleted while a window still held its path must not come back holding one key.
    return IniFile(path, IniFile::MissingFile::Fail).write(section, key, value, error);
}

namespace {

// Older releases and the settings view rely on every one of these lines, including the second
// "Enable USB" key, so they are written exactly as they stand.
constexpr std::string_view kTemplateHead[] = {
    "//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO WILL! CAUSE PROBLEMS",
    "//WITH VIMOR!",
    "[General]",
    "Version=2.0",
    "Window Title={VM NAME}",
    "Operating System=",
    "Last Run=",
    "Status=Stopped",
    "StatusID=",
    "[Hardware]",
    "RAM=",
    "Enable USB=No",
    "Full Screen Display=No",
    "Do Not Start CPU=No",
    "Simulate ISA=No",
    "Use Local Time=Yes",
    "Do Not Apply=No",
    "Enable WIN2K Hack=No",
    "Enable USB=No",
    "Enable Bluetooth=No",
    "BTKeyboard=No",
    "Hard Disk Size=",
    "Processors=1",
    "semihosting=No",
    "VNC Server=No",
    "VNC Number=1",
    "Keyboard=en-us",
    "KeyboardIndex=5",
    "USB Tablet=No",
    "Network=Yes",
    "[Drives]",
    "HDA=",
    "HDB=",
    "HDC=",
    "HDD=",
    "CDROM=",
    "FloppyA=",
    "FloppyB=",
};

// Boot keys read for command-line generations "0" and "1".
constexpr std::string_view kBootOrderBlock[] = {
    "Boot Menu=No",
    "BootOrder=CD/DVD Drive|Hard Drive",
};

// Boot keys read for the older generation "2".
constexpr std::string_view kBootDriveBlock[] = {
    "Boot Drive=Hard Disk",
    "Boot Drive ID=0",
    "Boot Menu=No",
};

constexpr std::string_view kTemplateTail[] = {
    "[Audio]",
    "Enable Sound=Yes",
    "[Network]",
    "[Advanced]",
    "Audio Output=Direct Sound",
    "AOID=0",
    "AOItem=dsound",
    "OverrideAll=No",
    "OverrideString=",
    "SavedState=",
    "USBString=",
    "SDL=No",
    "NoReboot=No",
    "ACPI=No",
    "Affinity=Disabled",
    "AffinityCPU=",
    "Process=Normal",
    "Debug=No",
    "Monitor=No",
    "Name=No",
    "MachineTypeIndex=0",
    "ProcessIndex=1",
    "Enable HAL Hack=No",
    "Disable Boot Signature=No",
    "Disable HPET=No",
    "Bios=Default",
    "Start Time=Now",
    "[USB Devices]",
    "Count=0",
    "[Ports]",
    "SerialCount=1",
    "ParallelCount=1",
    "[Serial Port 1]",
    "SerialTy=0",
    "Serial=Console",
    "IP=0.0.0.0",
    "Port=4444",
    "listen=0",
    "wait=0",
    "[Parallel Port 1]",
    "ParallelTy=0",
    "Parallel=Console",
};

template <std::size_t N>
void appendLines(QByteArray* text, const std::string_view (&lines)[N])
{
    for (const std::string_view line : lines) {
        text->append(line.data(), static_cast<qsizetype>(line.size()));
        text->append("\r\n");
    }
}

} // namespace

bool WriteVMTemplate(const QString& path, bool bootOrderStyle, QString* error)
{
    QByteArray text;
    text.reserve(2048);
    appendLines(&text, kTemplateHead);
    if (bootOrderStyle)
        appendLines(&text, kBootOrderBlock);
    else
        appendLines(&text, kBootDriveBlock);
    appendLines(&text, kTemplateTail);
    // Written beside the old file and renamed over it: a failure leaves nothing new behind.
    return FileSystem::writeFileAtomically(path, text, error);
}

int CountListItems(const QString& value)
{
    if (value.isEmpty())
        return 0;
    return static_cast<int>(value.count(QLatin1Char('|'))) + 1;
}

QString GenerateMac()
{
    QRandomGenerator* const random = QRandomGenerator::global();
    const auto byte = [random] { return random->bounded(256u); };
    const quint32 first = byte();
    const quint32 second = byte();
    const quint32 third = byte();
    return QString::asprintf("52-54-00-%02X-%02X-%02X", first, second, third);
}

QString RandomId(int length)
{
    static constexpr std::string_view alphabet =
        "1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ";
    static_assert(alphabet.size() == 60);
    QString id;
    if (length <= 0)
        return id;
    id.reserve(length);
    // The shared generator is seeded once from the system's entropy; seeding from the clock on
    // every call would hand out the same identifier twice within one clock tick.
    QRandomGenerator* const random = QRandomGenerator::global();
    for (int i = 0; i < length; ++i)
        id.append(QLatin1Char(alphabet[random->bounded(static_cast<quint32>(alphabet.size()))]));
    return id;
}
