// One libFuzzer target: the entry named by VIMOR_FUZZ_ENTRY, fed each input the fuzzer makes.

#include "fuzz/FuzzEntries.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A folder of this process's own for the files the entry writes; in memory where the host has
// /dev/shm, since the entries write a file for every input.
const QString& scratchFolder()
{
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                    ? QStringLiteral("/dev/shm/vimor-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/vimor-fuzz-XXXXXX"));
    static const QString path = folder.path();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const FuzzEntry* const entry = FindFuzzEntry(VIMOR_FUZZ_ENTRY);
    if (!entry || scratchFolder().isEmpty()) {
        std::fprintf(stderr, "fuzz: no entry \"%s\" or no scratch folder\n", VIMOR_FUZZ_ENTRY);
        std::abort();
    }
    entry->run(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)),
               scratchFolder());
    return 0;
}
