#include "devices/ui/TapDriverDialog.h"

#include "platform/Shell.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

TapDriverDialog::TapDriverDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("TAP-Win32 Driver"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QVBoxLayout(page);
    m_text = new QLabel(
        QStringLiteral("You are running a 64 Bit OS.  To install the TAP-Win32 driver you must "
                       "download\n"
                       "the OpenVPN package by clicking the link below.  You can select just to "
                       "install the\n"
                       "\"TAP Virtual Ethernet Adapter\" during the OpenVPN installation."),
        page);
    m_text->setTextFormat(Qt::PlainText);
    pageLayout->addWidget(m_text);
    m_link = new QLabel(page);
    m_link->setTextFormat(Qt::RichText);
    m_link->setText(
        QStringLiteral("<a href=\"%1\" style=\"color: blue; text-decoration: underline\">%1</a>")
            .arg(downloadPage()));
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    m_link->setCursor(Qt::PointingHandCursor);
    connect(m_link, &QLabel::linkActivated, this, [](const QString& url) { Shell::open(url); });
    pageLayout->addWidget(m_link);
    pageLayout->addStretch();
    tabs->addTab(page, QStringLiteral("Information"));
    layout->addWidget(tabs);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QString TapDriverDialog::downloadPage()
{
    return QStringLiteral("https://openvpn.net/community-downloads/");
}
