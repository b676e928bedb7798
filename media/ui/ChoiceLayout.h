#pragma once

#include <QString>

class QComboBox;
class QDialog;
class QVBoxLayout;

// The layout the drive windows share: a titled group holding a label and a drop-down list, then
// OK and Cancel. The group's layout is returned through groupLayout so a window can add to it.
QComboBox* BuildChoiceLayout(QDialog& dialog, const QString& groupTitle, const QString& groupName,
                             const QString& labelText, const QString& labelName,
                             const QString& listName, QVBoxLayout** groupLayout = nullptr);
