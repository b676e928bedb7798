#pragma once

#include "devices/TapAdapters.h"

#include <QDialog>

#include <optional>

class QAction;
class QLabel;
class QPushButton;
class QTreeWidget;

// The "TAP Network Adapters" window: the host's TAP adapters as the last discovery listed them,
// with commands to add a connection and rename one. In selection mode OK takes the selected
// adapter's connection name; in management mode there is only Close.
class TapAdaptersWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TapAdaptersWindow)

public:
    enum class Mode
    {
        Management,
        Selection
    };

    TapAdaptersWindow(Mode mode, TapCommands commands, QWidget* parent = nullptr);

    // Fills the list from the adapter list file; empty when there is none.
    void fill();
    // The connection name taken by OK; nullopt after Cancel or Close.
    std::optional<QString> chosen() const { return m_chosen; }

    void CreateConnectionClick();
    void RenameConnectionClick();
    void accept() override;

    Mode mode() const { return m_mode; }
    QTreeWidget* list() const { return m_list; }
    QAction* createAction() const { return m_create; }
    QAction* renameAction() const { return m_rename; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* closeButton() const { return m_close; }
    // The "Please Wait" window shown while a connection is renamed.
    QWidget* waitWindow() const { return m_wait; }

private:
    // Discovers again and refills the list, or says why it cannot.
    void rediscover();

    Mode m_mode;
    TapCommands m_commands;
    std::optional<QString> m_chosen;

    QTreeWidget* m_list = nullptr;
    QAction* m_create = nullptr;
    QAction* m_rename = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    QWidget* m_wait = nullptr;
};
