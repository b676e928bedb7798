#include "settings/ui/YesNoDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

YesNoDialog::YesNoDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(this);
    auto* frameLayout = new QVBoxLayout(frame);
    m_question = new QLabel(frame);
    m_list = new QComboBox(frame);
    m_list->addItems({QStringLiteral("Yes"), QStringLiteral("No")});
    frameLayout->addWidget(m_question);
    frameLayout->addWidget(m_list);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void YesNoDialog::setQuestion(const QString& question)
{
    m_question->setText(question);
}

QString YesNoDialog::question() const
{
    return m_question->text();
}

void YesNoDialog::preset(const QString& value)
{
    m_list->setCurrentIndex(value == QStringLiteral("Yes") ? 0 : 1);
}

QString YesNoDialog::answer() const
{
    return m_list->currentText();
}
