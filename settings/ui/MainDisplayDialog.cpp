#include "settings/ui/MainDisplayDialog.h"

#include "platform/ui/Interaction.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <functional>

namespace {

// A drop-down list that says when the user opens it.
class ModeList final : public QComboBox
{
public:
    using QComboBox::QComboBox;

    std::function<void()> aboutToOpen;

    void showPopup() override
    {
        if (aboutToOpen)
            aboutToOpen();
        QComboBox::showPopup();
    }
};

} // namespace

MainDisplayDialog::MainDisplayDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Main Display"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Display"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(
        new QLabel(QStringLiteral("Specify how the virtual machine will be displayed:"), frame));
    auto* modes = new ModeList(frame);
    // The position to go back to after a refused OK: the one shown before the user's last pick.
    modes->aboutToOpen = [this] { m_remembered = m_modes->currentIndex(); };
    m_modes = modes;
    frameLayout->addWidget(m_modes);
    m_vncPanel = new QWidget(frame);
    auto* panelLayout = new QVBoxLayout(m_vncPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(
        new QLabel(QStringLiteral("Please specify the VNC Display Number"), m_vncPanel));
    m_vncNumber = new QSpinBox(m_vncPanel);
    panelLayout->addWidget(m_vncNumber);
    // A port is reached by every local user (with the password shown at each start); a socket
    // in the private folder only by this user's programs.
    m_vncSocket = new QCheckBox(
        QStringLiteral("Serve it on a private socket instead of a port (only your own programs "
                       "can connect)"),
        m_vncPanel);
    panelLayout->addWidget(m_vncSocket);
    frameLayout->addWidget(m_vncPanel);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MainDisplayDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_modes, &QComboBox::currentIndexChanged, this, &MainDisplayDialog::modeChanged);
    m_vncPanel->setVisible(false);
}

void MainDisplayDialog::load(const HardwareEditing::DisplayPreset& preset)
{
    m_lacksIntegrated = preset.lacksIntegrated;
    const HardwareEditing::NumberRange range = HardwareEditing::VncNumberRange();
    m_vncNumber->setRange(range.minimum, range.maximum);
    m_vncNumber->setValue(preset.vncNumber);
    m_vncSocket->setChecked(preset.vncSocket);
    m_modes->clear();
    m_modes->addItems(preset.modes);
    m_modes->setCurrentIndex(preset.mode);
    modeChanged(m_modes->currentIndex());
    m_remembered = m_modes->currentIndex();
}

int MainDisplayDialog::mode() const
{
    return m_modes->currentIndex();
}

int MainDisplayDialog::vncNumber()
{
    m_vncNumber->interpretText();
    return m_vncNumber->value();
}

bool MainDisplayDialog::vncSocket() const
{
    return m_vncSocket->isChecked();
}

void MainDisplayDialog::accept()
{
    if (HardwareEditing::DisplayRefused(mode(), m_lacksIntegrated)) {
        Interaction::error(this, HardwareEditing::DisplayRefusal());
        m_modes->setCurrentIndex(m_remembered);
        return;
    }
    QDialog::accept();
}

void MainDisplayDialog::modeChanged(int index)
{
    m_vncPanel->setVisible(index == HardwareEditing::VncDisplay);
}
