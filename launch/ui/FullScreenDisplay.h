#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

class DisplayPanel;
class QLabel;

// A display panel alone on the screen. The panel moves here from its place in the console and
// goes back when the view ends; its connection, and the guest's keys held, go with it.
class FullScreenDisplay final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FullScreenDisplay)

public:
    // How long the way back is shown on entering.
    static constexpr int HintMs = 2000;
    static constexpr char Hint[] = "Press Ctrl+Alt+Enter to leave full screen";

    FullScreenDisplay();
    ~FullScreenDisplay() override;

    void enter(DisplayPanel* panel);
    // Gives the panel back to where it was; does nothing when none is shown.
    void leave();
    DisplayPanel* panel() const { return m_panel; }
    bool isHintShown() const;

signals:
    // The view ended, by leave() or by the window manager closing it.
    void left();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void place();

    QPointer<DisplayPanel> m_panel;
    QPointer<QWidget> m_home; // the panel's parent in the console
    QPoint m_homePosition;
    QLabel* m_hint = nullptr;
};
