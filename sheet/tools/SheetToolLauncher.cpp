// sheet-tool as the user calls it: starts the half of the tool the command needs and nothing
// else. `render` runs sheet-tool-render, which loads the GUI libraries to draw; every other
// command runs sheet-tool-engine, which does not. Loading either half's libraries only to
// hand over to the other cost more than a whole `set`, so this program loads none: it only
// finds the command word. Both halves read the whole command line again and tell its
// mistakes; should this one read it otherwise, the engine hands `render` on itself.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// The first argument that is neither an option nor the value of --sheet or --size, as the
// halves' command-line parser reads it.
const char* commandWord(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            return i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg[0] != '-' || arg[1] == '\0')
            return arg;
        if (std::strcmp(arg, "--sheet") == 0 || std::strcmp(arg, "--size") == 0 || std::strcmp(arg, "--chart") == 0)
            ++i;
    }
    return nullptr;
}

// The folder of this program (no libraries, not even C++'s own: they cost time to load).
bool ownFolder(char (&folder)[PATH_MAX])
{
    const ssize_t n = ::readlink("/proc/self/exe", folder, sizeof folder - 1);
    if (n <= 0)
        return false;
    folder[n] = '\0';
    char* slash = std::strrchr(folder, '/');
    if (!slash)
        return false;
    *slash = '\0';
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const char* command = commandWord(argc, argv);
    const char* half = command && std::strcmp(command, "render") == 0 ? "sheet-tool-render" : "sheet-tool-engine";
    char folder[PATH_MAX];
    if (!ownFolder(folder)) {
        std::fprintf(stderr, "sheet-tool: cannot find its own folder to start %s: %s\n", half, std::strerror(errno));
        return 1;
    }
    // Beside this program in the build tree, in the library folder once installed.
    const char* const subfolders[] = {"", "/" SHEET_TOOL_LIBEXEC};
    for (const char* subfolder : subfolders) {
        char candidate[PATH_MAX];
        if (std::snprintf(candidate, sizeof candidate, "%s%s/%s", folder, subfolder, half)
                >= static_cast<int>(sizeof candidate)
            || ::access(candidate, X_OK) != 0)
            continue;
        ::execv(candidate, argv);
        std::fprintf(stderr, "sheet-tool: cannot start %s: %s\n", candidate, std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "sheet-tool: %s is not installed beside %s\n", half, folder);
    return 1;
}
