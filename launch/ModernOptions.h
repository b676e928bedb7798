#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The pieces of today's QEMU command line that the stored values are turned into: sound devices,
// network addresses, image formats, the accelerator and the host's sound system.
namespace ModernOptions {

// The -device options (without the leading "-device") of the stored sound cards ("sb16",
// "ac97", "all", ... joined with ","), each fed by the audio back end audiodevId; *pcSpeaker is
// set when the PC speaker is asked for (a machine property, not a device). nullopt, with the
// unknown card in *unknown, when a card has no device.
std::optional<QStringList> soundDevices(const QString& cards, const QString& arc,
                                        const QString& audiodevId, bool* pcSpeaker,
                                        QString* unknown = nullptr);

// The machine identifier today's QEMU has for a stored one ("bareetraxfs" → "axis-dev88").
QString machineId(const QString& id);

// Whether today's QEMU has no such board for the VM's emulator any more.
bool machineRemoved(const QString& id);

// False for the architectures whose boards bring their own display and take no "-vga" card.
bool takesVgaCard(const QString& arc);

// Today's name of a stored network card model ("virtio" → "virtio-net-pci").
QString nicModel(const QString& model);
// True for a card built into its board, which is added with "-net nic" rather than as a device.
bool isOnBoardNic(const QString& model);

// A redirector "tcp:2222::22" (or "udp:5353:10.0.2.15:53") as QEMU's host forward
// "tcp:127.0.0.1:2222-:22": on this host alone, unless the item names the host address after its
// protocol ("tcp:192.168.1.5:2222::22"); nullopt when it is not of that form.
std::optional<QString> hostForward(const QString& redirector);

// A MAC address of six hexadecimal pairs joined with "-" or ":" in the colon form; nullopt
// otherwise.
std::optional<QString> colonMac(const QString& mac);

// A USB vendor or product identifier ("046d", "0x046D") as "0x046d"; nullopt when it is not one
// to four hexadecimal digits.
std::optional<QString> usbId(const QString& id);

// A start date "2010-05-01" or "2010-05-01T12:00:00" as it stands; nullopt otherwise.
std::optional<QString> startDate(const QString& date);

// "kvm" when the device can be opened for reading and writing and the guest's architecture is
// the host's, else "tcg". *reason says why, for the log.
QString accelerator(const QString& arc, const QString& kvmDevice, QString* reason = nullptr);

// The accelerator the user's own options choose ("-enable-kvm", "-accel X", "-machine accel=X"),
// "kvm" or what they name; none when they choose none.
std::optional<QString> ownAccelerator(const QString& options);

// Whether QEMU finds the keymap named layout in one of its data folders; also true when none of
// them has keymaps at all (a build that keeps them elsewhere says for itself).
bool hasKeymap(const QString& layout, const QStringList& dataFolders);

// The guest architecture code ("x86", "arm", ...) of the processor this program runs on.
QString hostArchitecture();

// The audio back end of this host: "pa" when a PulseAudio socket (PipeWire serves one too) in the
// runtime folder answers and QEMU has its PulseAudio module, else "alsa" when a sound card is in
// soundDevicesFolder (/dev/snd) and QEMU has its ALSA module, else "none". Where no module folder
// holds audio modules at all, QEMU was built with its sound systems inside.
QString hostAudioDriver(const QString& runtimeFolder, const QString& soundDevicesFolder,
                        const QStringList& moduleFolders);

// Where Debian's QEMU keeps its loadable modules ("/usr/lib/<multiarch>/qemu"), and
// $QEMU_MODULE_DIR when set.
QStringList moduleFolders();

// The accelerators the emulator lists for "-accel help"; none when it cannot be asked. Asked once
// per emulator file as long as the file stays the same.
std::optional<QStringList> emulatorAccelerators(const QString& executable);

// True when the emulator can show a window of its own (its GTK or SDL display is there), as
// "-display help" tells.
bool hasWindowDisplay(const QString& executable);
// True when that output of "-display help" lists the GTK or the SDL display.
bool listsWindowDisplay(const QByteArray& output);

} // namespace ModernOptions
