#include "devices/ui/NetworkCardDialog.h"

#include "devices/ui/TapSelection.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

enum VlanTypeRow
{
    UserRow,
    TapRow
};

QLineEdit* itemField(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    // "|" separates the items in the file; an item holding one would come back as two.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^|]*")), edit));
    return edit;
}

QStringList items(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

void fill(QListWidget* list, const QStringList& texts)
{
    list->clear();
    list->addItems(texts);
}

void deleteSelected(QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (!selected.isEmpty())
        delete selected.first();
}

} // namespace

NetworkCardDialog::NetworkCardDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Network Card"));
    setMinimumWidth(460);
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(createGeneralTab(), QStringLiteral("General"));
    m_redirectorsTab = createRedirectorsTab();
    m_tabs->addTab(m_redirectorsTab, QStringLiteral("Port Redirectors"));
    m_tabs->addTab(createListenersTab(), QStringLiteral("Sockets (Listeners)"));
    m_tabs->addTab(createConnectorsTab(), QStringLiteral("Sockets (Connectors)"));
    layout->addWidget(m_tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_vlanType, &QComboBox::currentIndexChanged, this, &NetworkCardDialog::showForVlanType);
    showForVlanType();
}

QWidget* NetworkCardDialog::createGeneralTab()
{
    auto* page = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Network"), page);
    auto* form = new QFormLayout(group);
    m_models = new QComboBox(group);
    form->addRow(QStringLiteral("Select a network card"), m_models);
    m_vlanType = new QComboBox(group);
    m_vlanType->addItems(VlanTypeCaptions());
    form->addRow(QStringLiteral("VLAN Type:"), m_vlanType);
    m_vlanNumber = new QSpinBox(group);
    m_vlanNumber->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    form->addRow(QStringLiteral("VLAN Number"), m_vlanNumber);
    m_mac = new QLineEdit(group);
    form->addRow(QStringLiteral("MAC Address:"), m_mac);

    m_tapPanel = new QWidget(group);
    auto* tapLayout = new QHBoxLayout(m_tapPanel);
    tapLayout->setContentsMargins(0, 0, 0, 0);
    tapLayout->addWidget(new QLabel(QStringLiteral("TAP Network Adapter:"), m_tapPanel));
    m_tapAdapter = new QLineEdit(m_tapPanel);
    tapLayout->addWidget(m_tapAdapter, 1);
    m_selectTap = new QPushButton(QStringLiteral("Select...."), m_tapPanel);
    tapLayout->addWidget(m_selectTap);
    connect(m_selectTap, &QPushButton::clicked, this, &NetworkCardDialog::selectTapAdapter);
    form->addRow(m_tapPanel);

    pageLayout->addWidget(group);
    pageLayout->addStretch();
    return page;
}

QWidget* NetworkCardDialog::createRedirectorsTab()
{
    auto* page = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Redirect TCP/UDP Ports From Host To Guest:"), page);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Ports Forwarded:"), group), 0, 0);
    m_redirectors = new QListWidget(group);
    grid->addWidget(m_redirectors, 1, 0, 6, 1);
    grid->addWidget(new QLabel(QStringLiteral("Type:"), group), 0, 1);
    m_redirectorType = new QComboBox(group);
    m_redirectorType->addItems({QStringLiteral("TCP"), QStringLiteral("UDP")});
    grid->addWidget(m_redirectorType, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Host Address To Listen On:"), group), 1, 1);
    m_bindAddress = itemField(group);
    m_bindAddress->setToolTip(QStringLiteral(
        "127.0.0.1: only this computer reaches the port; 0.0.0.0: every network does"));
    grid->addWidget(m_bindAddress, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Port Visible To Host:"), group), 2, 1);
    m_hostPort = itemField(group);
    grid->addWidget(m_hostPort, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Actual Port On Guest:"), group), 3, 1);
    m_guestPort = itemField(group);
    grid->addWidget(m_guestPort, 3, 2);
    m_addRedirector = new QPushButton(QStringLiteral("Add"), group);
    grid->addWidget(m_addRedirector, 4, 2);
    m_deleteRedirector = new QPushButton(QStringLiteral("Delete"), group);
    grid->addWidget(m_deleteRedirector, 5, 2);
    connect(m_addRedirector, &QPushButton::clicked, this, &NetworkCardDialog::addRedirector);
    connect(m_deleteRedirector, &QPushButton::clicked, this,
            [this] { deleteSelected(m_redirectors); });
    pageLayout->addWidget(group);
    return page;
}

QWidget* NetworkCardDialog::createListenersTab()
{
    auto* page = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Listeners"), page);
    auto* grid = new QGridLayout(group);
    m_listeners = new QListWidget(group);
    grid->addWidget(m_listeners, 0, 0, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Port:"), group), 0, 1);
    m_listenerPort = itemField(group);
    grid->addWidget(m_listenerPort, 0, 2);
    m_addListener = new QPushButton(QStringLiteral("Add"), group);
    grid->addWidget(m_addListener, 1, 2);
    m_deleteListener = new QPushButton(QStringLiteral("Delete"), group);
    grid->addWidget(m_deleteListener, 2, 2);
    connect(m_addListener, &QPushButton::clicked, this, &NetworkCardDialog::addListener);
    connect(m_deleteListener, &QPushButton::clicked, this, [this] { deleteSelected(m_listeners); });
    pageLayout->addWidget(group);
    return page;
}

QWidget* NetworkCardDialog::createConnectorsTab()
{
    auto* page = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Connectors"), page);
    auto* grid = new QGridLayout(group);
    m_connectors = new QListWidget(group);
    grid->addWidget(m_connectors, 0, 0, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Connect IP Address:"), group), 0, 1);
    m_connectAddress = new QLineEdit(group);
    // A dotted IPv4 address, allowing the partial forms met while typing one.
    m_connectAddress->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,3}(\\.[0-9]{0,3}){0,3}")), m_connectAddress));
    grid->addWidget(m_connectAddress, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Port:"), group), 1, 1);
    m_connectorPort = itemField(group);
    grid->addWidget(m_connectorPort, 1, 2);
    m_addConnector = new QPushButton(QStringLiteral("Add"), group);
    grid->addWidget(m_addConnector, 2, 2);
    m_deleteConnector = new QPushButton(QStringLiteral("Delete"), group);
    grid->addWidget(m_deleteConnector, 3, 2);
    connect(m_addConnector, &QPushButton::clicked, this, &NetworkCardDialog::addConnector);
    connect(m_deleteConnector, &QPushButton::clicked, this,
            [this] { deleteSelected(m_connectors); });
    pageLayout->addWidget(group);
    return page;
}

void NetworkCardDialog::load(VMContext& vm, const QString& number)
{
    m_vm = &vm;
    m_vmFile = vm.selectedVM();
    m_section = SectionsOf(NumberedDevice::NetworkCard).prefix + number;
    m_modelList = NetworkCardModels(vm);
    const NetworkCardSettings card = LoadNetworkCard(
        m_modelList, [&vm, this](const QString& key) { return vm.ReadVMValue(m_section, key); });

    m_models->clear();
    for (const ChoiceRow& model : std::as_const(m_modelList))
        m_models->addItem(model.display, model.id);
    m_models->setCurrentIndex(card.model);
    m_mac->setText(card.mac);
    switch (card.vlanType) {
    case VlanType::None:
        m_vlanType->setCurrentIndex(-1);
        break;
    case VlanType::User:
        m_vlanType->setCurrentIndex(UserRow);
        break;
    case VlanType::Tap:
        m_vlanType->setCurrentIndex(TapRow);
        break;
    }
    m_vlanNumber->setValue(card.vlan);
    m_tapAdapter->setText(card.tapId);
    fill(m_listeners, card.listeners);
    fill(m_connectors, card.connectors);
    fill(m_redirectors, card.redirectors);
    m_hostPort->clear();
    m_guestPort->clear();
    m_listenerPort->clear();
    m_connectorPort->clear();
    m_connectAddress->setText(QStringLiteral("127.0.0.1"));
    m_bindAddress->setText(DefaultRedirectorAddress());
    m_redirectorType->setCurrentIndex(0);
    showForVlanType();
    m_tabs->setCurrentIndex(0);
}

NetworkCardSettings NetworkCardDialog::settings() const
{
    NetworkCardSettings card;
    card.model = m_models->currentIndex();
    card.mac = m_mac->text();
    switch (m_vlanType->currentIndex()) {
    case UserRow:
        card.vlanType = VlanType::User;
        break;
    case TapRow:
        card.vlanType = VlanType::Tap;
        break;
    default:
        card.vlanType = VlanType::None;
        break;
    }
    card.vlan = m_vlanNumber->value();
    card.tapId = m_tapAdapter->text();
    card.listeners = items(m_listeners);
    card.connectors = items(m_connectors);
    card.redirectors = items(m_redirectors);
    return card;
}

bool NetworkCardDialog::save()
{
    if (!m_vm || m_vmFile.isEmpty())
        return false;
    const KeyValues values = SaveNetworkCard(m_modelList, settings());
    for (const KeyValue& value : values) {
        if (!m_vm->WriteVMValue(m_vmFile, m_section, value.key, value.value))
            return false;
    }
    return true;
}

void NetworkCardDialog::showForVlanType()
{
    const int type = m_vlanType->currentIndex();
    m_tapPanel->setVisible(type == TapRow);
    m_tabs->setTabVisible(m_tabs->indexOf(m_redirectorsTab), type == UserRow);
}

void NetworkCardDialog::selectTapAdapter()
{
    if (!m_vm)
        return;
    if (const std::optional<QString> adapter = SelectTapAdapter(*m_vm))
        m_tapAdapter->setText(*adapter);
}

bool NetworkCardDialog::addItem(QListWidget* list, const std::optional<QString>& item)
{
    if (!item) {
        Interaction::error(this, IncompleteItemMessage());
        return false;
    }
    list->addItem(*item);
    return true;
}

void NetworkCardDialog::addRedirector()
{
    if (!m_bindAddress->text().trimmed().isEmpty() && !IsRedirectorAddress(m_bindAddress->text())) {
        Interaction::error(this, RedirectorAddressMessage());
        return;
    }
    if (!addItem(m_redirectors, RedirectorItem(m_redirectorType->currentText(), m_hostPort->text(),
                                               m_guestPort->text(), m_bindAddress->text())))
        return;
    m_hostPort->clear();
    m_guestPort->clear();
}

void NetworkCardDialog::addListener()
{
    if (addItem(m_listeners, ListenerItem(m_listenerPort->text())))
        m_listenerPort->clear();
}

void NetworkCardDialog::addConnector()
{
    if (addItem(m_connectors, ConnectorItem(m_connectAddress->text(), m_connectorPort->text())))
        m_connectorPort->clear();
}
