#include "launch/ui/DisplayPanel.h"

#include "launch/KeyCodes.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

namespace {

// The pointer's middle while the guest's mouse moves relatively: room to move in every direction.
constexpr int RelativeStart = 0x7fff;

int buttonMask(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::MiddleButton ? 2 : 0) |
           (buttons & Qt::RightButton ? 4 : 0);
}

} // namespace

DisplayPanel::DisplayPanel(QWidget* parent) : QWidget(parent)
{
    setFixedSize(DefaultSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    connect(&m_connection, &DisplayConnection::frameResized, this, &DisplayPanel::showSize);
    connect(&m_connection, &DisplayConnection::frameChanged, this,
            [this](const QList<QRect>& rects) {
                QRegion region;
                for (const QRect& rect : rects)
                    region += rect;
                update(region);
            });
    connect(&m_connection, &DisplayConnection::stateChanged, this,
            &DisplayPanel::connectionStateChanged);
    connect(&m_connection, &DisplayConnection::failed, this, &DisplayPanel::statusMessage);
}

DisplayPanel::~DisplayPanel()
{
    releaseInput();
}

void DisplayPanel::connectDisplay(const QString& socketPath)
{
    releaseInput();
    m_connection.open(socketPath);
    showSize(DefaultSize);
    update();
}

void DisplayPanel::disconnectDisplay()
{
    releaseInput();
    m_connection.close();
    showSize(DefaultSize);
    update();
}

QImage DisplayPanel::image() const
{
    QImage copy;
    m_connection.readFrame([&copy](const quint32* pixels, QSize size, quint64) {
        copy = QImage(reinterpret_cast<const uchar*>(pixels), size.width(), size.height(),
                      size.width() * 4, QImage::Format_RGB32)
                   .copy();
    });
    return copy;
}

void DisplayPanel::showSize(const QSize& size)
{
    if (size == this->size() && size == minimumSize())
        return;
    setFixedSize(size);
    emit displayResized(size);
}

void DisplayPanel::connectionStateChanged(DisplayConnection::State state)
{
    if (state == DisplayConnection::State::Connected)
        return;
    releaseInput();
    if (state != DisplayConnection::State::Connecting)
        showSize(DefaultSize);
    update();
}

void DisplayPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    bool shown = false;
    m_connection.readFrame([&](const quint32* pixels, QSize size, quint64 updates) {
        const QImage frame(reinterpret_cast<const uchar*>(pixels), size.width(), size.height(),
                           size.width() * 4, QImage::Format_RGB32);
        const QRegion outside = event->region() - QRect(QPoint(0, 0), size);
        for (const QRect& rect : outside)
            painter.fillRect(rect, Qt::black);
        for (const QRect& rect : event->region())
            painter.drawImage(rect.topLeft(), frame, rect);
        m_framesShown = updates;
        shown = true;
    });
    if (shown)
        return;
    painter.fillRect(event->rect(), Qt::black);
    QString caption;
    switch (state()) {
    case DisplayConnection::State::Connecting:
        caption = QStringLiteral("Connecting to the VM's display...");
        break;
    case DisplayConnection::State::Closed:
        caption = QStringLiteral("The VM's display has closed");
        break;
    case DisplayConnection::State::Failed:
        caption = QStringLiteral("The VM's display is not available");
        break;
    default:
        return;
    }
    painter.setPen(Qt::gray);
    painter.drawText(rect(), Qt::AlignCenter, caption);
}

// Grabbing.

void DisplayPanel::grabInput()
{
    if (m_grabbed || state() != DisplayConnection::State::Connected)
        return;
    m_grabbed = true;
    m_ctrlDown = m_altDown = false;
    setFocus(Qt::MouseFocusReason);
    grabKeyboard();
    grabMouse();
    // Every shortcut of the program is offered to the guest first.
    qApp->installEventFilter(this);
    if (!m_absolute) {
        setCursor(Qt::BlankCursor);
        m_relative = QPoint(RelativeStart, RelativeStart);
        m_connection.sendPointer(m_relative.x(), m_relative.y(), m_buttons);
        QCursor::setPos(mapToGlobal(rect().center()));
    }
    emit grabChanged(true);
}

void DisplayPanel::releaseInput()
{
    if (!m_grabbed)
        return;
    // The guest must not be left with keys or buttons held.
    for (const auto& [keysym, scancode] : std::as_const(m_pressed))
        m_connection.sendKey(keysym, scancode, false);
    m_pressed.clear();
    if (m_buttons != 0) {
        m_buttons = 0;
        if (m_absolute)
            m_connection.sendPointer(0, 0, 0);
        else
            m_connection.sendPointer(m_relative.x(), m_relative.y(), 0);
    }
    m_grabbed = false;
    qApp->removeEventFilter(this);
    releaseKeyboard();
    releaseMouse();
    unsetCursor();
    emit grabChanged(false);
}

bool DisplayPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Taken as a key for the guest rather than a shortcut, whichever widget has the focus.
    if (m_grabbed && event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool DisplayPanel::event(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && m_grabbed && !isActiveWindow())
        releaseInput();
    return QWidget::event(event);
}

bool DisplayPanel::focusNextPrevChild(bool next)
{
    // Tab belongs to the guest while the panel holds the keyboard.
    return m_grabbed ? false : QWidget::focusNextPrevChild(next);
}

void DisplayPanel::hideEvent(QHideEvent* event)
{
    releaseInput();
    QWidget::hideEvent(event);
}

// The mouse.

void DisplayPanel::sendPointer(const QPoint& at)
{
    if (m_absolute) {
        m_connection.sendPointer(qBound(0, at.x(), width() - 1), qBound(0, at.y(), height() - 1),
                                 m_buttons);
        return;
    }
    const QPoint centre = rect().center();
    const QPoint moved = at - centre;
    if (moved.isNull()) {
        m_connection.sendPointer(m_relative.x(), m_relative.y(), m_buttons);
        return;
    }
    m_relative = QPoint(qBound(0, m_relative.x() + moved.x(), 0xffff),
                        qBound(0, m_relative.y() + moved.y(), 0xffff));
    m_connection.sendPointer(m_relative.x(), m_relative.y(), m_buttons);
    // Back to the middle, so the host's pointer never stops at the panel's edge.
    QCursor::setPos(mapToGlobal(centre));
}

void DisplayPanel::mousePressEvent(QMouseEvent* event)
{
    if (!m_grabbed) {
        // The click that takes the mouse is not the guest's.
        grabInput();
        return;
    }
    m_buttons = buttonMask(event->buttons());
    sendPointer(event->position().toPoint());
}

void DisplayPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_grabbed)
        return;
    m_buttons = buttonMask(event->buttons());
    sendPointer(event->position().toPoint());
}

void DisplayPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grabbed)
        sendPointer(event->position().toPoint());
}

void DisplayPanel::wheelEvent(QWheelEvent* event)
{
    if (!m_grabbed || event->angleDelta().y() == 0)
        return;
    const int wheel = event->angleDelta().y() > 0 ? 8 : 16;
    const QPoint at = m_absolute ? event->position().toPoint() : rect().center();
    m_buttons |= wheel;
    sendPointer(at);
    m_buttons &= ~wheel;
    sendPointer(at);
}

// The keyboard.

void DisplayPanel::sendKey(QKeyEvent* event, bool down)
{
    const quint32 scancode = KeyCodes::scancodeFromXkb(event->nativeScanCode());
    const quint32 keysym = event->nativeVirtualKey() != 0
                               ? event->nativeVirtualKey()
                               : KeyCodes::keysymFromQt(event->key(), event->text());
    if (keysym == 0 && scancode == 0)
        return;
    if (down)
        m_pressed.insert({keysym, scancode});
    else
        m_pressed.remove({keysym, scancode});
    m_connection.sendKey(keysym, scancode, down);
}

void DisplayPanel::keyPressEvent(QKeyEvent* event)
{
    if (!m_grabbed) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Control)
        m_ctrlDown = true;
    else if (event->key() == Qt::Key_Alt)
        m_altDown = true;
    if (m_ctrlDown && m_altDown) {
        releaseInput();
        return;
    }
    sendKey(event, true);
}

void DisplayPanel::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        m_ctrlDown = false;
    else if (event->key() == Qt::Key_Alt)
        m_altDown = false;
    if (!m_grabbed) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    // A held key repeats as further presses; its release comes once, at the end.
    if (!event->isAutoRepeat())
        sendKey(event, false);
}
