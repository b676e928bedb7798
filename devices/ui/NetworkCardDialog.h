#pragma once

#include "devices/NetworkPorts.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;
class VMContext;

// The "Network Card" dialog: one card's model, VLAN, MAC address, TAP adapter, port redirections
// and socket listeners and connectors. Created once and reused; load() presets it from a card's
// section, save() writes it back after OK.
class NetworkCardDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkCardDialog)

public:
    explicit NetworkCardDialog(QWidget* parent = nullptr);

    // Presets every control from the section of card number of the selected VM.
    void load(VMContext& vm, const QString& number);
    // Writes the controls to the card's section of the VM it was loaded from; false when a write
    // failed (the context has reported it).
    bool save();

    // The controls as they stand.
    NetworkCardSettings settings() const;

    QTabWidget* tabs() const { return m_tabs; }
    QComboBox* models() const { return m_models; }
    QComboBox* vlanType() const { return m_vlanType; }
    QSpinBox* vlanNumber() const { return m_vlanNumber; }
    QLineEdit* macAddress() const { return m_mac; }
    QWidget* tapPanel() const { return m_tapPanel; }
    QLineEdit* tapAdapter() const { return m_tapAdapter; }
    QPushButton* selectTapButton() const { return m_selectTap; }

    QListWidget* redirectors() const { return m_redirectors; }
    QComboBox* redirectorType() const { return m_redirectorType; }
    QLineEdit* bindAddress() const { return m_bindAddress; }
    QLineEdit* hostPort() const { return m_hostPort; }
    QLineEdit* guestPort() const { return m_guestPort; }
    QPushButton* addRedirectorButton() const { return m_addRedirector; }
    QPushButton* deleteRedirectorButton() const { return m_deleteRedirector; }

    QListWidget* listeners() const { return m_listeners; }
    QLineEdit* listenerPort() const { return m_listenerPort; }
    QPushButton* addListenerButton() const { return m_addListener; }
    QPushButton* deleteListenerButton() const { return m_deleteListener; }

    QListWidget* connectors() const { return m_connectors; }
    QLineEdit* connectAddress() const { return m_connectAddress; }
    QLineEdit* connectorPort() const { return m_connectorPort; }
    QPushButton* addConnectorButton() const { return m_addConnector; }
    QPushButton* deleteConnectorButton() const { return m_deleteConnector; }

private:
    QWidget* createGeneralTab();
    QWidget* createRedirectorsTab();
    QWidget* createListenersTab();
    QWidget* createConnectorsTab();
    void showForVlanType();
    void selectTapAdapter();
    void addRedirector();
    void addListener();
    void addConnector();
    // Appends the item, or shows the incomplete-fields error when there is none.
    bool addItem(QListWidget* list, const std::optional<QString>& item);

    VMContext* m_vm = nullptr;
    QString m_vmFile;
    QString m_section;
    ChoiceList m_modelList;

    QTabWidget* m_tabs = nullptr;
    QWidget* m_redirectorsTab = nullptr;
    QComboBox* m_models = nullptr;
    QComboBox* m_vlanType = nullptr;
    QSpinBox* m_vlanNumber = nullptr;
    QLineEdit* m_mac = nullptr;
    QWidget* m_tapPanel = nullptr;
    QLineEdit* m_tapAdapter = nullptr;
    QPushButton* m_selectTap = nullptr;

    QListWidget* m_redirectors = nullptr;
    QComboBox* m_redirectorType = nullptr;
    QLineEdit* m_bindAddress = nullptr;
    QLineEdit* m_hostPort = nullptr;
    QLineEdit* m_guestPort = nullptr;
    QPushButton* m_addRedirector = nullptr;
    QPushButton* m_deleteRedirector = nullptr;

    QListWidget* m_listeners = nullptr;
    QLineEdit* m_listenerPort = nullptr;
    QPushButton* m_addListener = nullptr;
    QPushButton* m_deleteListener = nullptr;

    QListWidget* m_connectors = nullptr;
    QLineEdit* m_connectAddress = nullptr;
    QLineEdit* m_connectorPort = nullptr;
    QPushButton* m_addConnector = nullptr;
    QPushButton* m_deleteConnector = nullptr;
};
