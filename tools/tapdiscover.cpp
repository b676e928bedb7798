// Lists the host's TAP interfaces for the adapters window. Called as
//   tapdiscover TAP <list file>
// it writes one line per TAP interface, "interface|TAP virtual adapter|bridge" ("none" when the
// interface is in no bridge), sorted by name, and exits with 1 once the file is written. Any other
// exit code means no list was made.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr unsigned long TapFlag = 0x0002; // IFF_TAP in the interface's tun_flags
constexpr int Written = 1;
constexpr int Failed = 2;

std::string firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool isTap(const fs::path& interfaceFolder)
{
    const std::string flags = firstLine(interfaceFolder / "tun_flags");
    if (flags.empty())
        return false; // not a tun/tap interface at all
    try {
        return (std::stoul(flags, nullptr, 0) & TapFlag) != 0;
    } catch (const std::exception&) {
        return false;
    }
}

// The bridge the interface is enslaved to, or "none". "master" names any master device (a bond
// too), so a bridge port's own link is preferred.
std::string bridgeOf(const fs::path& interfaceFolder)
{
    std::error_code error;
    for (const fs::path& link :
         {interfaceFolder / "brport" / "bridge", interfaceFolder / "master"}) {
        const fs::path target = fs::read_symlink(link, error);
        if (!error && !target.filename().empty())
            return target.filename().string();
    }
    return "none";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "TAP") != 0) {
        std::fprintf(stderr, "usage: tapdiscover TAP <list file>\n");
        return Failed;
    }

    std::vector<std::string> lines;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/sys/class/net", error)) {
        const fs::path folder = entry.path();
        if (!isTap(folder))
            continue;
        lines.push_back(folder.filename().string() + "|TAP virtual adapter|" + bridgeOf(folder));
    }
    if (error) {
        std::fprintf(stderr, "tapdiscover: cannot list /sys/class/net: %s\n",
                     error.message().c_str());
        return Failed;
    }
    std::sort(lines.begin(), lines.end());

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        out << line << '\n';
    out.close();
    if (!out) {
        std::fprintf(stderr, "tapdiscover: cannot write %s\n", argv[2]);
        return Failed;
    }
    return Written;
}
