#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The family the monitor terminal asks for; the program's "term_hex.fon" provides it.
inline const QString ConsoleFontFamily = QStringLiteral("Terminal_Ctrl+Hex");

// Loads the font file into the program, under ConsoleFontFamily; false when the file is missing
// or is no font.
bool LoadConsoleFontFile(const QString& fontFile);

// The monitor terminal's font: ConsoleFontFamily, 12 points, fixed pitch.
QFont ConsoleFont();

// Adds the font file to the user's desktop fonts and to the program. False with a reason when the
// file cannot be used.
bool AddConsoleFontToDesktop(const QString& fontFile, QString* error);

// The menu command "Install Vimor Console Font".
void InstallConsoleFont(QWidget* parent);
