#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

// Every blocking interaction with the user goes through here: message boxes, file and folder
// choosers, the text-input box and running a modal dialog. The desktop implementation shows the
// real thing; a test installs a ScriptedInteraction that answers for the user and records what was
// shown.
class Interaction
{
public:
    enum class MessageKind
    {
        Error,
        Warning,
        Information,
        Confirmation,
        Choice // Yes, No and Cancel
    };
    enum class Answer
    {
        Ok,
        Yes,
        No,
        Cancel
    };

    struct FileRequest
    {
        QString title;
        QString folder;        // starting folder
        QString fileName;      // preset name
        QString filter;        // "Disk Images (*.img *.iso);;All Files (*)"; see pipeFilter()
        QString defaultSuffix; // added to a typed name without one ("img")
        bool confirmOverwrite = true; // save: ask before replacing an existing file
        QString selectedFilter;       // the filter entry chosen at the start; empty: the first
    };

    // A filter written as alternating descriptions and patterns, "Disk Images|*.qcow;*.raw|All
    // Files|*.*", in the chooser's own form; "*.*" matches every file.
    static QString pipeFilter(const QString& filter);

    virtual ~Interaction() = default;

    // Error, warning and information boxes show OK and answer Ok; a confirmation shows Yes and No.
    virtual Answer message(QWidget* parent, MessageKind kind, const QString& text,
                           const QString& title) = 0;
    virtual std::optional<QString> openFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual std::optional<QString> saveFileName(QWidget* parent, const FileRequest& request) = 0;
    virtual std::optional<QString> folder(QWidget* parent, const QString& title,
                                          const QString& startFolder) = 0;
    virtual std::optional<QString> text(QWidget* parent, const QString& title,
                                        const QString& prompt, const QString& preset) = 0;
    // A text box whose characters do not show; without a screen of its own, a text box.
    virtual std::optional<QString> password(QWidget* parent, const QString& title,
                                            const QString& prompt)
    {
        return text(parent, title, prompt, {});
    }
    // Runs the dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog& dialog) = 0;

    // The interaction in force; the desktop one unless a test installed another.
    static Interaction& current();
    // Installs an interaction for the rest of the run (or until the next install); null restores
    // the desktop one.
    static void install(std::unique_ptr<Interaction> interaction);

    // Shorthands used throughout the windows.
    static void error(QWidget* parent, const QString& text);
    static void warning(QWidget* parent, const QString& text);
    static void information(QWidget* parent, const QString& text);
    static bool confirm(QWidget* parent, const QString& text);
    // Yes, No, or Cancel when the box is closed.
    static Answer choose(QWidget* parent, const QString& text);
};

// Shows the real desktop dialogs.
class DesktopInteraction final : public Interaction
{
public:
    Answer message(QWidget* parent, MessageKind kind, const QString& text,
                   const QString& title) override;
    std::optional<QString> openFileName(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> folder(QWidget* parent, const QString& title,
                                  const QString& startFolder) override;
    std::optional<QString> text(QWidget* parent, const QString& title, const QString& prompt,
                                const QString& preset) override;
    std::optional<QString> password(QWidget* parent, const QString& title,
                                    const QString& prompt) override;
    int execDialog(QDialog& dialog) override;
};

// Answers from a script, in order, and records every interaction as one line of text, for tests.
// An interaction with no scripted answer left cancels (message boxes answer No for confirmations
// and Ok otherwise), and is recorded too.
class ScriptedInteraction final : public Interaction
{
public:
    struct Shown
    {
        QString kind; // "error", "warning", "information", "confirmation", "open", "save",
                      // "folder", "text", "password", "dialog"
        QString title;
        QString text;   // message text, text-box prompt, chooser start folder or dialog title
        QString preset; // the text box's preset, the chooser's preset file name
        QString filter; // the chooser's filter
    };

    // Scripted answers, consumed in order by whichever interaction comes next.
    void answerMessage(Answer answer);
    void answerText(std::optional<QString> value); // for text, password, open, save and folder
    // Called with the dialog while it is "shown"; returns its result.
    void answerDialog(std::function<int(QDialog&)> handler);

    const QList<Shown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    void clear();
    int pendingAnswers() const;

    Answer message(QWidget* parent, MessageKind kind, const QString& text,
                   const QString& title) override;
    std::optional<QString> openFileName(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> folder(QWidget* parent, const QString& title,
                                  const QString& startFolder) override;
    std::optional<QString> text(QWidget* parent, const QString& title, const QString& prompt,
                                const QString& preset) override;
    std::optional<QString> password(QWidget* parent, const QString& title,
                                    const QString& prompt) override;
    int execDialog(QDialog& dialog) override;

private:
    struct Step
    {
        enum class Kind
        {
            Message,
            Text,
            Dialog
        } kind;
        Answer answer = Answer::Ok;
        std::optional<QString> value;
        std::function<int(QDialog&)> dialog;
    };
    std::optional<Step> takeStep(Step::Kind kind, const QString& what);
    std::optional<QString> takeValue(const QString& kind, const QString& title, const QString& text,
                                     const QString& preset);

    QList<Step> m_steps;
    QList<Shown> m_shown;
};
