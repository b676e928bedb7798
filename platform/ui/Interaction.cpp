#include "platform/ui/Interaction.h"

#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

std::unique_ptr<Interaction>& installed()
{
    static std::unique_ptr<Interaction> interaction;
    return interaction;
}

QString defaultTitle(Interaction::MessageKind kind)
{
    switch (kind) {
    case Interaction::MessageKind::Error:
        return QStringLiteral("Error");
    case Interaction::MessageKind::Warning:
        return QStringLiteral("Warning");
    case Interaction::MessageKind::Information:
        return QStringLiteral("Information");
    case Interaction::MessageKind::Confirmation:
    case Interaction::MessageKind::Choice:
        return QStringLiteral("Confirm");
    }
    return {};
}

QString kindName(Interaction::MessageKind kind)
{
    switch (kind) {
    case Interaction::MessageKind::Error:
        return QStringLiteral("error");
    case Interaction::MessageKind::Warning:
        return QStringLiteral("warning");
    case Interaction::MessageKind::Information:
        return QStringLiteral("information");
    case Interaction::MessageKind::Confirmation:
        return QStringLiteral("confirmation");
    case Interaction::MessageKind::Choice:
        return QStringLiteral("choice");
    }
    return {};
}

std::optional<QString> nonEmpty(const QString& value)
{
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

QString Interaction::pipeFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        entries.append(parts.at(i) + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return entries.join(QLatin1String(";;"));
}

Interaction& Interaction::current()
{
    auto& interaction = installed();
    if (!interaction)
        interaction = std::make_unique<DesktopInteraction>();
    return *interaction;
}

void Interaction::install(std::unique_ptr<Interaction> interaction)
{
    installed() = std::move(interaction);
}

void Interaction::error(QWidget* parent, const QString& text)
{
    current().message(parent, MessageKind::Error, text, {});
}

void Interaction::warning(QWidget* parent, const QString& text)
{
    current().message(parent, MessageKind::Warning, text, {});
}

void Interaction::information(QWidget* parent, const QString& text)
{
    current().message(parent, MessageKind::Information, text, {});
}

bool Interaction::confirm(QWidget* parent, const QString& text)
{
    return current().message(parent, MessageKind::Confirmation, text, {}) == Answer::Yes;
}

Interaction::Answer Interaction::choose(QWidget* parent, const QString& text)
{
    return current().message(parent, MessageKind::Choice, text, {});
}

Interaction::Answer DesktopInteraction::message(QWidget* parent, MessageKind kind,
                                                const QString& text, const QString& title)
{
    // Messages carry file names, server texts and VM values: never read as markup.
    QMessageBox box(parent);
    box.setWindowTitle(title.isEmpty() ? defaultTitle(kind) : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (kind) {
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageKind::Choice:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return kind == MessageKind::Confirmation ? Answer::No : Answer::Ok;
    }
}

namespace {

std::optional<QString> runFileDialog(QWidget* parent, const Interaction::FileRequest& request,
                                     bool save)
{
    QFileDialog dialog(parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (save && !request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.selectedFilter.isEmpty())
        dialog.selectNameFilter(request.selectedFilter);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return nonEmpty(dialog.selectedFiles().constFirst());
}

} // namespace

std::optional<QString> DesktopInteraction::openFileName(QWidget* parent, const FileRequest& request)
{
    return runFileDialog(parent, request, false);
}

std::optional<QString> DesktopInteraction::saveFileName(QWidget* parent, const FileRequest& request)
{
    return runFileDialog(parent, request, true);
}

std::optional<QString> DesktopInteraction::folder(QWidget* parent, const QString& title,
                                                  const QString& startFolder)
{
    return nonEmpty(QFileDialog::getExistingDirectory(parent, title, startFolder));
}

std::optional<QString> DesktopInteraction::text(QWidget* parent, const QString& title,
                                                const QString& prompt, const QString& preset)
{
    bool ok = false;
    const QString value =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, preset, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QString> DesktopInteraction::password(QWidget* parent, const QString& title,
                                                    const QString& prompt)
{
    bool ok = false;
    const QString value =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

int DesktopInteraction::execDialog(QDialog& dialog)
{
    return dialog.exec();
}

void ScriptedInteraction::answerMessage(Answer answer)
{
    m_steps.append({Step::Kind::Message, answer, std::nullopt, {}});
}

void ScriptedInteraction::answerText(std::optional<QString> value)
{
    m_steps.append({Step::Kind::Text, Answer::Ok, std::move(value), {}});
}

void ScriptedInteraction::answerDialog(std::function<int(QDialog&)> handler)
{
    m_steps.append({Step::Kind::Dialog, Answer::Ok, std::nullopt, std::move(handler)});
}

QStringList ScriptedInteraction::shownTexts() const
{
    QStringList texts;
    for (const Shown& shown : m_shown)
        texts.append(shown.text);
    return texts;
}

void ScriptedInteraction::clear()
{
    m_steps.clear();
    m_shown.clear();
}

int ScriptedInteraction::pendingAnswers() const
{
    return int(m_steps.size());
}

std::optional<ScriptedInteraction::Step> ScriptedInteraction::takeStep(Step::Kind kind,
                                                                       const QString& what)
{
    if (m_steps.isEmpty())
        return std::nullopt;
    if (m_steps.first().kind != kind) {
        // A script out of step with the program: leave it for the test to notice.
        qWarning("ScriptedInteraction: %s came while another answer was scripted",
                 qUtf8Printable(what));
        return std::nullopt;
    }
    return m_steps.takeFirst();
}

Interaction::Answer ScriptedInteraction::message(QWidget*, MessageKind kind, const QString& text,
                                                 const QString& title)
{
    m_shown.append({kindName(kind), title.isEmpty() ? defaultTitle(kind) : title, text, {}, {}});
    const auto step = takeStep(Step::Kind::Message, text);
    if (step)
        return step->answer;
    if (kind == MessageKind::Choice)
        return Answer::Cancel;
    return kind == MessageKind::Confirmation ? Answer::No : Answer::Ok;
}

std::optional<QString> ScriptedInteraction::takeValue(const QString& kind, const QString& title,
                                                      const QString& text, const QString& preset)
{
    m_shown.append({kind, title, text, preset, {}});
    const auto step = takeStep(Step::Kind::Text, title);
    return step ? step->value : std::nullopt;
}

std::optional<QString> ScriptedInteraction::openFileName(QWidget*, const FileRequest& request)
{
    auto value = takeValue(QStringLiteral("open"), request.title, request.folder, request.fileName);
    m_shown.last().filter = request.filter;
    return value;
}

std::optional<QString> ScriptedInteraction::saveFileName(QWidget*, const FileRequest& request)
{
    auto value = takeValue(QStringLiteral("save"), request.title, request.folder, request.fileName);
    m_shown.last().filter = request.filter;
    return value;
}

std::optional<QString> ScriptedInteraction::folder(QWidget*, const QString& title,
                                                   const QString& startFolder)
{
    return takeValue(QStringLiteral("folder"), title, startFolder, {});
}

std::optional<QString> ScriptedInteraction::text(QWidget*, const QString& title,
                                                 const QString& prompt, const QString& preset)
{
    return takeValue(QStringLiteral("text"), title, prompt, preset);
}

std::optional<QString> ScriptedInteraction::password(QWidget*, const QString& title,
                                                     const QString& prompt)
{
    return takeValue(QStringLiteral("password"), title, prompt, {});
}

int ScriptedInteraction::execDialog(QDialog& dialog)
{
    m_shown.append({QStringLiteral("dialog"), dialog.windowTitle(), dialog.windowTitle(), {}, {}});
    const auto step = takeStep(Step::Kind::Dialog, dialog.windowTitle());
    if (step && step->dialog)
        return step->dialog(dialog);
    return QDialog::Rejected;
}
