// Keeps rewriting a VM definition file until it is killed, so a test can kill it part way through
// a write and check what is left. Values carry their own length ("<n>:" and n copies of a letter)
// so a torn write shows up as a value that does not match its length.

#include "model/IniFile.h"

#include <QString>

#include <cstdio>

namespace {

QString selfCheckingValue(int length, quint64 round)
{
    return QString::number(length) + QLatin1Char(':') +
           QString(length, QChar(u'a' + static_cast<char16_t>(round % 26)));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: iniwriter FILE\n");
        return 2;
    }
    const IniFile ini(QString::fromLocal8Bit(argv[1]));
    for (quint64 round = 0;; ++round) {
        // Lengths jump up and down so the file keeps growing and shrinking.
        const int length = static_cast<int>((round * 7919) % 24000);
        QString error;
        bool ok = ini.write(QStringLiteral("General"), QStringLiteral("LaunchString"),
                            selfCheckingValue(length, round), &error);
        ok = ok && ini.write(QStringLiteral("Hardware"), QStringLiteral("RAM"),
                             QString::number(round), &error);
        if (round % 3 == 0) {
            ok = ok && ini.write(QStringLiteral("Network Card 2"), QStringLiteral("Redirectors"),
                                 selfCheckingValue(length / 2, round), &error);
        } else if (round % 3 == 1) {
            ok = ok && ini.deleteKey(QStringLiteral("Hardware"), QStringLiteral("PromEnv"), &error);
        } else {
            ok = ok && ini.eraseSection(QStringLiteral("Network Card 2"), &error) &&
                 ini.write(QStringLiteral("Hardware"), QStringLiteral("PromEnv"),
                           selfCheckingValue(length / 3, round), &error);
        }
        if (!ok) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        if (round == 0) {
            // Tells the test that writing is under way.
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}
