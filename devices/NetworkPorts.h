#pragma once

#include "model/HardwareCatalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class VMContext;

// Network cards, serial ports and parallel ports of a VM: numbered sections of its definition file
// ("Network Card 1", "Serial Port 2", ...) counted by a key of another section. The rules of the
// commands that add and delete them and of the network-card dialog live here, apart from widgets.

enum class NumberedDevice
{
    NetworkCard,
    SerialPort,
    ParallelPort
};

struct NumberedSections
{
    QString prefix;       // "Network Card ": the section of number n is the prefix followed by n
    QString countSection; // "Network"
    QString countKey;     // "CardCount"
    int limit = 0;        // most sections allowed; 0 for no limit
    int rowIcon = -1;     // icon number of the device's rows in the hardware list
};

NumberedSections SectionsOf(NumberedDevice device);
QString SectionName(NumberedDevice device, int number);

// A stored count or number as a number: nullopt when empty, not decimal or negative.
std::optional<int> ParseCount(const QString& stored);

struct KeyValue
{
    QString key;
    QString value;

    friend bool operator==(const KeyValue&, const KeyValue&) = default;
};
using KeyValues = QList<KeyValue>;

// Set for a 32-bit "sparc" VM, whose only card is the Lance.
bool LanceFlag(const QString& arc, const QString& cpuArc);
// The card models a VM may have, by its "Arc", "MID" and "CPUArc"; empty for an unknown
// architecture.
ChoiceList NetworkCardModels(const QString& arc, const QString& machineId, const QString& cpuArc);
// The same for the selected VM.
ChoiceList NetworkCardModels(const VMContext& vm);

// What an add command does with the stored count of its device.
struct AddPlan
{
    enum class Outcome
    {
        Nothing,   // no usable count (or no card model to give a new card)
        OverLimit, // the limit message, nothing written
        Write
    };
    Outcome outcome = Outcome::Nothing;
    QString section;  // the new section
    KeyValues values; // its keys, in the order they are written
    QString newCount; // written to the count last, so a broken-off add leaves no visible device
};
// models: the VM's card models (see NetworkCardModels); only cards use them.
AddPlan PlanAdd(NumberedDevice device, const QString& storedCount, const ChoiceList& models = {});
// "You can only have upto 4 Serial ports!" and the like; empty for cards.
QString LimitMessage(NumberedDevice device);

// What a delete command does with the hardware list's selected row.
enum class DeleteCheck
{
    Ignore,    // no row selected, or the row carries no usable number
    WrongKind, // the row is not of the device: warning, nothing changes
    Delete
};
// selectedIcon: the selected row's icon number, -1 when none is selected or the hardware list
// does not have the focus; number: the card or port number the row keeps.
DeleteCheck CheckDeleteSelection(NumberedDevice device, int selectedIcon, const QString& number);
// "The selected item is not a network card" and the like.
QString WrongKindMessage(NumberedDevice device);

// Deletes section prefix+k and renumbers prefix+(k+1) .. prefix+n down by one, n being the count;
// the count becomes n-1. Every line of the moved sections stays as it was, in its place, so keys
// keep their order; the file is rewritten once, atomically. Does nothing (and succeeds) unless
// 1 <= k <= n. Returns false with the reason when the file cannot be read or written.
bool RenumberSections(const QString& vmFile, const QString& prefix, const QString& countSection,
                      const QString& countKey, int k, QString* error = nullptr);
bool RenumberSections(const QString& vmFile, NumberedDevice device, int k,
                      QString* error = nullptr);
// The text transformation behind it, for a count of n (1 <= k <= n): the count key gets n-1.
QByteArray RenumberSectionsText(const QByteArray& text, const QString& prefix,
                                const QString& countSection, const QString& countKey, int k, int n);

// One network card as its dialog shows it.
enum class VlanType
{
    None,
    User,
    Tap
};

struct NetworkCardSettings
{
    int model = -1; // position in the model list; -1 for none selected
    QString mac;
    VlanType vlanType = VlanType::None;
    int vlan = 0;
    QString tapId;
    QStringList listeners;
    QStringList connectors;
    QStringList redirectors;

    friend bool operator==(const NetworkCardSettings&, const NetworkCardSettings&) = default;
};

using ReadCardKey = std::function<QString(const QString& key)>;

// The card as the dialog opens it, from the keys of its section.
NetworkCardSettings LoadNetworkCard(const ChoiceList& models, const ReadCardKey& read);
// The keys OK writes, in order. With no model selected the model keys are left as stored; with no
// VLAN type neither "TapID" nor "VLAN Type" is written.
KeyValues SaveNetworkCard(const ChoiceList& models, const NetworkCardSettings& card);

// Items of a "|"-separated list value; none for an empty value.
QStringList SplitListValue(const QString& value);

// The items the dialog's Add buttons append; nullopt when a field is empty (blanks only count as
// empty) or holds "|", which would split the item when the list is stored.
// A redirector listens on the host address it names, or on 127.0.0.1, this host alone, when it
// names none: "tcp:8080::80" for the default address (the form older files hold), else
// "tcp:192.168.1.5:8080::80". An empty bindAddress is the default; one that is not a dotted IPv4
// address gives nullopt (see IsRedirectorAddress).
std::optional<QString> RedirectorItem(const QString& type, const QString& hostPort,
                                      const QString& guestPort, const QString& bindAddress = {});
// The address a redirector listens on when it names none.
QString DefaultRedirectorAddress();
// True for a dotted IPv4 address ("0.0.0.0" for every interface), blanks around it allowed.
bool IsRedirectorAddress(const QString& address);
// "Please enter the host address as four numbers with dots, such as 127.0.0.1."
QString RedirectorAddressMessage();
std::optional<QString> ListenerItem(const QString& port);
std::optional<QString> ConnectorItem(const QString& address, const QString& port);
// "Please ensure you have filled in all the fields!"
QString IncompleteItemMessage();

// The captions of the VLAN types in the dialog, in list order.
QStringList VlanTypeCaptions();
