// Lays out the build's program folder: what the program needs beside itself, made only where it is
// missing, and the host's QEMU linked afresh so it follows the packages installed since.

#include "app/ProgramFolderLayout.h"
#include "model/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vimor-layout PROGRAM-FOLDER\n");
        return 2;
    }
    const QString folder = QDir(args.at(1)).absolutePath();
    ProgramFolder::setPath(folder);
    QString error;
    if (!ProgramFolderLayout::layOut(folder, &error) ||
        !ProgramFolderLayout::linkHostQemu(folder + QStringLiteral("/qemu"),
                                           ProgramFolderLayout::Existing::Replace, &error)) {
        std::fprintf(stderr, "layout: %s\n", qUtf8Printable(error));
        return 1;
    }
    return 0;
}
