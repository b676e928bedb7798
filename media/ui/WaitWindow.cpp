#include "media/ui/WaitWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

WaitWindow::WaitWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Please Wait"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("WaitMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setMinimumWidth(260);
    layout->addWidget(m_message);
}

void WaitWindow::showMessage(const QString& message)
{
    m_message->setText(message.isEmpty() ? QStringLiteral("One Moment Please...") : message);
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString WaitWindow::message() const
{
    return m_message->text();
}
