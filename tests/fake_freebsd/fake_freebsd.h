// fake_freebsd: the in-memory FreeBSD behind tests/fake_freebsd/sys/acl.h and
// sys/extattr.h. Tests set up files with ACLs and extended attributes, run
// the FreeBSD backend over them, and then look at what it stored, at the
// calls it made (in order), and at the objects it left unreleased. Any call
// can be made to fail with a chosen errno. fchdir(2) and getdents(2) are the
// fake's too: fchdir moves between the directories of open_dir(), getdents
// reads real directories.
#pragma once

#include <sys/acl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake_freebsd {

// Forgets every file, recorded call, planned failure and unreleased object.
void reset();

// Creates or replaces the file `path` with the NFSv4 ACL `acl`. A file with
// `nfs4` false lives on a file system without NFSv4 ACLs (EOPNOTSUPP).
void add_file(const std::string &path, std::vector<acl_entry> acl = {}, bool nfs4 = true);

// Creates or replaces `path` as a symbolic link to `target`. Links have no
// ACL of their own (EOPNOTSUPP) but may carry extended attributes.
void add_link(const std::string &path, const std::string &target);

// A directory descriptor for the fake's fchdir(2): a number that no real
// descriptor has, standing for the directory `path`. While the fake's
// current directory is such a directory, relative paths are looked up
// below it; fchdir to any other descriptor (a real one) returns to the
// process's own directory, where paths are taken as given.
int open_dir(const std::string &path);

// The fake's current directory: "" for the process's own, else the path
// given to open_dir for the descriptor fchdir went to.
const std::string &cwd();

// The ACL stored for `path` itself (empty when there is no such file).
std::vector<acl_entry> acl_of(const std::string &path);

// Sets or reads the extended attribute `name` of namespace `ns` of `path`
// itself, bypassing the calls.
void set_attr(const std::string &path, int ns, const std::string &name, const std::string &value);
std::optional<std::string> attr_of(const std::string &path, int ns, const std::string &name);

// Makes the `nth` coming call of `function` (1: the next one) fail with `err`.
void fail(const std::string &function, int err, int nth = 1);

// Runs `action` when the `nth` coming call of `function` begins, before the
// call looks at anything (to change the files under a running caller).
void before(const std::string &function, int nth, std::function<void()> action);

// The calls made since the last reset, one line each: the function name and
// its telling arguments ("acl_get_entry 1", "acl_set_file /f 4", ...).
const std::vector<std::string> &calls();

// Forgets the calls recorded so far.
void clear_calls();

// The recorded calls whose function name is one of `functions`, in order.
std::vector<std::string> calls_of(const std::vector<std::string> &functions);

// ACLs and qualifiers handed out and not yet given to acl_free.
int live_objects();

// acl_free calls with something that was not a live object.
int bad_frees();

}  // namespace fake_freebsd
