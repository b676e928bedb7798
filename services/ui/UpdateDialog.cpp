#include "services/ui/UpdateDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

UpdateDialog::UpdateDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Update"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);

    auto* notice = new QLabel(QStringLiteral("There is a newer version of Vimor available."), this);
    notice->setAlignment(Qt::AlignCenter);
    m_versionLine = new QLabel(this);
    // The server's text: shown as it stands, never as markup (links, images of local files).
    m_versionLine->setTextFormat(Qt::PlainText);
    m_versionLine->setAlignment(Qt::AlignCenter);
    m_versionLine->setWordWrap(true);

    auto* texts = new QVBoxLayout;
    texts->addWidget(notice);
    texts->addWidget(m_versionLine);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);

    m_getUpdate = new QPushButton(QStringLiteral("Get Update"), this);
    m_getUpdate->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_getUpdate, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_getUpdate);
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    m_doNotCheck = new QCheckBox(QStringLiteral("Do not check for updates in future"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(m_doNotCheck);
}

void UpdateDialog::start(const QString& versionLine, bool doNotCheck)
{
    m_versionLine->setText(versionLine);
    m_doNotCheck->setChecked(doNotCheck);
    m_getUpdate->setFocus();
}

bool UpdateDialog::doNotCheck() const
{
    return m_doNotCheck->isChecked();
}

QString UpdateDialog::versionLine() const
{
    return m_versionLine->text();
}
