#pragma once

#include "model/HardwareCatalogue.h"

#include <QDialog>

class QComboBox;

// A card of a choice list, as the "Sound Devices" and "Video Adapter" dialogs offer it: the
// display texts shown, the identifier following the selected row.
class DeviceChoiceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceChoiceDialog)

public:
    DeviceChoiceDialog(const QString& title, const QString& prompt, QWidget* parent = nullptr);

    // Fills the list and selects the row (-1: none).
    void load(const ChoiceList& list, int row);
    const ChoiceList& choices() const { return m_choices; }
    int row() const;
    QComboBox* list() const { return m_list; }

private:
    ChoiceList m_choices;
    QComboBox* m_list = nullptr;
};
