#pragma once

#include <QString>

// The VM definition file: the one-key accessors the whole program reads and writes it with, and
// the template of a new VM.

// Reads a key of the VM definition file at path; empty when the file, section or key is missing.
QString ReadVMFileValue(const QString& path, const QString& section, const QString& key);
// Writes a key of the VM definition file at path (see IniFile::write). A file that does not
// exist is not created: nothing is written and the result is false.
bool WriteVMFileValue(const QString& path, const QString& section, const QString& key,
                      const QString& value, QString* error = nullptr);

// Creates or truncates the file and writes the template of a new VM; bootOrderStyle picks the
// "BootOrder" block (command-line generations "0" and "1") over the "Boot Drive" block.
// Returns false, writing nothing, when the file cannot be created.
bool WriteVMTemplate(const QString& path, bool bootOrderStyle, QString* error = nullptr);

// The item count of a "|"-separated list value: 0 when empty, else the number of bars plus one.
int CountListItems(const QString& value);

// "52-54-00-" followed by three random bytes, upper-case hexadecimal, 17 characters.
QString GenerateMac();

// A string of length characters from the 60-character identifier alphabet (no capital I or O).
QString RandomId(int length);
