#include "app/UserProgramFolder.h"
#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "platform/SingleInstance.h"
#include "platform/ui/ImageLibrary.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>

#include <cstdio>

namespace {

// Answers every question with its default and writes what it shows to standard error, for
// scripted runs where nobody watches the screen.
class UnattendedInteraction final : public Interaction
{
public:
    Answer message(QWidget*, MessageKind kind, const QString& text, const QString&) override
    {
        std::fprintf(stderr, "vimor: %s\n", qUtf8Printable(text));
        return kind == MessageKind::Confirmation ? Answer::No : Answer::Ok;
    }
    std::optional<QString> openFileName(QWidget*, const FileRequest&) override { return {}; }
    std::optional<QString> saveFileName(QWidget*, const FileRequest&) override { return {}; }
    std::optional<QString> folder(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QString> text(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    int execDialog(QDialog&) override { return 0; }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vimor"));
    // No display name: the X11 and Wayland back ends would append it to every window's title.
    // The main window's own title, "Vimor 7.0", is what the task bar shows.
    QApplication::setApplicationVersion(QStringLiteral("7.0"));
    // Minimising into the notification area hides the only window; that is no reason to end.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry's name ties the windows to it (and its icon) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("vimor"));
    // The window carries the small sizes; the large ones serve the desktop's menus, which take them
    // from the icon theme.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(
            ReadResourcePicture(QStringLiteral(":/icons/vimor-%1.bmp").arg(size), "BMP")));
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vimor - a desktop manager for QEMU "
                                                    "virtual machines"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(
        QStringLiteral("program-folder"),
        QStringLiteral("Run on the program folder <folder> instead of the executable's."),
        QStringLiteral("folder"));
    const QCommandLineOption unattendedOption(
        QStringLiteral("unattended"),
        QStringLiteral("Answer every question with its default and print messages to standard "
                       "error."));
    parser.addOption(folderOption);
    parser.addOption(unattendedOption);
    parser.process(app);

    if (parser.isSet(unattendedOption))
        Interaction::install(std::make_unique<UnattendedInteraction>());

    SingleInstance instance(QStringLiteral("vimor"));
    QString refusal;
    switch (instance.acquire(&refusal)) {
    case SingleInstance::Result::Registered:
        break;
    case SingleInstance::Result::AlreadyRunning:
        Interaction::information(nullptr, QStringLiteral("Vimor is already running!"));
        return 0;
    case SingleInstance::Result::Refused:
        // Another user could hold the lock there, or have planted a link in its place.
        Interaction::error(nullptr,
                           QStringLiteral("Vimor cannot start: its lock is not safe. %1. Remove it "
                                          "or set XDG_RUNTIME_DIR to a folder of your own.")
                               .arg(refusal));
        return 1;
    }

    QString folder = parser.isSet(folderOption) ? parser.value(folderOption) : QString();
    if (folder.isEmpty()) {
        QString error;
        const auto chosen =
            UserProgramFolder::choose(QCoreApplication::applicationDirPath(), &error);
        if (!chosen) {
            Interaction::error(nullptr,
                               QStringLiteral("Vimor cannot lay out its folder: %1").arg(error));
            return 1;
        }
        folder = *chosen;
    }
    ProgramFolder::setPath(QDir(folder).absolutePath());

    int result = 0;
    {
        TMain window;
        QObject::connect(&window, &TMain::closed, &app, &QCoreApplication::quit);
        if (window.startSettings().maximized)
            window.showMaximized();
        else
            window.show();
        result = QApplication::exec();
    }
    return result;
}
