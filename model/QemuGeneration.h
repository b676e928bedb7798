#pragma once

#include <QString>

// The QEMU command-line generations a version row names in VERID: "0" QEMU 0.12 and above, "1"
// 0.11.x, "2" 0.10.x, and "3" QEMU 7.2 and above, whose options follow today's QEMU. Apart from
// the command line, "3" behaves as "0" wherever the generation matters.
namespace QemuGeneration {

inline constexpr const char* Modern = "3";

// True for "3".
bool isModern(const QString& code);
// True when the generation takes a boot order ("-boot order=") rather than one boot drive.
bool takesBootOrder(const QString& code);
// True for the generations that offer the integrated display in the new-VM wizard.
bool offersIntegratedDisplay(int code);

} // namespace QemuGeneration
