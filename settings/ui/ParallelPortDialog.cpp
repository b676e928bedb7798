#include "settings/ui/ParallelPortDialog.h"

#include "settings/ui/SerialPortDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ParallelPortDialog::ParallelPortDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Parallel Ports"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Devices"), this);
    auto* frameLayout = new QVBoxLayout(frame);

    auto* typeBox = new QGroupBox(QStringLiteral("Type"), frame);
    auto* typeLayout = new QVBoxLayout(typeBox);
    m_types = new QButtonGroup(this);
    const QStringList captions = {QStringLiteral("Console"), QStringLiteral("File")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* button = new QRadioButton(captions.at(i), typeBox);
        m_types->addButton(button, i);
        typeLayout->addWidget(button);
    }
    frameLayout->addWidget(typeBox);

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
    layout->addWidget(frame);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_types, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            showPanel(id);
    });
    connect(browse, &QPushButton::clicked, this, &ParallelPortDialog::BrowseClick);
    setType(HardwareEditing::ParallelConsole);
}

void ParallelPortDialog::load(const HardwareEditing::ParallelPortPreset& preset)
{
    setType(preset.type);
    if (preset.fileName)
        m_file->setText(*preset.fileName);
}

int ParallelPortDialog::type() const
{
    return m_types->checkedId();
}

void ParallelPortDialog::setType(int type)
{
    if (QAbstractButton* button = m_types->button(type))
        button->setChecked(true);
    showPanel(this->type());
}

QString ParallelPortDialog::fileName() const
{
    return m_file->text();
}

void ParallelPortDialog::BrowseClick()
{
    if (const std::optional<QString> file = ChoosePortFile(this))
        m_file->setText(*file);
}

void ParallelPortDialog::showPanel(int type)
{
    m_filePanel->setVisible(type == HardwareEditing::ParallelFile);
}
