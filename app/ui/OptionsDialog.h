#pragma once

#include "app/ui/UserOptions.h"

#include <QDialog>

class QCheckBox;

// The dialog "Options": the five user preferences.
class OptionsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsDialog)

public:
    explicit OptionsDialog(QWidget* parent = nullptr);

    void start(const UserOptions& options);
    UserOptions options() const;

    // The menu command "Vimor Options": presets the boxes, and on OK writes the settings file and
    // the in-memory values. False when the user cancelled.
    bool ShowOptions(StartSettings& settings);

    QCheckBox* updatesBox() const { return m_updates; }
    QCheckBox* maximizedBox() const { return m_maximized; }
    QCheckBox* rememberTabsBox() const { return m_rememberTabs; }
    QCheckBox* dockBox() const { return m_dock; }
    QCheckBox* stopServicesBox() const { return m_stopServices; }

private:
    QCheckBox* m_updates = nullptr;
    QCheckBox* m_maximized = nullptr;
    QCheckBox* m_rememberTabs = nullptr;
    QCheckBox* m_dock = nullptr;
    QCheckBox* m_stopServices = nullptr;
};
