// Feeds every file of the folders given to one parser's fuzz entry, so that an input that once
// broke the parser keeps being tried in the normal build: fuzz_replay NAME FOLDER...

#include "fuzz/FuzzEntries.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    const FuzzEntry* entry = argc >= 3 ? FindFuzzEntry(argv[1]) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "usage: fuzz_replay NAME FOLDER... (NAME: a fuzz entry)\n");
        return 2;
    }
    const QTemporaryDir scratch;
    int replayed = 0;
    for (int i = 2; i < argc; ++i) {
        const QDir folder(QString::fromLocal8Bit(argv[i]));
        for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            QFile input(info.filePath());
            if (!scratch.isValid() || !input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(info.filePath()));
                return 1;
            }
            // Named before it runs: an input that breaks a rule aborts the replay.
            std::printf("%s\n", qPrintable(info.filePath()));
            std::fflush(stdout);
            entry->run(input.readAll(), scratch.path());
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
