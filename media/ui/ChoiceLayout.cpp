#include "media/ui/ChoiceLayout.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

QComboBox* BuildChoiceLayout(QDialog& dialog, const QString& groupTitle, const QString& groupName,
                             const QString& labelText, const QString& labelName,
                             const QString& listName, QVBoxLayout** groupLayout)
{
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox(groupTitle, &dialog);
    group->setObjectName(groupName);
    auto* inner = new QVBoxLayout(group);
    auto* label = new QLabel(labelText, group);
    label->setObjectName(labelName);
    auto* list = new QComboBox(group);
    list->setObjectName(listName);
    label->setBuddy(list);
    inner->addWidget(label);
    inner->addWidget(list);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (groupLayout)
        *groupLayout = inner;
    return list;
}
