#pragma once

#include <QString>
#include <QStringList>

// Command lines are built as one string, the way the stored values and the "Last Run" text show
// them; programs are started from the arguments that string groups into, never through a shell.
namespace CommandLine {

// Splits at blanks outside double quotes; a double quote opens or closes a group and is dropped.
// Empty pieces are dropped, except a quoted empty group ("") which is one empty argument.
QStringList SplitCommandLine(const QString& commandLine);

} // namespace CommandLine
