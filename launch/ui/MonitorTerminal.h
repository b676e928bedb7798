#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

struct VTerm;
struct VTermScreen;

// The VT100 terminal of the "Monitor" tab: silver text on black, no scroll-back. It shows what
// feed() is given and hands every typed key, and every answer the terminal owes the other side
// (the answer-back "iPROterm" to ENQ, cursor reports), to dataToSend() as bytes.
class MonitorTerminal final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MonitorTerminal)

public:
    static constexpr int DefaultColumns = 80;
    static constexpr int DefaultRows = 24;

    explicit MonitorTerminal(QWidget* parent = nullptr);
    ~MonitorTerminal() override;

    // Writes the bytes into the terminal; the cells they change are repainted.
    void feed(const QByteArray& bytes);
    // Blank screen, cursor home, default modes.
    void clear();

    int rows() const;
    int columns() const;
    // The screen as text, one line per row with trailing blanks dropped, rows joined by "\n".
    QString screenText() const;
    QString rowText(int row) const;

    QSize sizeHint() const override;

signals:
    void dataToSend(const QByteArray& bytes);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The library's callbacks, kept out of this header with the library's types.
    friend struct MonitorTerminalCallbacks;

    QByteArray withoutRepeats(const QByteArray& received);
    QRect cellRect(int row, int column, int rowCount = 1, int columnCount = 1) const;
    void fitToWidget();

    VTerm* m_vterm = nullptr;
    QByteArray m_sequence; // an escape sequence begun in an earlier read
    VTermScreen* m_screen = nullptr;
    QSize m_cell;
    int m_cursorRow = 0;
    int m_cursorColumn = 0;
    bool m_cursorVisible = true;
};
