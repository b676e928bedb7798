#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class TableHandle;

// The rules of the version control window, apart from its widgets: the sorted version tree, the
// details of a row, the presets and choice rules of the "Qemu Version" dialog, and the rows it
// writes.
namespace VersionControl {

// The texts of VERSION by generation code: VERID is the position in this list.
QStringList VersionNames();
// The hidden datum of the tree's root node.
QString RootData();

// One version row with every field as stored.
struct VersionRow
{
    QString version; // VERSION
    QString description;
    QString path;
    QString integrated; // INT
    QString usb;
    QString isDefault; // DEFAULT
    QString kqemu;
    QString fmod;
    QString id;
    QString bluetooth; // BT
    QString code;      // VERID
    QString console;
};

// A node of the version tree below the root.
struct VersionNode
{
    QString text; // DESC
    QString id;   // ID
};

// Every row as a node, sorted by text (letter case ignored, then exact text, then record order),
// which is the order the tree shows them in.
QList<VersionNode> VersionTree(TableHandle& versions);

// The first row, in record order, whose ID is id.
std::optional<VersionRow> FindVersion(TableHandle& versions, const QString& id);

// The details pane's rows as (option, setting), in the pane's order.
QList<std::pair<QString, QString>> VersionDetails(const VersionRow& row);

// What the "Qemu Version" dialog shows and gives back.
struct VersionForm
{
    int version = 1; // position in VersionNames()
    QString description;
    QString path;
    bool integrated = false; // "Use integrated Client"
    bool usb = false;        // "USB Support"
    bool kqemu = false;      // "Enable KQEMU Support"
    bool fmod = false;       // "Enable FMOD Support"
    bool isDefault = false;  // "Set as default"
    bool bluetooth = false;  // "Enable Bluetooth Support"
    bool console = false;    // "Vimor Remote Monitor Support"
};

// The preset of a new definition.
VersionForm NewVersionForm();
// The preset for editing a row: the version at position VERID (an empty, unknown or non-numeric
// code gives "QEMU 0.11.x"), each box checked when its field is exactly "Yes".
VersionForm FormFromRow(const VersionRow& row);
// Whether "Enable KQEMU Support" may be used with the version; when not, it is unchecked too.
bool KqemuAllowed(int version);
// The boxes after the user picks another version: "QEMU 0.12 and above" clears KQEMU and the
// monitor, "QEMU 7.2 and above" clears KQEMU and checks the monitor, the others check the
// monitor.
void ChooseVersion(VersionForm& form, int version);

// Appends a row for the form with a new 50-character identifier, then applies the default rule;
// returns the identifier, or nullopt with the reason.
std::optional<QString> AddVersion(TableHandle& versions, const VersionForm& form,
                                  QString* error = nullptr);
// Rewrites the first row whose ID is id from the form (the ID is kept), then applies the default
// rule; false when there is no such row (error left empty) or it could not be written.
bool UpdateVersion(TableHandle& versions, const QString& id, const VersionForm& form,
                   QString* error = nullptr);
// Deletes the first row whose ID is id; true also when there is none (nothing to delete).
bool DeleteVersion(TableHandle& versions, const QString& id, QString* error = nullptr);
// After the row at recordNumber was posted with "Set as default" checked, every other row gets
// DEFAULT "No"; unchecked leaves the others as they are.
bool ApplyDefault(TableHandle& versions, int recordNumber, bool setAsDefault,
                  QString* error = nullptr);

// The QEMU folder chooser's folder: the program folder's "qemu", as a native path.
QString QemuFolder();
// The names of the subfolders of QemuFolder(), sorted by name.
QStringList QemuSubfolders();
// The folder a chooser node stands for: the QEMU folder for an empty name, else its subfolder.
QString QemuChooserFolder(const QString& subfolder);
// The programs of a folder, sorted by name: files named "*.exe" in any case, and, since builds
// for this desktop carry no extension, every other executable file.
QStringList QemuPrograms(const QString& folder);
// The portable path of a chooser node: "{VR}\qemu", or "{VR}\qemu\" and the subfolder's name.
QString PortableQemuPath(const QString& subfolder);

} // namespace VersionControl
