#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One line of the adapter list file "tap.dat": the host's name of the connection (what a card's
// "TapID" stores), the driver's description of the adapter, and the bridge it belongs to.
struct TapAdapter
{
    QString connection;
    QString adapter;
    QString bridge;

    bool operator==(const TapAdapter&) const = default;
};

// The lines that split at "|" into exactly three non-empty fields, in file order; empty fields are
// dropped before counting, every other line is skipped.
QList<TapAdapter> ParseTapList(const QByteArray& text);
// The list file's adapters; none when it is missing.
QList<TapAdapter> ReadTapList(const QString& path);

// The programs behind the TAP commands and how they are started.
struct TapCommands
{
    QString discoveryProgram; // called as: program "TAP" listFile
    QString listFile;
    QStringList runner;    // placed before every command started (a test's network namespace)
    QStringList elevation; // placed before the commands that change interfaces ("pkexec")
    QString ipProgram;     // iproute2's "ip"
    int renameSettleMs = 5000;

    // The discovery program and "tap.dat" in the program folder; pkexec unless running as root.
    static TapCommands defaults();
    // The defaults, or what a test has put in their place.
    static TapCommands current();
    // Puts commands in place of the defaults for the rest of the run; nullopt restores them.
    static void replace(std::optional<TapCommands> commands);
};

// Deletes the list file and runs the discovery program to its end (painting goes on, user input
// waits). True when it ended with exit code 1, the sign that the list file was written.
bool DiscoverTapAdapters(const TapCommands& commands);

// Whether adding a connection needs a driver the user must download first; never on this host,
// where the kernel's tun driver serves.
bool TapDriverDownloadNeeded();

// Adds a persistent TAP interface named "vimortapN" (the kernel takes the first free N), owned by
// the user running the program. Returns once the command has ended; whether it worked shows in
// the next discovery.
void CreateTapConnection(const TapCommands& commands);

// Renames the interface, then lets renameSettleMs pass before the caller discovers again. A
// refused rename is not reported: the next discovery shows the names as they are.
void RenameTapConnection(const TapCommands& commands, const QString& oldName,
                         const QString& newName);

// The command lines the two commands run, for the record and for tests.
QStringList CreateTapCommandLine(const TapCommands& commands);
QStringList RenameTapCommandLine(const TapCommands& commands, const QString& oldName,
                                 const QString& newName);

// The text shown whenever the adapters cannot be discovered.
QString TapDiscoveryFailedMessage();
