#pragma once

#include "model/HardwareCatalogue.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;

// A frame with a label over a drop-down list: the keyboard, affinity, audio library, KQEMU and
// priority editors each have one, with their own texts.
class AdvancedChoiceDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvancedChoiceDialog)

public:
    AdvancedChoiceDialog(const QString& title, const QString& frame, const QString& label,
                         QWidget* parent = nullptr);

    // Replaces the rows; nothing is selected afterwards.
    void setItems(const QStringList& items);
    // Rows that carry their identifier hidden beside the display text.
    void setChoices(const ChoiceList& rows);
    // -1 selects nothing.
    void select(int position);
    int selectedPosition() const;
    QString selectedText() const;
    // The hidden identifier of the selected row; empty with none.
    QString selectedId() const;
    QComboBox* list() const { return m_list; }
    QString label() const;
    void setLabel(const QString& text);
    void setFrameTitle(const QString& text);

private:
    QGroupBox* m_group = nullptr;
    QLabel* m_label = nullptr;
    QComboBox* m_list = nullptr;
};
