#pragma once

#include <QString>

// A hybrid BIOS/UEFI ISO that boots Debian 12's installer (kernel and initrd of the package
// debian-installer-12-netboot-amd64) through GRUB, made with grub-mkrescue once per build tree and
// reused (cached under the given folder, e.g. the test binary's build dir, keyed by the inputs'
// mtimes); empty path with *error when a tool or the package is missing (tests then QSKIP).
QString InstallerDisc(const QString& cacheFolder, QString* error = nullptr);
// The text on the installer's first screen, for tests that wait for it.
inline constexpr char InstallerFirstScreen[] = "Select a language";
// What the firmware prints when Secure Boot refuses the disc's unsigned loader.
inline constexpr char InstallerSecureBootRefusal[] = "Access Denied";
