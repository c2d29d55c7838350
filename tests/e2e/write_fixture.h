// Shared fixture of the end-to-end tests of the ACL-writing commands: a
// temporary directory to run in, immutable files to make writes fail, and
// the order in which a directory hands out its entries.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acl_on_disk.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace write_test {

// Sets or clears the immutable attribute (chattr +i / -i). False when the
// file system has no such attribute.
inline bool set_immutable(const std::string &path, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

// Makes a file immutable for its lifetime, so that even root cannot write
// its attributes; the flag is cleared again before the directory is removed.
class immutable {
  public:
    explicit immutable(std::string path)
        : path_(std::move(path)), on_(set_immutable(path_, true)) {}
    ~immutable() {
        if (on_) set_immutable(path_, false);
    }
    immutable(const immutable &) = delete;
    immutable &operator=(const immutable &) = delete;
    bool on() const { return on_; }

  private:
    std::string path_;
    bool on_;
};

// The entry names of a directory, in the order readdir gives them ("." and
// ".." left out): the order in which a walk visits them.
inline std::vector<std::string> directory_order(const std::string &path) {
    std::vector<std::string> names;
    DIR *dir = opendir(path.c_str());
    if (!dir) return names;
    while (struct dirent *e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

class WriteTest : public ::testing::Test {
  protected:
    // Runs vossik in the temporary directory.
    process_result run(const std::vector<std::string> &args, const std::string &input = "") {
        return run_vossik(args, input, dir.path());
    }
    // Runs vossik there under a wrapper program (its path, then its
    // arguments), e.g. setpriv or prlimit. vossik runs under its full path,
    // which prefixes its messages.
    process_result run_under(const std::vector<std::string> &wrapper,
                             const std::vector<std::string> &args) {
        process_spec spec;
        spec.program = wrapper.front();
        spec.argv = wrapper;
        spec.argv.push_back(vossik_binary());
        spec.argv.insert(spec.argv.end(), args.begin(), args.end());
        spec.cwd = dir.path();
        return run_process(spec);
    }
    // Runs vossik there as the unprivileged user alice (uid and gid 1000).
    process_result run_as_alice(const std::vector<std::string> &args) {
        return run_under({"/usr/bin/setpriv", "--reuid=1000", "--regid=1000", "--clear-groups"},
                         args);
    }
    // A new regular file of the given mode.
    std::string file(const std::string &name, mode_t mode = 0644) {
        std::string path = dir.write(name, "");
        chmod(path.c_str(), mode);
        return path;
    }
    std::string directory(const std::string &name, mode_t mode = 0755) {
        std::string path = dir.file(name);
        mkdir(path.c_str(), mode);
        chmod(path.c_str(), mode);
        return path;
    }
    std::string symlink_to(const std::string &name, const std::string &target) {
        std::string path = dir.file(name);
        if (symlink(target.c_str(), path.c_str()) != 0) ADD_FAILURE() << "symlink " << path;
        return path;
    }
    // The ACL stored for `name`, in the notation of acl_on_disk.h.
    std::string acl(const std::string &name) { return acl_disk::get(dir.file(name)); }
    void put(const std::string &name, const std::string &text, uint32_t acl_flags = 0) {
        acl_disk::set(dir.file(name), text, acl_flags);
    }

    temp_dir dir;
};

// Trivial ACLs of the modes the tests use, as the program writes them.
inline const std::string TRIVIAL_644 =
    "owner@:rwpaARWcCos::allow,group@:raRcs::allow,everyone@:raRcs::allow";
inline const std::string TRIVIAL_750 =
    "owner@:rwxpaARWcCos::allow,group@:rxaRcs::allow,everyone@:aRcs::allow";

}  // namespace write_test
