#include "settings/ui/QemuVersionDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

QemuVersionDialog::QemuVersionDialog(QWidget* parent) : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(new QLabel(
        QStringLiteral(
            "Vimor supports multiple versions of QEMU, depending on the version you select"),
        page));
    pageLayout->addWidget(
        new QLabel(QStringLiteral("will lock / unlock certain features of Vimor."), page));
    pageLayout->addWidget(new QLabel(QStringLiteral("QEMU Version:"), page));
    m_list = new QComboBox(page);
    pageLayout->addWidget(m_list);
    m_configure = new QPushButton(QStringLiteral("Configure QEMU Versions"), page);
    pageLayout->addWidget(m_configure, 0, Qt::AlignLeft);
    pageLayout->addStretch();
    tabs->addTab(page, QStringLiteral("Qemu Version"));
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_configure, &QPushButton::clicked, this, &QemuVersionDialog::configureRequested);
}

void QemuVersionDialog::load(const QList<VersionRegistry::Version>& versions, int row)
{
    m_list->clear();
    for (const VersionRegistry::Version& version : versions)
        m_list->addItem(version.description, version.id);
    m_list->setCurrentIndex(row);
}

VersionRegistry::Version QemuVersionDialog::selected() const
{
    const int row = m_list->currentIndex();
    if (row < 0)
        return {};
    return {m_list->itemText(row), m_list->itemData(row).toString()};
}
