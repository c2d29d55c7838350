// Directory commands.
#include "commands/dir_commands.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "fs/path.h"
#include "util/escape.h"
#include "util/nomem.h"
#include "util/strutil.h"
#include "util/strvec.h"

namespace {

constexpr size_t LINK_TARGET_MAX = 2048;
constexpr size_t DATE_MAX = 256;
constexpr uint64_t NAMES_INITIAL = 1024;

struct totals_t {
    uint32_t files = 0;
    uint32_t directories = 0;
    uint64_t bytes = 0;
};

// The target of the link at `path`, or "?" when it cannot be read. A target
// longer than the usual buffer is still shown whole: lstat told its length.
std::vector<char> link_target(const char *path, const struct stat &st) {
    std::vector<char> target;
    bool read = or_enomem(false, [&] {
        size_t size = std::max(LINK_TARGET_MAX, static_cast<size_t>(st.st_size) + 1);
        target.resize(size);
        ssize_t n = readlink(path, target.data(), size - 1);
        if (n < 0) return false;
        target[static_cast<size_t>(n)] = '\0';
        return true;
    });
    if (read) return target;
    target.assign({'?', '\0'});
    return target;
}

// One detail line for `name` (as shown), whose status is `st` (at
// `resolved`).
void print_entry(const char *name, const char *resolved, const struct stat &st, totals_t *totals) {
    char date[DATE_MAX];
    time_t mtime = st.st_mtime;
    struct tm tm_buf;
    if (localtime_r(&mtime, &tm_buf) == nullptr ||
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &tm_buf) == 0)
        std::strcpy(date, "?");
    auto size = static_cast<unsigned long long>(st.st_size);

    const char *tag;
    switch (st.st_mode & S_IFMT) {
        case S_IFREG:
            std::printf("%-20s  %-6s  %13llu  %s\n", date, "", size, name);
            ++totals->files;
            totals->bytes += size;
            return;
        case S_IFDIR:
            std::printf("%-20s  %-6s  %13llu  %s\n", date, "<DIR>", size, name);
            ++totals->directories;
            return;
        case S_IFLNK: {
            std::printf("%-20s  %-6s  %13llu  %s -> %s\n", date, "<LINK>", size, name,
                        shown_name(link_target(resolved, st).data()).c_str());
            return;
        }
        case S_IFIFO:
            tag = "<FIFO>";
            break;
        case S_IFCHR:
            tag = "<CHR>";
            break;
        case S_IFBLK:
            tag = "<BLK>";
            break;
        case S_IFSOCK:
            tag = "<SOCK>";
            break;
        default:
            tag = "<?>";
            break;
    }
    std::printf("%-20s  %-6s  %13s  %s\n", date, tag, "", name);
}

void print_totals(const char *path, const totals_t &totals) {
    struct statvfs vfs;
    unsigned long long free_mb = 0;
    if (fs_statvfs(path, &vfs) == 0)
        free_mb = static_cast<unsigned long long>(vfs.f_frsize) * vfs.f_bavail / 1000000;
    std::printf("\n%15u File%s    %18llu Byte%s\n", totals.files, totals.files == 1 ? " " : "s",
                static_cast<unsigned long long>(totals.bytes), totals.bytes == 1 ? "" : "s");
    std::printf("%15u Director%s", totals.directories, totals.directories == 1 ? "y  " : "ies");
    if (free_mb != 0) {
        std::printf("%16llu MB Free\n", free_mb);
    } else {
        std::putchar('\n');
    }
}

// Lists one directory; a null or empty path is the current directory.
void list_directory(const char *path) {
    // "" would make the entries "/<name>", names under the root.
    if (path != nullptr && *path == '\0') path = nullptr;
    strvec_ptr names;
    {
        fs_dir_ptr dir(fs_opendir(path ? path : "."));
        if (!dir) report(1, errno, "Opening directory");
        names = strvec_new(NAMES_INITIAL);
        if (!names) report(1, ENOMEM, "Memory allocation failure");
        for (;;) {
            cancel_point();
            errno = 0;
            struct dirent *entry = fs_readdir(dir.get());
            if (entry == nullptr) {
                // An error must not pass for the end of a shorter directory.
                if (errno != 0) report(1, errno, "Reading directory");
                break;
            }
            if (strvec_add(names.get(), entry->d_name) < 0)
                report(1, ENOMEM, "Memory allocation failure");
        }
    }
    std::sort(names->items.get(), names->items.get() + names->count,
              [](const str_ptr &a, const str_ptr &b) { return std::strcmp(a.get(), b.get()) < 0; });

    char full[FS_PATH_MAX];
    if (config.verbose >= 2) {
        if (fs_fullpath(path, full, sizeof full) == nullptr)
            report(1, errno, "Unable to get full directory name");
        std::printf("Directory of %s\n\n", shown_name(full).c_str());
    }

    totals_t totals;
    for (uint64_t i = 0; i < names->count; ++i) {
        cancel_point();
        const char *name = names->items[i].get();
        shown_name shown(name);
        if (config.verbose == 0) {
            std::printf("%s\n", shown.c_str());
            continue;
        }
        str_ptr entry = path ? str_concat({path, "/", name}) : str_dup(name);
        if (!entry) report(1, ENOMEM, "Memory allocation failure");
        if (fs_fullpath(entry.get(), full, sizeof full) == nullptr)
            report(1, errno, "Unable to get full directory name");
        struct stat st;
        if (fs_lstat(full, &st) != 0) {
            if (config.debug != 0)
                std::printf("%-20s  %-6s  %10s  %s\n", "?", "?", "", shown.c_str());
            continue;
        }
        print_entry(shown.c_str(), full, st, &totals);
    }
    names.reset();

    if (config.verbose >= 2) print_totals(path, totals);
}

// Prints `lead` and the current directory on a line.
void print_current_directory(const char *lead) {
    char buffer[FS_PATH_MAX];
    if (fs_fullpath(".", buffer, sizeof buffer) == nullptr)
        report(1, errno, "Getting current directory");
    std::printf("%s%s\n", lead, shown_name(buffer).c_str());
}

}  // namespace

int cmd_print_work_directory(int, char **) {
    print_current_directory("");
    return 0;
}

int cmd_change_directory(int argc, char **argv) {
    if (argc < 2) {
        const char *home = std::getenv("HOME");
        if (home == nullptr) report(1, 0, "%s", "$HOME not set");
        if (fs_chdir(home) != 0) report(1, errno, "%s", shown_name(home).c_str());
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        if (fs_chdir(argv[i]) != 0) report(1, errno, "%s", shown_name(argv[i]).c_str());
    }
    if (config.verbose != 0) print_current_directory("New current directory: ");
    return 0;
}

int cmd_directory_listing(int argc, char **argv) {
    if (argc < 2) {
        list_directory(nullptr);
        return 0;
    }
    for (int i = 1; i < argc; ++i)
        list_directory(argv[i]);
    return 0;
}
