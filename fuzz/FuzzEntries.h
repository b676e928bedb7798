#pragma once

#include <QByteArrayView>
#include <QString>

#include <span>

// One entry per parser of what other programs, other versions and the network write. Given any
// bytes, an entry feeds them to its parser the way the program does, and aborts the process when
// the parser breaks a rule it promises (a value written and not read back, a row outside the file).
// The libFuzzer targets and the replay test of the normal build call the same entries.
struct FuzzEntry
{
    const char* name;
    // scratch: an empty folder of the caller's for the files the entry writes.
    void (*run)(QByteArrayView data, const QString& scratch);
};

std::span<const FuzzEntry> FuzzEntries();
// The entry of that name, or null.
const FuzzEntry* FindFuzzEntry(QByteArrayView name);
