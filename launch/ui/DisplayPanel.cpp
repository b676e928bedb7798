#include "launch/ui/DisplayPanel.h"

#include "launch/KeyCodes.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

#include <cmath>

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
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(ResizeSettleMs);
    connect(&m_resizeTimer, &QTimer::timeout, this, &DisplayPanel::requestGuestSize);
    // QEMU types at one key event per 10 ms; sent faster, they would only queue up there.
    m_typeTimer.setInterval(10);
    connect(&m_typeTimer, &QTimer::timeout, this, &DisplayPanel::typeNext);
    connect(&m_connection, &DisplayConnection::frameResized, this, &DisplayPanel::frameResized);
    connect(
        &m_connection, &DisplayConnection::frameChanged, this, [this](const QList<QRect>& rects) {
            const QRectF picture = pictureRect(m_frameSize);
            if (picture.isEmpty())
                return;
            const qreal sx = picture.width() / m_frameSize.width();
            const qreal sy = picture.height() / m_frameSize.height();
            // A scaled pixel blends its neighbours: one pixel more on every side.
            const int margin = picture.size() == QSizeF(m_frameSize) / devicePixelRatioF() ? 0 : 1;
            QRegion region;
            for (const QRect& rect : rects)
                region += QRectF(picture.x() + rect.x() * sx, picture.y() + rect.y() * sy,
                                 rect.width() * sx, rect.height() * sy)
                              .toAlignedRect()
                              .adjusted(-margin, -margin, margin, margin);
            update(region);
        });
    connect(&m_connection, &DisplayConnection::stateChanged, this,
            &DisplayPanel::connectionStateChanged);
    connect(&m_connection, &DisplayConnection::failed, this, &DisplayPanel::statusMessage);
    connect(&m_connection, &DisplayConnection::clipboardTextReceived, this,
            [this](const QString& text) {
                if (!m_sharing)
                    return;
                m_fromGuest = text;
                QGuiApplication::clipboard()->setText(text);
            });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &DisplayPanel::offerClipboard);
}

DisplayPanel::~DisplayPanel()
{
    releaseInput();
}

void DisplayPanel::connectDisplay(const QString& socketPath)
{
    releaseInput();
    m_frameSize = {};
    m_typing.clear();
    m_connection.setClipboardSharing(m_sharing);
    m_connection.open(socketPath);
    updateSize();
    update();
}

void DisplayPanel::disconnectDisplay()
{
    releaseInput();
    m_connection.close();
    m_frameSize = {};
    m_typing.clear();
    updateSize();
    update();
}

void DisplayPanel::setScaling(Scaling scaling)
{
    if (m_scaling == scaling)
        return;
    m_scaling = scaling;
    updateSize();
    update();
}

void DisplayPanel::setAvailableSize(const QSize& size)
{
    if (size.isEmpty() || size == m_available)
        return;
    m_available = size;
    updateSize();
    if (m_resizeGuest)
        m_resizeTimer.start();
}

void DisplayPanel::setResizeGuest(bool on)
{
    m_resizeGuest = on;
    if (on)
        m_resizeTimer.start();
    else
        m_resizeTimer.stop();
}

void DisplayPanel::setClipboardSharing(bool on)
{
    m_sharing = on;
    m_connection.setClipboardSharing(on);
}

void DisplayPanel::typeText(const QString& text)
{
    if (state() != DisplayConnection::State::Connected)
        return;
    m_typing += KeyCodes::keystrokesForText(text);
    if (!m_typing.isEmpty())
        m_typeTimer.start();
}

void DisplayPanel::typeNext()
{
    if (m_typing.isEmpty() || state() != DisplayConnection::State::Connected) {
        m_typing.clear();
        m_typeTimer.stop();
        return;
    }
    const KeyCodes::Keystroke key = m_typing.takeFirst();
    m_connection.sendKey(key.keysym, key.scancode, key.down);
}

void DisplayPanel::offerClipboard()
{
    if (!m_sharing || state() != DisplayConnection::State::Connected)
        return;
    const QString text = QGuiApplication::clipboard()->text();
    // What the guest gave comes back here as the host's change; offered back it would loop.
    if (!text.isEmpty() && text != m_fromGuest)
        m_connection.offerClipboardText(text);
}

void DisplayPanel::requestGuestSize()
{
    if (!m_resizeGuest || state() != DisplayConnection::State::Connected || m_frameSize.isEmpty())
        return;
    // In the screen's own pixels, so that the guest's picture then shows sharp at one to one.
    const QSize wanted = (QSizeF(m_available) * devicePixelRatioF()).toSize();
    if (wanted == m_frameSize || wanted == m_requested)
        return;
    m_requested = wanted;
    m_connection.requestDesktopSize(wanted);
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

QRectF DisplayPanel::pictureRect() const
{
    return pictureRect(m_frameSize);
}

QRectF DisplayPanel::pictureRect(const QSize& frame) const
{
    if (frame.isEmpty())
        return {};
    const qreal ratio = devicePixelRatioF();
    const QSizeF own = QSizeF(frame) / ratio;
    if (m_scaling == Scaling::Actual)
        return {QPointF(0, 0), own};
    const QSizeF room = size();
    QSizeF fitted = own.scaled(room, Qt::KeepAspectRatio);
    const bool asItIs = std::abs(fitted.width() - own.width()) < 0.01 &&
                        std::abs(fitted.height() - own.height()) < 0.01;
    if (asItIs)
        fitted = own;
    QPointF origin((room.width() - fitted.width()) / 2, (room.height() - fitted.height()) / 2);
    // A picture that fits as it is stays sharp: on whole pixels.
    if (asItIs)
        origin = QPointF(std::floor(origin.x()), std::floor(origin.y()));
    return {origin, fitted};
}

void DisplayPanel::updateSize()
{
    if (m_scaling == Scaling::Fit) {
        showSize(m_available);
        return;
    }
    if (m_frameSize.isEmpty()) {
        showSize(DefaultSize);
        return;
    }
    const QSizeF own = QSizeF(m_frameSize) / devicePixelRatioF();
    showSize(QSize(int(std::ceil(own.width())), int(std::ceil(own.height()))));
}

void DisplayPanel::showSize(const QSize& size)
{
    if (size == this->size() && size == minimumSize())
        return;
    setFixedSize(size);
    emit displayResized(size);
}

void DisplayPanel::frameResized(const QSize& size)
{
    const bool first = m_frameSize.isEmpty();
    m_frameSize = size;
    updateSize();
    update();
    // A new connection's guest gets the room's size once: a guest that changes its resolution
    // of its own accord afterwards is left to it.
    if (first && m_resizeGuest)
        m_resizeTimer.start();
}

void DisplayPanel::connectionStateChanged(DisplayConnection::State state)
{
    emit stateChanged(state);
    if (state == DisplayConnection::State::Connected) {
        // Each connection is a new viewer to QEMU: no size asked yet, no pointer position known.
        m_requested = {};
        m_relative = QPoint(RelativeStart, RelativeStart);
        m_relativeRest = {};
        offerClipboard();
        return;
    }
    releaseInput();
    m_typing.clear();
    if (state != DisplayConnection::State::Connecting) {
        m_frameSize = {};
        updateSize();
    }
    update();
}

void DisplayPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    bool shown = false;
    m_connection.readFrame([&](const quint32* pixels, QSize size, quint64 updates) {
        QImage frame(reinterpret_cast<const uchar*>(pixels), size.width(), size.height(),
                     size.width() * 4, QImage::Format_RGB32);
        const qreal ratio = devicePixelRatioF();
        frame.setDevicePixelRatio(ratio);
        const QRectF picture = pictureRect(size);
        const QRegion outside = event->region() - picture.toRect();
        for (const QRect& rect : outside)
            painter.fillRect(rect, Qt::black);
        if (picture.size() == QSizeF(size) / ratio) {
            // One to one: each dirty rectangle copied as it is.
            const QPointF origin = picture.topLeft();
            for (const QRect& rect : event->region()) {
                const QRectF source((QPointF(rect.topLeft()) - origin) * ratio,
                                    QSizeF(rect.size()) * ratio);
                painter.drawImage(QPointF(rect.topLeft()), frame, source);
            }
        } else {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setClipRegion(event->region());
            painter.drawImage(picture, frame, QRectF(QPointF(0, 0), QSizeF(size)));
        }
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
        // The guest's pointer stays where the last grab left it: nothing is sent until the mouse
        // moves.
        setCursor(Qt::BlankCursor);
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

void DisplayPanel::sendPointer(const QPointF& at)
{
    const QRectF picture = pictureRect();
    if (picture.isEmpty())
        return;
    const qreal sx = m_frameSize.width() / picture.width();
    const qreal sy = m_frameSize.height() / picture.height();
    if (m_absolute) {
        // The guest pixel under the host's pointer, through the scale.
        const int x = int(std::floor((at.x() - picture.x()) * sx));
        const int y = int(std::floor((at.y() - picture.y()) * sy));
        m_connection.sendPointer(qBound(0, x, m_frameSize.width() - 1),
                                 qBound(0, y, m_frameSize.height() - 1), m_buttons);
        return;
    }
    const QPoint centre = rect().center();
    const QPointF moved = at - QPointF(centre);
    if (moved.isNull()) {
        m_connection.sendPointer(m_relative.x(), m_relative.y(), m_buttons);
        return;
    }
    // The guest's pointer crosses its screen as fast as the host's crosses the picture.
    const QPointF guest = QPointF(moved.x() * sx, moved.y() * sy) + m_relativeRest;
    const QPoint whole(int(std::trunc(guest.x())), int(std::trunc(guest.y())));
    m_relativeRest = guest - QPointF(whole);
    m_relative = QPoint(qBound(0, m_relative.x() + whole.x(), 0xffff),
                        qBound(0, m_relative.y() + whole.y(), 0xffff));
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
    sendPointer(event->position());
}

void DisplayPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_grabbed)
        return;
    m_buttons = buttonMask(event->buttons());
    sendPointer(event->position());
}

void DisplayPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grabbed)
        sendPointer(event->position());
}

void DisplayPanel::wheelEvent(QWheelEvent* event)
{
    if (!m_grabbed || event->angleDelta().y() == 0)
        return;
    const int wheel = event->angleDelta().y() > 0 ? 8 : 16;
    const QPointF at = m_absolute ? event->position() : QPointF(rect().center());
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
