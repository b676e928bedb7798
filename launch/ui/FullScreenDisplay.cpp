#include "launch/ui/FullScreenDisplay.h"

#include "launch/ui/DisplayPanel.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

FullScreenDisplay::FullScreenDisplay() : QWidget(nullptr, Qt::Window)
{
    setWindowTitle(QStringLiteral("Vimor"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    m_hint = new QLabel(QString::fromLatin1(Hint), this);
    m_hint->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(32, 32, 32, 200); color: white; "
                       "padding: 10px 18px; border-radius: 6px; }"));
    m_hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_hint->hide();
}

FullScreenDisplay::~FullScreenDisplay()
{
    leave();
}

void FullScreenDisplay::enter(DisplayPanel* panel)
{
    if (!panel || panel == m_panel)
        return;
    leave();
    m_panel = panel;
    m_home = panel->parentWidget();
    m_homePosition = panel->pos();
    panel->setParent(this);
    panel->show();
    showFullScreen();
    panel->setFocus();
    m_hint->adjustSize();
    m_hint->show();
    m_hint->raise();
    place();
    QTimer::singleShot(HintMs, m_hint, &QWidget::hide);
}

void FullScreenDisplay::leave()
{
    if (!m_panel) {
        hide();
        return;
    }
    DisplayPanel* panel = m_panel;
    m_panel = nullptr;
    m_hint->hide();
    panel->setParent(m_home);
    panel->move(m_homePosition);
    panel->show();
    hide();
    emit left();
}

bool FullScreenDisplay::isHintShown() const
{
    return m_hint->isVisible();
}

void FullScreenDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void FullScreenDisplay::closeEvent(QCloseEvent* event)
{
    leave();
    event->accept();
}

void FullScreenDisplay::place()
{
    if (m_panel) {
        m_panel->setAvailableSize(size());
        m_panel->move((width() - m_panel->width()) / 2, (height() - m_panel->height()) / 2);
    }
    m_hint->move((width() - m_hint->width()) / 2, height() / 8);
}
