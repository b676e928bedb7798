#pragma once

#include <QByteArray>
#include <QString>

// A disk image's format is decided once, when the user chooses the file, and stored beside it:
// read at launch from bytes the guest may have written, a header would let the guest pick a host
// file as its backing or data file.
namespace ImageFormat {

// The format QEMU would read from the image's first bytes (ofFile reads 512, as QEMU does) ("qcow", "qcow2", "vmdk", "vpc", "qed",
// "vdi", "vhdx"), or "raw" when none is recognised.
QString ofHeader(const QByteArray& head);

// The format a file's name says ("raw" for .img/.raw/.iso, host devices and "fat:" folders,
// "qcow2" for .qcow2 ...); empty when the name says nothing (.dsk, .hdd, .bin, .flp, none).
QString ofName(const QString& path);

// The format found in the file's header; "raw" when it cannot be read.
QString ofFile(const QString& path);

// What the file is when chosen: the header's format where the name says nothing or says raw but
// the header is a container's (a cloud image named .img), else the name's.
QString whenChosen(const QString& path);

// True when the name says raw but the header is a container (the user is asked which to use).
bool containerNamedRaw(const QString& path);

// "HDA" gives "HDA Format": the key the format is stored under, beside the value.
QString KeyFor(const QString& valueKey);

// True for the formats a stored value may name; anything else counts as not recorded.
bool isKnown(const QString& format);

} // namespace ImageFormat
