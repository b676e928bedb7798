#include "media/ui/NewDiskImageDialog.h"

#include "media/DiskImages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

NewDiskImageDialog::NewDiskImageDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("New Disk Image"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("New Disk Image"), this);
    auto* grid = new QGridLayout(group);

    m_type = new QComboBox(group);
    m_type->addItems(DiskImageTypes::texts());
    grid->addWidget(new QLabel(QStringLiteral("Drive Type:"), group), 0, 0);
    grid->addWidget(m_type, 0, 1, 1, 2);

    m_size = new QSpinBox(group);
    // No bounds in practice; sizes are whole megabytes.
    m_size->setRange(0, std::numeric_limits<int>::max());
    m_size->setSingleStep(100);
    m_sizeLabel = new QLabel(QStringLiteral("MB."), group);
    grid->addWidget(new QLabel(QStringLiteral("Drive Size:"), group), 1, 0);
    grid->addWidget(m_size, 1, 1);
    grid->addWidget(m_sizeLabel, 1, 2);

    m_encrypt = new QCheckBox(QStringLiteral("Encrypt Disk"), group);
    m_compress = new QCheckBox(QStringLiteral("Compress Disk"), group);
    grid->addWidget(m_encrypt, 2, 1, 1, 2);
    grid->addWidget(m_compress, 3, 1, 1, 2);
    layout->addWidget(group);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_type, &QComboBox::currentIndexChanged, this, &NewDiskImageDialog::typeChanged);
    connect(m_size, &QSpinBox::valueChanged, this, &NewDiskImageDialog::sizeChanged);
}

NewDiskImageDialog::~NewDiskImageDialog() = default;

void NewDiskImageDialog::preset()
{
    m_type->setCurrentIndex(DiskImageTypes::Qcow2);
    m_encrypt->setChecked(false);
    m_compress->setChecked(false);
    m_encrypt->setEnabled(true);
    m_compress->setEnabled(true);
    m_size->setValue(10000);
    // Presetting counts as a change even when the window kept the size from last time.
    sizeChanged(m_size->value());
}

int NewDiskImageDialog::typePosition() const
{
    return m_type->currentIndex();
}

int NewDiskImageDialog::sizeMB() const
{
    return m_size->value();
}

bool NewDiskImageDialog::encrypt() const
{
    return m_encrypt->isChecked();
}

bool NewDiskImageDialog::compress() const
{
    return m_compress->isChecked();
}

void NewDiskImageDialog::typeChanged(int position)
{
    const bool qcow2 = position == DiskImageTypes::Qcow2;
    if (!qcow2) {
        m_encrypt->setChecked(false);
        m_compress->setChecked(false);
    }
    m_encrypt->setEnabled(qcow2);
    m_compress->setEnabled(qcow2);
}

void NewDiskImageDialog::sizeChanged(int sizeMB)
{
    m_sizeLabel->setText(DiskSizeLabel(sizeMB));
}
