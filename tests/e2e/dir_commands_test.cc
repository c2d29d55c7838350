// Directory commands: print-work-directory, change-directory and
// directory-listing at the three verbose levels, on trees whose modification
// times are fixed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/tempdir.h"

namespace {

// 2023-11-14 22:13:20 in UTC, the zone every test runs in.
constexpr time_t MTIME = 1700000000;
const std::string DATE = "2023-11-14 22:13:20 ";  // the 20-wide date column

std::string real(const std::string &path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? buffer : "";
}

// Sets the modification time of `path` itself (links are not followed).
void set_mtime(const std::string &path) {
    struct timespec times[2] = {{MTIME, 0}, {MTIME, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

off_t size_of(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The size column: right-aligned in 13 characters.
std::string col13(off_t n) {
    std::string s = std::to_string(n);
    return std::string(13 - s.size(), ' ') + s;
}

// A detail line of the listing.
std::string line(const std::string &tag, off_t size, const std::string &name) {
    std::string t = tag + std::string(6 - tag.size(), ' ');
    return DATE + "  " + t + "  " + col13(size) + "  " + name + "\n";
}

// The totals of one file of one byte and `dirs` directories, up to the free space.
std::string totals(int dirs) {
    return std::string(14, ' ') + "1 File " + std::string(4 + 17, ' ') + "1 Byte\n" +
           std::string(14, ' ') +
           (dirs == 1 ? "1 Directory  " : std::to_string(dirs) + " Directories");
}

// The free-space figure of the last totals line, or -1 when the line does
// not have the shape "<16 wide> MB Free".
long long free_mb_of(const std::string &out) {
    auto end = out.rfind(" MB Free\n");
    if (end == std::string::npos || end + 9 != out.size() || end < 16) return -1;
    std::string field = out.substr(end - 16, 16);
    auto digits = field.find_first_not_of(' ');
    if (digits == std::string::npos ||
        field.find_first_not_of("0123456789", digits) != std::string::npos)
        return -1;
    return std::atoll(field.c_str() + digits);
}

long long statvfs_mb(const std::string &path) {
    struct statvfs vfs;
    if (statvfs(path.c_str(), &vfs) != 0) return -1;
    return static_cast<long long>(static_cast<unsigned long long>(vfs.f_frsize) * vfs.f_bavail /
                                  1000000);
}

// A tree with one file of one byte, one directory and one link to the file:
//   <root>/top/{f, d/, l -> f}; every time fixed, the root's too (it is "..").
class Listing : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = real(dir_.path());
        top_ = root_ + "/top";
        ASSERT_EQ(mkdir(top_.c_str(), 0755), 0);
        dir_.write("top/f", "x");
        ASSERT_EQ(mkdir((top_ + "/d").c_str(), 0755), 0);
        ASSERT_EQ(symlink("f", (top_ + "/l").c_str()), 0);
        for (const char *p : {"/top/f", "/top/d", "/top/l", "/top", ""})
            set_mtime(root_ + p);
    }

    // The detail lines of top, in name order.
    std::string details() const {
        return line("<DIR>", size_of(top_), ".") + line("<DIR>", size_of(root_), "..") +
               line("<DIR>", size_of(top_ + "/d"), "d") + line("", 1, "f") +
               line("<LINK>", 1, "l -> f");
    }

    temp_dir dir_;
    std::string root_, top_;
};

TEST_F(Listing, Verbose0PrintsBareSortedNames) {
    process_result r = run_vossik({"directory-listing"}, "", top_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ".\n..\nd\nf\nl\n");
    EXPECT_EQ(r.err, "");

    // Byte order: "-" sorts before ".", capitals before small letters.
    ASSERT_EQ(mkdir((root_ + "/sorted").c_str(), 0755), 0);
    for (const char *name : {"b", "B", "-", "a."})
        dir_.write(std::string("sorted/") + name, "");
    r = run_vossik({"directory-listing", "sorted"}, "", root_);
    EXPECT_EQ(r.out, "-\n.\n..\nB\na.\nb\n");
}

TEST_F(Listing, Verbose1PrintsDetailLinesWithoutHeaderOrTotals) {
    process_result r = run_vossik({"-v", "directory-listing"}, "", top_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, details());
    EXPECT_EQ(r.err, "");

    // An empty path is the current directory too, not names under the root.
    r = run_vossik({"-v", "directory-listing", ""}, "", top_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, details());
}

TEST_F(Listing, Verbose2AddsHeaderAndTotals) {
    // Relative to the root, so the header shows the resolved path.
    process_result r = run_vossik({"-v", "-v", "directory-listing", "top"}, "", root_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string head = "Directory of " + top_ + "\n\n" + details() + "\n" + totals(3);
    ASSERT_EQ(r.out.substr(0, head.size()), head);

    // Free space changes as other programs write; compare loosely.
    long long shown = free_mb_of(r.out);
    long long now = statvfs_mb(top_);
    ASSERT_GT(now, 0);
    EXPECT_EQ(r.out.size(), head.size() + 16 + 9) << r.out;
    EXPECT_NEAR(static_cast<double>(shown), static_cast<double>(now), now / 20.0 + 10) << r.out;
}

TEST_F(Listing, SeveralPathsAreListedInTurnAndAMissingOneEndsTheCommand) {
    process_result r = run_vossik({"directory-listing", "top/d", "missing", "top"}, "", root_);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ".\n..\n") << "what was listed before the failure stays";
    EXPECT_EQ(r.err,
              "vossik directory-listing: Error: Opening directory: No such file or directory\n");
}

// Entries take their status from the textually resolved path. Listing
// S/T/.. opens Z (T is a link to Z/Y), but the names resolve under S, a
// link to Rd: "." is the link S itself, ".." the root, f is Rd/f and Y does
// not exist there. That leaves exactly one file, one byte, one directory.
TEST(ListingResolution, EntriesAreLookedUpTextuallyAndUnreadableOnesShowInDebug) {
    temp_dir dir;
    std::string root = real(dir.path());
    for (const char *d : {"/Rd", "/Z", "/Z/Y"})
        ASSERT_EQ(mkdir((root + d).c_str(), 0755), 0);
    dir.write("Rd/f", "x");
    dir.write("Z/f", "longer than one byte");
    ASSERT_EQ(symlink("../Z/Y", (root + "/Rd/T").c_str()), 0);
    ASSERT_EQ(symlink("Rd", (root + "/S").c_str()), 0);
    for (const char *p : {"/Rd/f", "/S", ""})
        set_mtime(root + p);

    std::string entries =
        line("<LINK>", 2, ". -> Rd") + line("<DIR>", size_of(root), "..") + line("", 1, "f");

    process_result r = run_vossik({"-vv", "directory-listing", "S/T/.."}, "", root);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string head = "Directory of " + root + "/S\n\n" + entries + "\n" + totals(1);
    EXPECT_EQ(r.out.substr(0, head.size()), head) << "Y is left out";

    r = run_vossik({"-D1", "-v", "directory-listing", "S/T/.."}, "", root);
    EXPECT_EQ(r.status, 0);
    std::string unreadable =
        std::string("?") + std::string(19, ' ') + "  ?       " + std::string(10, ' ') + "  Y\n";
    EXPECT_EQ(r.out, line("<LINK>", 2, ". -> Rd") + line("<DIR>", size_of(root), "..") +
                         unreadable + line("", 1, "f"));
}

// /proc reports no free blocks: the totals end without a free-space figure
// but still with their line break.
TEST(ListingResolution, NoFreeSpaceStillEndsTheTotalsLine) {
    struct statvfs vfs;
    if (statvfs("/proc/self", &vfs) != 0 || vfs.f_bavail != 0) GTEST_SKIP() << "no /proc";
    process_result r = run_vossik({"-vv", "directory-listing", "/proc/self"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 24), "Directory of /proc/self\n");
    EXPECT_TRUE(r.out.ends_with(" Directories\n")) << r.out;
}

// A current directory longer than the program's path buffers.
TEST(ListingResolution, PathsTooLongForTheBufferAreReported) {
    temp_dir dir;
    std::string deep = real(dir.path());
    while (deep.size() <= 2100)
        deep += "/" + std::string(200, 'n');
    std::filesystem::create_directories(deep);

    process_result r = run_vossik({"directory-listing"}, "", deep);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ".\n..\n") << "bare names need no full path";

    r = run_vossik({"-v", "directory-listing"}, "", deep);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "vossik directory-listing: Error: Unable to get full directory name: "
              "Numerical result out of range\n");

    r = run_vossik({"print-work-directory"}, "", deep);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik print-work-directory: Error: Getting current directory: "
              "Numerical result out of range\n");
}

// change-directory runs in one interactive session (standard input), so
// that print-work-directory shows where it went.
class ChangeDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = real(dir_.path());
        std::filesystem::create_directories(root_ + "/a/b");
    }
    process_result session(const std::string &lines, std::vector<std::string> env = {}) const {
        return run_process({vossik_binary(), {"vossik"}, lines, root_, std::move(env)});
    }
    temp_dir dir_;
    std::string root_;
};

TEST_F(ChangeDirectory, PrintWorkDirectoryShowsTheCurrentDirectory) {
    process_result r = run_vossik({"print-work-directory", "ignored"}, "", root_ + "/a");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, root_ + "/a\n");
}

TEST_F(ChangeDirectory, EachArgumentIsRelativeToThePreviousOne) {
    process_result r = session("change-directory a b\nprint-work-directory\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, root_ + "/a/b\n");
    EXPECT_EQ(r.err, "");

    r = session("change-directory -v a b\nprint-work-directory\n");
    EXPECT_EQ(r.out, "New current directory: " + root_ + "/a/b\n" + root_ + "/a/b\n");
}

TEST_F(ChangeDirectory, WithoutArgumentsGoesHome) {
    process_result r =
        session("change-directory\nprint-work-directory\n", {"HOME=" + root_ + "/a/b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, root_ + "/a/b\n");

    r = session("change-directory\nprint-work-directory\n", {"HOME"});
    EXPECT_EQ(r.out, root_ + "\n") << "stays where it was";
    EXPECT_EQ(r.err, "vossik change-directory: Error: $HOME not set\n");

    r = session("change-directory\nprint-work-directory\n", {"HOME=" + root_ + "/gone"});
    EXPECT_EQ(r.out, root_ + "\n");
    EXPECT_EQ(r.err,
              "vossik change-directory: Error: " + root_ + "/gone: No such file or directory\n");
}

TEST_F(ChangeDirectory, AMissingDirectoryStopsAfterTheChangesBeforeIt) {
    process_result r = session("change-directory -v a missing b\nprint-work-directory\n");
    EXPECT_EQ(r.out, root_ + "/a\n") << "no new-directory line after a failure";
    EXPECT_EQ(r.err, "vossik change-directory: Error: missing: No such file or directory\n");

    r = run_vossik({"change-directory", "missing"}, "", root_);
    EXPECT_EQ(r.status, 1);
}

}  // namespace
