#include "settings/ui/LastRunWindow.h"

#include "platform/ui/Interaction.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

LastRunWindow::LastRunWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Last Run"));
    resize(560, 300);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Last Run"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_text = new QPlainTextEdit(group);
    m_text->setReadOnly(true);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    groupLayout->addWidget(m_text);
    m_notes = new QLabel(group);
    m_notes->setWordWrap(true);
    m_notes->setTextFormat(Qt::PlainText);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notes->hide();
    groupLayout->addWidget(m_notes);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_copy = buttons->addButton(QStringLiteral("Copy To Clipboard"), QDialogButtonBox::ActionRole);
    m_copy->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_copy, &QPushButton::clicked, this, &LastRunWindow::CopyToClipboardClick);
    layout->addWidget(buttons);
}

void LastRunWindow::setText(const QString& text)
{
    m_text->setPlainText(text);
}

QString LastRunWindow::text() const
{
    return m_text->toPlainText();
}

void LastRunWindow::setNotes(const QStringList& notes)
{
    m_notes->setText(notes.join(QLatin1Char('\n')));
    m_notes->setVisible(!notes.isEmpty());
}

QString LastRunWindow::notes() const
{
    return m_notes->text();
}

void LastRunWindow::CopyToClipboardClick()
{
    // The whole text shows selected while it is copied, and the selection goes again after.
    m_text->selectAll();
    QGuiApplication::clipboard()->setText(m_text->toPlainText());
    QTextCursor cursor = m_text->textCursor();
    cursor.clearSelection();
    m_text->setTextCursor(cursor);
    Interaction::information(this, QStringLiteral("Copy Complete"));
}
