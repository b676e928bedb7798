#include "settings/ui/SerialPortDialog.h"

#include "platform/ui/Interaction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

std::optional<QString> ChoosePortFile(QWidget* parent)
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Save File To");
    request.filter = QStringLiteral("Text Files (*.txt)");
    const std::optional<QString> chosen = Interaction::current().saveFileName(parent, request);
    if (!chosen)
        return std::nullopt;
    return HardwareEditing::WithDefaultExtension(*chosen, QStringLiteral("txt"));
}

SerialPortDialog::SerialPortDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Port"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Devices"), this);
    auto* frameLayout = new QVBoxLayout(frame);

    auto* typeBox = new QGroupBox(QStringLiteral("Type"), frame);
    auto* typeLayout = new QVBoxLayout(typeBox);
    m_types = new QButtonGroup(this);
    const QStringList captions = {QStringLiteral("Console"), QStringLiteral("Physical Port"),
                                  QStringLiteral("File"), QStringLiteral("TCP/IP Port")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QRadioButton(captions.at(i), typeBox);
        m_types->addButton(button, i);
        typeLayout->addWidget(button);
    }
    frameLayout->addWidget(typeBox);

    m_physicalPanel = new QWidget(frame);
    auto* physicalLayout = new QVBoxLayout(m_physicalPanel);
    physicalLayout->setContentsMargins(0, 0, 0, 0);
    physicalLayout->addWidget(new QLabel(QStringLiteral("Select Port"), m_physicalPanel));
    m_hostPorts = new QComboBox(m_physicalPanel);
    physicalLayout->addWidget(m_hostPorts);
    frameLayout->addWidget(m_physicalPanel);

    m_filePanel = new QWidget(frame);
    auto* fileLayout = new QVBoxLayout(m_filePanel);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(new QLabel(QStringLiteral("Filename:"), m_filePanel));
    auto* fileRow = new QHBoxLayout;
    m_file = new QLineEdit(m_filePanel);
    auto* browse = new QPushButton(QStringLiteral(".."), m_filePanel);
    browse->setAutoDefault(false);
    fileRow->addWidget(m_file);
    fileRow->addWidget(browse);
    fileLayout->addLayout(fileRow);
    frameLayout->addWidget(m_filePanel);

    m_tcpPanel = new QWidget(frame);
    auto* tcpLayout = new QVBoxLayout(m_tcpPanel);
    tcpLayout->setContentsMargins(0, 0, 0, 0);
    tcpLayout->addWidget(
        new QLabel(QStringLiteral("Redirect to the following IP address:"), m_tcpPanel));
    m_ip = new QLineEdit(QStringLiteral("0.0.0.0"), m_tcpPanel);
    // Digits and dots only, as an address box allows; the fields are completed on OK.
    m_ip->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^\\d{0,3}(\\.\\d{0,3}){0,3}$")), m_ip));
    tcpLayout->addWidget(m_ip);
    tcpLayout->addWidget(new QLabel(QStringLiteral("TCP Port:"), m_tcpPanel));
    m_port = new QSpinBox(m_tcpPanel);
    const HardwareEditing::NumberRange ports = HardwareEditing::TcpPortRange();
    m_port->setRange(ports.minimum, ports.maximum);
    tcpLayout->addWidget(m_port);
    m_listen = new QCheckBox(QStringLiteral("Listen on port"), m_tcpPanel);
    m_wait = new QCheckBox(QStringLiteral("Wait for connection"), m_tcpPanel);
    tcpLayout->addWidget(m_listen);
    tcpLayout->addWidget(m_wait);
    frameLayout->addWidget(m_tcpPanel);
    layout->addWidget(frame);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_types, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            showPanel(id);
    });
    connect(browse, &QPushButton::clicked, this, &SerialPortDialog::BrowseClick);
    setType(HardwareEditing::SerialConsole);
}

void SerialPortDialog::load(const HardwareEditing::SerialPortPreset& preset)
{
    setType(preset.type);
    if (preset.fileName)
        m_file->setText(*preset.fileName);
    m_hostPorts->clear();
    m_hostPorts->addItems(preset.hostPorts);
    m_ip->setText(preset.ip);
    m_port->setValue(preset.port);
    m_wait->setChecked(preset.wait);
    m_listen->setChecked(preset.listen);
    m_hostPorts->setCurrentIndex(preset.hostPort);
}

int SerialPortDialog::type() const
{
    return m_types->checkedId();
}

void SerialPortDialog::setType(int type)
{
    if (QAbstractButton* button = m_types->button(type))
        button->setChecked(true);
    showPanel(this->type());
}

HardwareEditing::SerialPortChoice SerialPortDialog::choice()
{
    m_port->interpretText();
    HardwareEditing::SerialPortChoice choice;
    choice.type = type();
    choice.hostPort = m_hostPorts->currentText();
    choice.fileName = m_file->text();
    choice.ip = m_ip->text();
    choice.port = m_port->value();
    choice.wait = m_wait->isChecked();
    choice.listen = m_listen->isChecked();
    return choice;
}

void SerialPortDialog::BrowseClick()
{
    if (const std::optional<QString> file = ChoosePortFile(this))
        m_file->setText(*file);
}

void SerialPortDialog::showPanel(int type)
{
    m_physicalPanel->setVisible(type == HardwareEditing::SerialPhysical);
    m_filePanel->setVisible(type == HardwareEditing::SerialFile);
    m_tcpPanel->setVisible(type == HardwareEditing::SerialTcp);
}
