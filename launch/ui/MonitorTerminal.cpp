#include "launch/ui/MonitorTerminal.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>

#include <vterm.h>

namespace {

const QColor background(0, 0, 0);
const QColor silver(192, 192, 192);
// The answer-back text sent for ENQ.
const char answerBack[] = "iPROterm";
constexpr unsigned char enquiry = 0x05;

QColor toQColor(const VTermScreen* screen, VTermColor color)
{
    vterm_screen_convert_color_to_rgb(screen, &color);
    return QColor(color.rgb.red, color.rgb.green, color.rgb.blue);
}

VTermModifier modifiersOf(Qt::KeyboardModifiers modifiers)
{
    int result = VTERM_MOD_NONE;
    if (modifiers & Qt::ShiftModifier)
        result |= VTERM_MOD_SHIFT;
    if (modifiers & Qt::AltModifier)
        result |= VTERM_MOD_ALT;
    if (modifiers & Qt::ControlModifier)
        result |= VTERM_MOD_CTRL;
    return VTermModifier(result);
}

// The keys that have a terminal sequence of their own; VTERM_KEY_NONE for the others.
VTermKey terminalKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VTERM_KEY_ENTER;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VTERM_KEY_TAB;
    case Qt::Key_Backspace:
        return VTERM_KEY_BACKSPACE;
    case Qt::Key_Escape:
        return VTERM_KEY_ESCAPE;
    case Qt::Key_Up:
        return VTERM_KEY_UP;
    case Qt::Key_Down:
        return VTERM_KEY_DOWN;
    case Qt::Key_Left:
        return VTERM_KEY_LEFT;
    case Qt::Key_Right:
        return VTERM_KEY_RIGHT;
    case Qt::Key_Insert:
        return VTERM_KEY_INS;
    case Qt::Key_Delete:
        return VTERM_KEY_DEL;
    case Qt::Key_Home:
        return VTERM_KEY_HOME;
    case Qt::Key_End:
        return VTERM_KEY_END;
    case Qt::Key_PageUp:
        return VTERM_KEY_PAGEUP;
    case Qt::Key_PageDown:
        return VTERM_KEY_PAGEDOWN;
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VTermKey(VTERM_KEY_FUNCTION(key - Qt::Key_F1 + 1));
    return VTERM_KEY_NONE;
}

} // namespace

struct MonitorTerminalCallbacks
{
    static MonitorTerminal* terminal(void* user) { return static_cast<MonitorTerminal*>(user); }

    static void output(const char* bytes, size_t length, void* user)
    {
        emit terminal(user)->dataToSend(QByteArray(bytes, qsizetype(length)));
    }

    static int damage(VTermRect rect, void* user)
    {
        MonitorTerminal* self = terminal(user);
        self->update(self->cellRect(rect.start_row, rect.start_col, rect.end_row - rect.start_row,
                                    rect.end_col - rect.start_col));
        return 1;
    }

    static int moveRect(VTermRect dest, VTermRect src, void* user)
    {
        damage(dest, user);
        damage(src, user);
        return 1;
    }

    static int moveCursor(VTermPos pos, VTermPos oldPos, int visible, void* user)
    {
        MonitorTerminal* self = terminal(user);
        self->update(self->cellRect(oldPos.row, oldPos.col));
        self->m_cursorRow = pos.row;
        self->m_cursorColumn = pos.col;
        self->m_cursorVisible = visible != 0;
        self->update(self->cellRect(pos.row, pos.col));
        return 1;
    }

    static int setTermProp(VTermProp prop, VTermValue* value, void* user)
    {
        MonitorTerminal* self = terminal(user);
        if (prop == VTERM_PROP_CURSORVISIBLE) {
            self->m_cursorVisible = value->boolean != 0;
            self->update(self->cellRect(self->m_cursorRow, self->m_cursorColumn));
        }
        return 1;
    }

    // Controls the library leaves alone; ENQ asks for the answer-back text.
    static int control(unsigned char control, void* user)
    {
        if (control != enquiry)
            return 0;
        emit terminal(user)->dataToSend(QByteArray(answerBack));
        return 1;
    }

    static const VTermScreenCallbacks screenCallbacks;
    static const VTermParserCallbacks fallbacks;
};

// No scroll-back: lines leaving the top are dropped.
const VTermScreenCallbacks MonitorTerminalCallbacks::screenCallbacks = {
    &MonitorTerminalCallbacks::damage,
    &MonitorTerminalCallbacks::moveRect,
    &MonitorTerminalCallbacks::moveCursor,
    &MonitorTerminalCallbacks::setTermProp,
    nullptr, // bell
    nullptr, // resize
    nullptr, // sb_pushline
    nullptr, // sb_popline
};

const VTermParserCallbacks MonitorTerminalCallbacks::fallbacks = {
    nullptr, // text
    &MonitorTerminalCallbacks::control,
    nullptr, // escape
    nullptr, // csi
    nullptr, // osc
    nullptr, // dcs
    nullptr, // resize
};

MonitorTerminal::MonitorTerminal(QWidget* parent)
    : QWidget(parent), m_vterm(vterm_new(DefaultRows, DefaultColumns))
{
    setObjectName(QStringLiteral("MonitorTerminal"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, silver);
    setPalette(colours);
    setAutoFillBackground(true);

    vterm_set_utf8(m_vterm, 1);
    vterm_output_set_callback(m_vterm, &MonitorTerminalCallbacks::output, this);
    m_screen = vterm_obtain_screen(m_vterm);
    vterm_screen_set_callbacks(m_screen, &MonitorTerminalCallbacks::screenCallbacks, this);
    vterm_screen_set_unrecognised_fallbacks(m_screen, &MonitorTerminalCallbacks::fallbacks, this);
    vterm_screen_set_damage_merge(m_screen, VTERM_DAMAGE_SCROLL);
    VTermColor foreground;
    VTermColor back;
    vterm_color_rgb(&foreground, quint8(silver.red()), quint8(silver.green()),
                    quint8(silver.blue()));
    vterm_color_rgb(&back, 0, 0, 0);
    vterm_state_set_default_colors(vterm_obtain_state(m_vterm), &foreground, &back);
    vterm_screen_reset(m_screen, 1);
    m_cell = QSize(QFontMetrics(font()).horizontalAdvance(QLatin1Char('M')),
                   QFontMetrics(font()).height());
}

MonitorTerminal::~MonitorTerminal()
{
    vterm_free(m_vterm);
}

QByteArray MonitorTerminal::withoutRepeats(const QByteArray& received)
{
    // libvterm 0.1.4 loops for ever on a repeat (CSI ... b) with no character before it, and
    // writes past its arguments on a sequence with more than 16 of them or with sub-arguments
    // (":"). QEMU's monitor sends none of these, so they are dropped whole, also when a read cuts
    // one in two. The states follow the library's parser: a control inside a sequence acts at
    // once and leaves the sequence open, another escape starts afresh, DEL is ignored.
    constexpr char Escape = '\x1b';
    QByteArray out;
    out.reserve(received.size());
    for (const char c : received) {
        const auto byte = static_cast<unsigned char>(c);
        if (m_sequence.isEmpty()) {
            if (c == Escape)
                m_sequence = QByteArray(1, c);
            else
                out += c;
        } else if (c == Escape) {
            m_sequence = QByteArray(1, c); // what was begun is abandoned, here as there
        } else if (byte < 0x20) {
            out += c;
        } else if (!m_sequence.contains('[')) {
            // An escape, perhaps with intermediates ("ESC ! ["): "[" makes it a CSI there too.
            if (c == '[' || (byte < 0x30 && m_sequence.size() < 256)) {
                m_sequence += c;
            } else {
                out += m_sequence + c;
                m_sequence.clear();
            }
        } else if (byte < 0x40) {
            if (m_sequence.size() < 256) // beyond, it is dropped anyway
                m_sequence += c;         // parameters and intermediates
        } else if (byte < 0x7f) {
            if (c != 'b' && m_sequence.size() <= 64 && !m_sequence.contains(':') &&
                m_sequence.count(';') < 16)
                out += m_sequence + c;
            m_sequence.clear();
        }
        // DEL and bytes above ASCII inside a sequence end nothing and are left out.
    }
    return out;
}

void MonitorTerminal::feed(const QByteArray& received)
{
    const QByteArray bytes = withoutRepeats(received);
    if (bytes.isEmpty())
        return;
    vterm_input_write(m_vterm, bytes.constData(), size_t(bytes.size()));
    vterm_screen_flush_damage(m_screen);
}

void MonitorTerminal::clear()
{
    m_sequence.clear();
    vterm_screen_reset(m_screen, 1);
    vterm_screen_flush_damage(m_screen);
    update();
}

int MonitorTerminal::rows() const
{
    int rowCount = 0;
    int columnCount = 0;
    vterm_get_size(m_vterm, &rowCount, &columnCount);
    return rowCount;
}

int MonitorTerminal::columns() const
{
    int rowCount = 0;
    int columnCount = 0;
    vterm_get_size(m_vterm, &rowCount, &columnCount);
    return columnCount;
}

QString MonitorTerminal::rowText(int row) const
{
    QString text;
    const int columnCount = columns();
    for (int column = 0; column < columnCount; ++column) {
        VTermScreenCell cell;
        if (!vterm_screen_get_cell(m_screen, VTermPos{row, column}, &cell))
            break;
        if (cell.chars[0] == 0) {
            // The right half of a wide character has no text of its own.
            if (cell.width != 0)
                text.append(QLatin1Char(' '));
            continue;
        }
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i)
            text.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&cell.chars[i]), 1));
    }
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString MonitorTerminal::screenText() const
{
    QStringList lines;
    const int rowCount = rows();
    for (int row = 0; row < rowCount; ++row)
        lines.append(rowText(row));
    return lines.join(QLatin1Char('\n'));
}

QSize MonitorTerminal::sizeHint() const
{
    return QSize(m_cell.width() * DefaultColumns, m_cell.height() * DefaultRows);
}

QRect MonitorTerminal::cellRect(int row, int column, int rowCount, int columnCount) const
{
    return QRect(column * m_cell.width(), row * m_cell.height(), columnCount * m_cell.width(),
                 rowCount * m_cell.height());
}

void MonitorTerminal::fitToWidget()
{
    // A page that was never shown has no real size yet; it keeps the 80 by 24 screen until then,
    // so what QEMU prints meanwhile is not squeezed into a line or two.
    if (m_cell.isEmpty() || !isVisible())
        return;
    // Two rows and two columns at least: libvterm crashes on a one-row screen, and writing a wide
    // character into a one-column one.
    const int rowCount = qMax(2, height() / m_cell.height());
    const int columnCount = qMax(2, width() / m_cell.width());
    if (rowCount < rows()) {
        // libvterm 0.1 crashes on a later erase when a smaller screen cuts off written rows. So
        // the screen is first scrolled until the cursor's line fits, and the rows the smaller
        // screen drops are blanked; the cursor stays on its text.
        VTermPos cursor{};
        vterm_state_get_cursorpos(vterm_obtain_state(m_vterm), &cursor);
        QByteArray moves = QByteArray("\x1b[r");
        if (const int up = cursor.row - rowCount + 1; up > 0) {
            moves += "\x1b[" + QByteArray::number(rows()) + ";1H" + QByteArray(up, '\n');
            cursor.row -= up;
        }
        moves += "\x1b[" + QByteArray::number(rowCount + 1) + ";1H\x1b[J\x1b[" +
                 QByteArray::number(cursor.row + 1) + ';' + QByteArray::number(cursor.col + 1) +
                 'H';
        vterm_input_write(m_vterm, moves.constData(), size_t(moves.size()));
        vterm_screen_flush_damage(m_screen);
    }
    if (rowCount != rows() || columnCount != columns())
        vterm_set_size(m_vterm, rowCount, columnCount);
    update();
}

void MonitorTerminal::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fitToWidget();
}

void MonitorTerminal::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitToWidget();
}

void MonitorTerminal::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        const QFontMetrics metrics(font());
        m_cell =
            QSize(qMax(1, metrics.horizontalAdvance(QLatin1Char('M'))), qMax(1, metrics.height()));
        updateGeometry();
        fitToWidget();
    }
}

void MonitorTerminal::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int rowCount = rows();
    const int columnCount = columns();
    const QRect area = event->rect();
    const int firstRow = qMax(0, area.top() / m_cell.height());
    const int lastRow = qMin(rowCount - 1, area.bottom() / m_cell.height());
    const int firstColumn = qMax(0, area.left() / m_cell.width());
    const int lastColumn = qMin(columnCount - 1, area.right() / m_cell.width());
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            VTermScreenCell cell;
            if (!vterm_screen_get_cell(m_screen, VTermPos{row, column}, &cell))
                continue;
            QColor foreground = toQColor(m_screen, cell.fg);
            QColor back = toQColor(m_screen, cell.bg);
            const bool cursorHere =
                m_cursorVisible && hasFocus() && row == m_cursorRow && column == m_cursorColumn;
            if (bool(cell.attrs.reverse) != cursorHere)
                std::swap(foreground, back);
            const QRect rect = cellRect(row, column, 1, qMax(1, int(cell.width)));
            if (back != background)
                painter.fillRect(rect, back);
            if (cell.chars[0] == 0)
                continue;
            QString text;
            for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i)
                text.append(
                    QString::fromUcs4(reinterpret_cast<const char32_t*>(&cell.chars[i]), 1));
            painter.setPen(foreground);
            painter.drawText(rect.left(), rect.top() + metrics.ascent(), text);
            if (cell.attrs.underline)
                painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
        }
    }
    // Without focus the cursor is an outline, so the user still sees where typing will go.
    if (m_cursorVisible && !hasFocus() && m_cursorRow <= lastRow && m_cursorRow >= firstRow) {
        painter.setPen(silver);
        painter.drawRect(cellRect(m_cursorRow, m_cursorColumn).adjusted(0, 0, -1, -1));
    }
}

bool MonitorTerminal::focusNextPrevChild(bool)
{
    // Tab belongs to the monitor (command completion), not to focus changes.
    return false;
}

void MonitorTerminal::keyPressEvent(QKeyEvent* event)
{
    const VTermModifier modifiers = modifiersOf(event->modifiers());
    const int key = event->key();
    const VTermKey special = terminalKey(key);
    if (special != VTERM_KEY_NONE) {
        vterm_keyboard_key(m_vterm, special, modifiers);
        event->accept();
        return;
    }
    // Control with a letter: the library turns the letter into its control code.
    if ((event->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        vterm_keyboard_unichar(m_vterm, uint32_t('a' + (key - Qt::Key_A)),
                               VTermModifier(modifiers & ~VTERM_MOD_SHIFT));
        event->accept();
        return;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Shift is already in the character.
    const VTermModifier characterModifiers = VTermModifier(modifiers & ~VTERM_MOD_SHIFT);
    for (const char32_t character : text.toUcs4()) {
        // Control codes arrive as text on some platforms; they go out as they are.
        if (character < 0x20 || character == 0x7f)
            emit dataToSend(QByteArray(1, char(character)));
        else
            vterm_keyboard_unichar(m_vterm, uint32_t(character), characterModifiers);
    }
    event->accept();
}
