#include "devices/NetworkPorts.h"

#include "model/IniFile.h"
#include "model/VMContext.h"
#include "platform/FileSystem.h"

#include <QByteArrayView>
#include <QFile>
#include <QRegularExpression>

namespace {

const QString LanCardKey = QStringLiteral("Lan Card");
const QString LanCardIdKey = QStringLiteral("Lan Card ID");
const QString LidKey = QStringLiteral("LID");
const QString MacKey = QStringLiteral("MAC");
const QString VlanKey = QStringLiteral("VLAN");
const QString VlanTypeKey = QStringLiteral("VLAN Type");
const QString TapIdKey = QStringLiteral("TapID");
const QString ListenersKey = QStringLiteral("Listeners");
const QString ConnectorsKey = QStringLiteral("Connectors");
const QString RedirectorsKey = QStringLiteral("Redirectors");

const QString UserNetworking = QStringLiteral("User Networking");
// What the file stores for a TAP card; the dialog's caption is spelt "Tap Networking".
const QString TapNetworkingStored = QStringLiteral("TAP Networking");
const QString TapNetworkingCaption = QStringLiteral("Tap Networking");

const QChar ListSeparator = QLatin1Char('|');

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QByteArrayView stored, QByteArrayView wanted)
{
    return qstrnicmp(stored.data(), stored.size(), wanted.data(), wanted.size()) == 0;
}

// One line of the file, read the way the INI accessors read it: a line ends at LF, a CR before
// the LF is not part of its content, a header is "[name]" after optional blanks, a key line holds
// "=" and its key is what comes before the first one.
struct ParsedLine
{
    enum class Kind
    {
        Header,
        KeyValue,
        Other
    };
    Kind kind = Kind::Other;
    QByteArrayView name;      // section name of a header, key of a key line; blanks trimmed
    qsizetype valueBegin = 0; // of a key line, offset of the value in the content
};

ParsedLine parseLine(QByteArrayView content)
{
    ParsedLine parsed;
    qsizetype first = 0;
    while (first < content.size() && isBlank(content[first]))
        ++first;
    if (first == content.size())
        return parsed;
    if (content[first] == '[') {
        const qsizetype close = content.lastIndexOf(']');
        if (close > first) {
            parsed.kind = ParsedLine::Kind::Header;
            parsed.name = trimBlanks(content.sliced(first + 1, close - first - 1));
            return parsed;
        }
    }
    const qsizetype equals = content.indexOf('=', first);
    if (equals >= 0) {
        parsed.kind = ParsedLine::Kind::KeyValue;
        parsed.name = trimBlanks(content.first(equals));
        parsed.valueBegin = equals + 1;
    }
    return parsed;
}

// The number n of a section named prefix followed by n exactly as a number is written ("12", not
// "012" or "+12"), or -1 for any other name.
int numberedSection(QByteArrayView name, QByteArrayView prefix)
{
    if (name.size() <= prefix.size() || !sameName(name.first(prefix.size()), prefix))
        return -1;
    const QByteArrayView digits = name.sliced(prefix.size());
    if (digits.size() > 9 || digits.front() == '0')
        return -1;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

} // namespace

NumberedSections SectionsOf(NumberedDevice device)
{
    switch (device) {
    case NumberedDevice::NetworkCard:
        return {QStringLiteral("Network Card "), QStringLiteral("Network"),
                QStringLiteral("CardCount"), 0, 57};
    case NumberedDevice::SerialPort:
        return {QStringLiteral("Serial Port "), QStringLiteral("Ports"),
                QStringLiteral("SerialCount"), 4, 72};
    case NumberedDevice::ParallelPort:
        break;
    }
    return {QStringLiteral("Parallel Port "), QStringLiteral("Ports"),
            QStringLiteral("ParallelCount"), 2, 73};
}

QString SectionName(NumberedDevice device, int number)
{
    return SectionsOf(device).prefix + QString::number(number);
}

std::optional<int> ParseCount(const QString& stored)
{
    const QString text = stored.trimmed();
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    int count = 0;
    for (const QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return std::nullopt;
        count = count * 10 + (c.unicode() - u'0');
    }
    return count;
}

bool LanceFlag(const QString& arc, const QString& cpuArc)
{
    return arc == QStringLiteral("sparc") && cpuArc != QStringLiteral("64 Bit");
}

ChoiceList NetworkCardModels(const QString& arc, const QString& machineId, const QString& cpuArc)
{
    return ListNetworkCardModels(arc, machineId, LanceFlag(arc, cpuArc)).value_or(ChoiceList());
}

ChoiceList NetworkCardModels(const VMContext& vm)
{
    return NetworkCardModels(vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("Arc")),
                             vm.ReadVMValue(QStringLiteral("Hardware"), QStringLiteral("MID")),
                             vm.ReadVMValue(QStringLiteral("Hardware"), QStringLiteral("CPUArc")));
}

AddPlan PlanAdd(NumberedDevice device, const QString& storedCount, const ChoiceList& models)
{
    AddPlan plan;
    const std::optional<int> count = ParseCount(storedCount);
    if (!count)
        return plan;
    const NumberedSections sections = SectionsOf(device);
    const int n = *count + 1;
    if (sections.limit > 0 && n > sections.limit) {
        plan.outcome = AddPlan::Outcome::OverLimit;
        return plan;
    }
    switch (device) {
    case NumberedDevice::NetworkCard:
        // A card without a model would give QEMU a card it cannot make.
        if (models.isEmpty())
            return plan;
        plan.values = {{LanCardKey, models.first().display},
                       {LanCardIdKey, QStringLiteral("0")},
                       {LidKey, models.first().id},
                       {MacKey, QStringLiteral("Auto")},
                       {VlanKey, QStringLiteral("0")}};
        break;
    case NumberedDevice::SerialPort:
        plan.values = {{QStringLiteral("SerialTy"), QStringLiteral("0")},
                       {QStringLiteral("Serial"), QStringLiteral("Console")},
                       {QStringLiteral("IP"), QStringLiteral("0.0.0.0")},
                       {QStringLiteral("Port"), QStringLiteral("4444")},
                       {QStringLiteral("listen"), QStringLiteral("0")},
                       {QStringLiteral("wait"), QStringLiteral("0")}};
        break;
    case NumberedDevice::ParallelPort:
        plan.values = {{QStringLiteral("ParallelTy"), QStringLiteral("0")},
                       {QStringLiteral("Parallel"), QStringLiteral("Console")}};
        break;
    }
    plan.outcome = AddPlan::Outcome::Write;
    plan.section = sections.prefix + QString::number(n);
    plan.newCount = QString::number(n);
    return plan;
}

QString LimitMessage(NumberedDevice device)
{
    switch (device) {
    case NumberedDevice::NetworkCard:
        break;
    case NumberedDevice::SerialPort:
        return QStringLiteral("You can only have upto 4 Serial ports!");
    case NumberedDevice::ParallelPort:
        return QStringLiteral("You can only have upto 2 Parallel ports!");
    }
    return {};
}

DeleteCheck CheckDeleteSelection(NumberedDevice device, int selectedIcon, const QString& number)
{
    if (selectedIcon < 0)
        return DeleteCheck::Ignore;
    if (selectedIcon != SectionsOf(device).rowIcon)
        return DeleteCheck::WrongKind;
    const std::optional<int> k = ParseCount(number);
    return k && *k >= 1 ? DeleteCheck::Delete : DeleteCheck::Ignore;
}

QString WrongKindMessage(NumberedDevice device)
{
    switch (device) {
    case NumberedDevice::NetworkCard:
        return QStringLiteral("The selected item is not a network card");
    case NumberedDevice::SerialPort:
        return QStringLiteral("The selected item is not a serial port");
    case NumberedDevice::ParallelPort:
        break;
    }
    return QStringLiteral("The selected item is not a parallel port");
}

QByteArray RenumberSectionsText(const QByteArray& text, const QString& prefix,
                                const QString& countSection, const QString& countKey, int k, int n)
{
    const QByteArray prefixBytes = prefix.toUtf8();
    const QByteArray countSectionBytes = countSection.toUtf8();
    const QByteArray countKeyBytes = countKey.toUtf8();
    constexpr QByteArrayView Bom("\xEF\xBB\xBF");

    QByteArray result;
    result.reserve(text.size());
    const QByteArrayView view(text);
    bool dropping = false;       // inside a section of number k
    bool inCountSection = false; // inside the first section named countSection
    bool countSectionSeen = false;
    bool countWritten = false;
    qsizetype pos = 0;
    while (pos < view.size()) {
        const qsizetype lf = view.indexOf('\n', pos);
        const qsizetype end = lf < 0 ? view.size() : lf + 1;
        qsizetype contentBegin = pos;
        qsizetype contentEnd = lf < 0 ? view.size() : lf;
        if (contentEnd > contentBegin && view[contentEnd - 1] == '\r')
            --contentEnd;
        if (pos == 0 && view.startsWith(Bom))
            contentBegin = qMin(contentEnd, Bom.size());
        const QByteArrayView content = view.sliced(contentBegin, contentEnd - contentBegin);
        const ParsedLine parsed = parseLine(content);
        const qsizetype linePos = pos;
        pos = end;

        if (parsed.kind == ParsedLine::Kind::Header) {
            inCountSection = !countSectionSeen && sameName(parsed.name, countSectionBytes);
            countSectionSeen = countSectionSeen || inCountSection;
            const int number = numberedSection(parsed.name, prefixBytes);
            // Every section of number k goes, including copies the accessors never read, so no
            // stale copy comes to light under the number.
            dropping = number == k;
            if (dropping)
                continue;
            if (number > k && number <= n) {
                result.append(view.sliced(linePos, contentBegin - linePos));
                result.append('[').append(prefixBytes).append(QByteArray::number(number - 1));
                result.append(']');
                result.append(view.sliced(contentEnd, end - contentEnd));
                continue;
            }
            result.append(view.sliced(linePos, end - linePos));
            continue;
        }
        if (dropping)
            continue;
        if (inCountSection && !countWritten && parsed.kind == ParsedLine::Kind::KeyValue &&
            sameName(parsed.name, countKeyBytes)) {
            countWritten = true;
            result.append(view.sliced(linePos, contentBegin + parsed.valueBegin - linePos));
            result.append(QByteArray::number(n - 1));
            result.append(view.sliced(contentEnd, end - contentEnd));
            continue;
        }
        result.append(view.sliced(linePos, end - linePos));
    }
    return result;
}

bool RenumberSections(const QString& vmFile, const QString& prefix, const QString& countSection,
                      const QString& countKey, int k, QString* error)
{
    const std::optional<int> n = ParseCount(IniFile(vmFile).read(countSection, countKey));
    if (!n || *n < 1 || k < 1 || k > *n)
        return true;
    QFile file(vmFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(vmFile, file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    file.close();
    QString reason;
    if (FileSystem::writeFileAtomically(
            vmFile, RenumberSectionsText(text, prefix, countSection, countKey, k, *n), &reason))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(vmFile, reason);
    return false;
}

bool RenumberSections(const QString& vmFile, NumberedDevice device, int k, QString* error)
{
    const NumberedSections sections = SectionsOf(device);
    return RenumberSections(vmFile, sections.prefix, sections.countSection, sections.countKey, k,
                            error);
}

NetworkCardSettings LoadNetworkCard(const ChoiceList& models, const ReadCardKey& read)
{
    NetworkCardSettings card;
    card.model = models.isEmpty() ? -1 : 0;
    if (!read(LanCardIdKey).isEmpty())
        card.model = FindDisplayText(models, read(LanCardKey));
    card.mac = read(MacKey);
    const QString vlanType = read(VlanTypeKey);
    if (vlanType == UserNetworking)
        card.vlanType = VlanType::User;
    else if (vlanType == TapNetworkingStored || vlanType == TapNetworkingCaption)
        card.vlanType = VlanType::Tap;
    // A VLAN that is not a number opens as the default VLAN 0.
    bool ok = false;
    const int vlan = read(VlanKey).trimmed().toInt(&ok);
    card.vlan = ok ? vlan : 0;
    card.tapId = read(TapIdKey);
    card.listeners = SplitListValue(read(ListenersKey));
    card.connectors = SplitListValue(read(ConnectorsKey));
    card.redirectors = SplitListValue(read(RedirectorsKey));
    return card;
}

KeyValues SaveNetworkCard(const ChoiceList& models, const NetworkCardSettings& card)
{
    KeyValues values;
    if (card.model >= 0 && card.model < models.size()) {
        const ChoiceRow& model = models.at(card.model);
        values.append({LanCardKey, model.display});
        values.append({LanCardIdKey, QString::number(card.model)});
        values.append({LidKey, model.id});
    }
    values.append({MacKey, card.mac.trimmed().isEmpty() ? QStringLiteral("Auto") : card.mac});
    values.append({VlanKey, QString::number(card.vlan)});
    switch (card.vlanType) {
    case VlanType::None:
        break;
    case VlanType::User:
        values.append({TapIdKey, QString()});
        values.append({VlanTypeKey, UserNetworking});
        break;
    case VlanType::Tap:
        values.append({TapIdKey, card.tapId});
        values.append({VlanTypeKey, TapNetworkingStored});
        break;
    }
    values.append({ListenersKey, card.listeners.join(ListSeparator)});
    values.append({ConnectorsKey, card.connectors.join(ListSeparator)});
    values.append({RedirectorsKey, card.redirectors.join(ListSeparator)});
    return values;
}

QStringList SplitListValue(const QString& value)
{
    if (value.isEmpty())
        return {};
    return value.split(ListSeparator);
}

namespace {

// A field the user filled in: not blank, and no "|" that would split its item in the file.
std::optional<QString> field(const QString& text)
{
    const QString value = text.trimmed();
    if (value.isEmpty() || value.contains(ListSeparator))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> RedirectorItem(const QString& type, const QString& hostPort,
                                      const QString& guestPort, const QString& bindAddress)
{
    const auto protocol = field(type);
    const auto host = field(hostPort);
    const auto guest = field(guestPort);
    const QString address = bindAddress.trimmed();
    if (!protocol || !host || !guest || (!address.isEmpty() && !IsRedirectorAddress(address)))
        return std::nullopt;
    // The default address is left out, so the item keeps the form every release reads.
    const QString named = address.isEmpty() || address == DefaultRedirectorAddress()
                              ? QString()
                              : address + QLatin1Char(':');
    return protocol->toLower() + QLatin1Char(':') + named + *host + QStringLiteral("::") + *guest;
}

QString DefaultRedirectorAddress()
{
    return QStringLiteral("127.0.0.1");
}

bool IsRedirectorAddress(const QString& address)
{
    static const QRegularExpression dotted(
        QStringLiteral("^(25[0-5]|2[0-4]\\d|1?\\d?\\d)(\\.(25[0-5]|2[0-4]\\d|1?\\d?\\d)){3}$"));
    return dotted.match(address.trimmed()).hasMatch();
}

QString RedirectorAddressMessage()
{
    return QStringLiteral(
        "Please enter the host address as four numbers with dots, such as 127.0.0.1.");
}

std::optional<QString> ListenerItem(const QString& port)
{
    return field(port);
}

std::optional<QString> ConnectorItem(const QString& address, const QString& port)
{
    const auto host = field(address);
    const auto number = field(port);
    if (!host || !number)
        return std::nullopt;
    return *host + QLatin1Char(':') + *number;
}

QString IncompleteItemMessage()
{
    return QStringLiteral("Please ensure you have filled in all the fields!");
}

QStringList VlanTypeCaptions()
{
    return {UserNetworking, TapNetworkingCaption};
}
