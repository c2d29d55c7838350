#include "commands/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "commands/walk_seam.h"
#include "fs/acl_io.h"
#include "fs/path.h"
#include "platform/os_dir.h"
#include "util/escape.h"
#include "util/nomem.h"
#include "util/ordered_window.h"
#include "util/wait_gauge.h"

walk_seam_t walk_seam = nullptr;

struct walk_ahead {
    bool fetched = false;  // `acl` holds what was fetched of the object's ACL
    bool taken = false;    // get_object_acl() has used it
    gacl_fetched acl;
};

namespace {

// Read-ahead: entries in the window at most (with threads; without, one at
// a time, as they are handed over), and threads at most.
constexpr size_t WINDOW = 256;
constexpr unsigned MAX_THREADS = 64;
constexpr unsigned THREADS_PER_CPU = 8;
// Directories of the current branch whose descriptors stay open; above
// them descriptors are closed and reopened when the walk comes back.
constexpr size_t OPEN_LEVELS = 64;
// Subdirectories the read-ahead holds open (with their status and ACL)
// until their visit, at most; fewer under a low descriptor limit.
constexpr unsigned HELD_DIRS = 32;

// One entry of the directory being read, in the read-ahead's window.
struct entry_job {
    int dirfd = -1;
    std::string name;
    unsigned char type = DT_UNKNOWN;  // what the directory says
    bool fetch_acl = false;           // the ACL too, when the entry passes `types`
    bool open_dir = false;            // a subdirectory the walk will enter: opened ahead
    uint16_t types = 0;
    uint64_t serial = 0;  // objects handed to the command before it entered the window
};

struct entry_result {
    int status_error = 0;  // errno of the status call, 0 when taken
    struct stat st {};
    walk_ahead ahead;
    fs_fd dir = fs_fd();  // a subdirectory opened ahead, described by `st`
};

// What a worker does for one entry: system calls through the directory's
// descriptor, nothing shared. A subdirectory is opened and described by its
// descriptor, as its visit would (and its ACL read through it); when that
// fails, or it is not to be opened, its visit does everything.
void fetch_entry(const entry_job &job, entry_result &r) {
    r.ahead.fetched = false;
    r.ahead.taken = false;
    r.dir.reset();
    if (job.type == DT_DIR) {
        if (!job.open_dir) return;
        r.dir.reset(fs_open_dir_status_at(job.dirfd, job.name.c_str(), &r.st));
        if (!r.dir || !job.fetch_acl || !file_type_passes(r.st.st_mode, job.types)) return;
        fs_acl_fetch_at_np(r.dir.get(), ".", &r.st, &r.ahead.acl);
        r.ahead.fetched = true;
        return;
    }
    r.status_error = fs_lstat_at(job.dirfd, job.name.c_str(), &r.st) == 0 ? 0 : errno;
    if (r.status_error != 0 || !job.fetch_acl) return;
    if (S_ISDIR(r.st.st_mode) || S_ISLNK(r.st.st_mode) ||
        !file_type_passes(r.st.st_mode, job.types))
        return;
    fs_acl_fetch_at_np(job.dirfd, job.name.c_str(), &r.st, &r.ahead.acl);
    r.ahead.fetched = true;
}

using entry_window = ordered_window<entry_job, entry_result>;

// The read-ahead of one command's walk. Threads only for a command that
// reads the ACLs, a store that can be read from several threads, and no test
// seam (whose moments are those of a walk that does everything in turn).
// Asked for with -j N, they start at the first directory read. By default
// they start only once the walk's own status calls show that most of them
// wait (a network file system, a cold disk): where the answers come from
// memory, handing entries to other threads costs more than it saves.
class read_ahead {
  public:
    explicit read_ahead(walk_prefetch prefetch) : prefetch_(prefetch) {}

    entry_window &window() {
        if (!window_) {
            if (prefetch_ == walk_prefetch::acl && walk_seam == nullptr &&
                gacl_fetch_concurrent_np())
                threads_ = walk_read_ahead_threads();
            window_ = std::make_unique<entry_window>(0, threads_ > 0 ? WINDOW : 1, fetch_entry);
            if (threads_ > 0) held_dirs_ = dirs_to_hold();
            if (threads_ > 0 && config.jobs > 1) start();
        }
        return *window_;
    }

    // Subdirectories the workers may hold open ahead of their visit.
    unsigned held_dirs() const { return held_dirs_; }

    // Whether the workers fetch the ACLs too (with no workers the command
    // reads each one itself, at its turn).
    bool fetch_acls() const { return prefetch_ == walk_prefetch::acl && window_->threaded(); }

    // Whether the walk's next status call of a non-directory is to be timed
    // for sample(): one in SAMPLE_EVERY while the threads wait to be
    // started.
    bool timing() { return threads_ > 0 && !window_->threaded() && ++untimed_ % SAMPLE_EVERY == 0; }

    // One timed status call: the threads start once most of the last
    // SAMPLES ones waited.
    void sample(std::chrono::steady_clock::duration took) {
        if (waits_.sample(took)) start();
    }

  private:
    static constexpr unsigned SAMPLE_EVERY = 32, SAMPLES = 16;
    // A status call that took this long waited for a disk or a server.
    static constexpr std::chrono::microseconds SLOW{50};

    // Descriptors held ahead come out of what the walk needs for itself:
    // the open levels of its branch, a batch of closed ones and a few the
    // program holds anyway. A quarter of the rest at most.
    static unsigned dirs_to_hold() {
        constexpr rlim_t OWN = OPEN_LEVELS + fs_fd_batch::SIZE + 16;
        struct rlimit limit {};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return HELD_DIRS;
        const rlim_t spare = limit.rlim_cur > OWN ? (limit.rlim_cur - OWN) / 4 : 0;
        return static_cast<unsigned>(std::min<rlim_t>(spare, HELD_DIRS));
    }

    void start() {
        try {
            window_->start(threads_);
        } catch (const std::system_error &) {
            // No threads to be had: the walk does everything itself.
        }
        threads_ = 0;  // asked once
    }

    walk_prefetch prefetch_;
    unsigned threads_ = 0;  // threads to start, 0 once started or never
    unsigned untimed_ = 0;
    unsigned held_dirs_ = 0;
    wait_gauge waits_{SLOW, SAMPLES};
    std::unique_ptr<entry_window> window_;
};

// Empties the window however a directory's reading ends, before its
// descriptor can be closed: no worker may use it after that.
struct window_emptier {
    entry_window &window;
    ~window_emptier() { window.clear(); }
};

// A subdirectory waiting for its visit; opened ahead when `fd` is set, with
// its status and, when fetched, its ACL.
struct pending_dir {
    std::string name;
    fs_fd fd;
    struct stat st {};
    std::unique_ptr<walk_ahead> ahead;
};

// One directory of the current branch.
struct level {
    fs_fd fd;       // the directory; closed when above the open levels
    dev_t dev = 0;  // its identity, to check a reopened descriptor
    ino_t ino = 0;
    size_t path_length;             // its path as walked: the first characters of the branch path
    unsigned depth;                 // its own depth
    std::vector<pending_dir> dirs;  // subdirectories to visit, in directory order
    size_t next = 0;
};

bool is_dot_or_dotdot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

void seam(walk_moment moment, const std::string &path) {
    if (walk_seam != nullptr) walk_seam(moment, path.c_str());
}

class walker {
  public:
    walker(walk_callback_t callback, void *context, int max_depth, uint16_t types,
           read_ahead *ahead)
        : callback_(callback),
          context_(context),
          max_depth_(max_depth),
          types_(types),
          keep_going_(config.keep_going != 0),
          ahead_(ahead) {}

    // The walk below one named path. The branch is kept on an explicit
    // stack, so deep trees cost heap, not call stack. True when everything
    // went well.
    bool run(const char *path) {
        path_ = path;
        walk_object named = walk_object{AT_FDCWD, path, path, {}, 0};
        if (fs_lstat(path, &named.st) != 0) {
            fail(path);
            return false;
        }
        process(named, false);
        if (descends(named.st, 0)) enter(AT_FDCWD, path, named.st, 0);
        while (!branch_.empty()) {
            level &top = branch_.back();
            if (top.next == top.dirs.size()) {
                leave();
                continue;
            }
            if (!top.fd) {
                // Its descriptor was closed and it could not be reached
                // again: the subdirectories it still holds are out of reach.
                for (size_t i = top.next; i < top.dirs.size(); ++i)
                    if (top.dirs[i].fd) --held_;
                top.next = top.dirs.size();
                path_.resize(top.path_length);
                errno = lost_;
                fail(path_.c_str());
                continue;
            }
            // Moved out: visiting may grow the branch under `top`.
            pending_dir next = std::move(top.dirs[top.next++]);
            visit_directory(top.fd.get(), next, top.path_length, top.depth + 1);
        }
        return !failed_;
    }

    // The path of the object being worked on, for a failure the walk
    // cannot place more precisely.
    const std::string &current_path() const { return path_; }

  private:
    // Fetching: the status of `name` in the directory `dirfd`, taken
    // without following a link, into a new object at `depth`. The path as
    // walked is the branch path as it stands. False (reported) on failure.
    // `announce`: the seam has not been told of this status yet.
    bool fetch(int dirfd, const char *name, unsigned depth, walk_object *object,
               bool announce = true) {
        if (announce) seam(walk_moment::before_status, path_);
        *object = walk_object{dirfd, name, path_.c_str(), {}, depth};
        if (fs_lstat_at(dirfd, name, &object->st) != 0) {
            fail(path_.c_str());
            return false;
        }
        seam(walk_moment::before_visit, path_);
        return true;
    }

    // Processing: hands an object that passes the type filter to the
    // callback. `in_directory`: a non-directory met while its directory is
    // read, for which any non-zero result is a failure.
    void process(const walk_object &object, bool in_directory) {
        cancel_point();
        if (!file_type_passes(object.st.st_mode, types_)) return;
        int result;
        try {
            result = callback_(&object, context_);
        } catch (const command_abandoned &) {
            // The callback has reported the failure itself; Ctrl-C ends
            // the walk all the same.
            if (!keep_going_ || cancel_requested()) throw;
            failed_ = true;
            return;
        }
        if (result < 0 || (in_directory && result != 0)) fail(object.path);
    }

    // Directories are opened unless they stand at the depth limit.
    bool descends(const struct stat &st, unsigned depth) const {
        return S_ISDIR(st.st_mode) && static_cast<long long>(depth) != max_depth_;
    }

    // A subdirectory whose turn has come: `name` in the directory `dirfd`,
    // whose path is the first `parent_length` characters of the branch
    // path. Its status is taken anew: what it is now is what it is handled
    // as. One the walk will enter is opened first and is from then on
    // reached through its own descriptor (as "." in it): its status, its
    // ACL and its entries are that directory's whatever takes its name
    // meanwhile, and it costs one status call.
    // One the read-ahead opened is taken as it was opened.
    void visit_directory(int dirfd, pending_dir &pending, size_t parent_length, unsigned depth) {
        const char *name = pending.name.c_str();
        path_.resize(parent_length);
        path_ += '/';
        path_ += name;
        walk_object object{};
        fs_fd opened;
        const bool enters = static_cast<long long>(depth) != max_depth_;
        if (pending.fd) {
            --held_;
            opened = std::move(pending.fd);
            object = walk_object{opened.get(), ".",   path_.c_str(),
                                 pending.st,   depth, pending.ahead.get()};
        } else if (enters) {
            seam(walk_moment::before_status, path_);
            object = walk_object{-1, ".", path_.c_str(), {}, depth};
            opened.reset(fs_open_dir_status_at(dirfd, name, &object.st));
            if (!opened && errno == EMFILE && done_.flush())
                opened.reset(fs_open_dir_status_at(dirfd, name, &object.st));
            object.dirfd = opened.get();
            if (opened) seam(walk_moment::before_visit, path_);
        }
        // Not opened (a link or a file now, unreadable, gone, out of
        // descriptors): its status as it stands; entering it says why not.
        if (!opened && !fetch(dirfd, name, depth, &object, !enters)) return;
        process(object, false);
        if (opened)
            enter_opened(std::move(opened), object.st, depth);
        else if (descends(object.st, depth))
            enter(dirfd, name, object.st, depth);
    }

    // Opens the directory `name` of `dirfd` (the one `st` describes, at
    // `depth`, whose path is the branch path) and enters it.
    void enter(int dirfd, const char *name, const struct stat &st, unsigned depth) {
        fs_fd fd(fs_open_dir_at(dirfd, name, st));
        // Below a descriptor limit smaller than the cap, the branch gives
        // one of its own back.
        if (!fd && errno == EMFILE && (done_.flush() || close_shallowest()))
            fd.reset(fs_open_dir_at(dirfd, name, st));
        if (!fd) return fail(path_.c_str());
        enter_opened(std::move(fd), st, depth);
    }

    // Enters the directory open as `fd`: reads it to its end, visits its
    // non-directories and puts it on the branch with its subdirectories.
    // The stream is closed before the subdirectories are walked.
    void enter_opened(fs_fd fd, const struct stat &st, unsigned depth) {
        level dir;
        dir.fd = std::move(fd);
        dir.dev = st.st_dev;
        dir.ino = st.st_ino;
        dir.path_length = path_.size();
        dir.depth = depth;
        read_entries(dir);
        path_.resize(dir.path_length);
        if (dir.dirs.empty()) return done_.give(std::move(dir.fd));
        branch_.push_back(std::move(dir));
        if (++open_ > OPEN_LEVELS) close_shallowest();
    }

    // Closes the descriptor of the shallowest level that has one, except
    // the top's, which the walk is working in; leave() reopens it on the
    // way back. False when there is none to close.
    bool close_shallowest() {
        if (open_ < 2) return false;
        while (!branch_[first_open_].fd)
            ++first_open_;
        if (first_open_ + 1 >= branch_.size()) return false;
        branch_[first_open_++].fd.reset();
        --open_;
        return true;
    }

    // Reads the directory's entries and hands its non-directories to the
    // command in directory order; subdirectories are kept for later. The
    // window holds the entries read but not yet handed over; workers, when
    // there are any, fetch them meanwhile.
    void read_entries(level &dir) {
        entry_window &window = ahead_->window();
        window_emptier emptier{window};
        const bool fetch_acls = ahead_->fetch_acls();
        const bool enters_below = static_cast<long long>(dir.depth) + 1 != max_depth_;
        os_dir_reader entries(dir.fd.get());
        bool listed = false;
        int list_error = 0;
        for (;;) {
            cancel_point();
            // Refilled when half empty, so that sleeping workers are woken
            // once for many entries.
            if (!listed && window.size() <= window.capacity() / 2) {
                while (!window.full()) {
                    const char *name = nullptr;
                    unsigned char type = DT_UNKNOWN;
                    int got = entries.next(&name, &type);
                    if (got <= 0) {
                        listed = true;
                        if (got < 0) list_error = errno;
                        break;
                    }
                    if (is_dot_or_dotdot(name)) continue;
                    const bool open_dir =
                        type == DT_DIR && fetch_acls && enters_below && held_ < ahead_->held_dirs();
                    if (open_dir) ++held_;
                    window.push(
                        entry_job{dir.fd.get(), name, type, fetch_acls, open_dir, types_, handed_});
                }
                window.wake();
            }
            if (window.empty()) break;
            hand_over(dir, window);
            window.pop();
        }
        if (list_error != 0) {
            path_.resize(dir.path_length);
            errno = list_error;
            fail(path_.c_str());
        }
    }

    // The entry at the front of the window: a subdirectory is kept for
    // later, anything else handed to the command with its status (and the
    // ACL fetched ahead, if any).
    void hand_over(level &dir, entry_window &window) {
        const entry_job &job = window.front_job();
        path_.resize(dir.path_length);
        path_ += '/';
        path_ += job.name;
        // The type the directory tells saves a status call now; the visit
        // takes the status, or the read-ahead has opened it.
        if (job.type == DT_DIR) {
            pending_dir pending{job.name, fs_fd(), {}, nullptr};
            if (job.open_dir) {
                entry_result &r = window.front();
                if (r.dir) {
                    pending.fd = std::move(r.dir);
                    pending.st = r.st;
                    if (r.ahead.fetched)
                        pending.ahead = std::make_unique<walk_ahead>(std::move(r.ahead));
                } else {
                    --held_;
                }
            }
            dir.dirs.push_back(std::move(pending));
            return;
        }
        seam(walk_moment::before_status, path_);
        const bool timed = ahead_->timing();
        const auto started =
            timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{};
        entry_result &r = window.front();
        if (timed) ahead_->sample(std::chrono::steady_clock::now() - started);
        if (r.status_error == 0 && handled_again(job, r.st)) {
            // Fetched before the command worked on the same object under
            // another name: what it holds now is what counts.
            r.status_error = fs_lstat_at(job.dirfd, job.name.c_str(), &r.st) == 0 ? 0 : errno;
            r.ahead.fetched = false;
        }
        if (r.status_error != 0) {
            errno = r.status_error;
            fail(path_.c_str());
            return;
        }
        seam(walk_moment::before_visit, path_);
        if (S_ISDIR(r.st.st_mode)) {
            dir.dirs.push_back(pending_dir{job.name, fs_fd(), {}, nullptr});
            return;
        }
        walk_object object{dir.fd.get(), job.name.c_str(), path_.c_str(),
                           r.st,         dir.depth + 1,    r.ahead.fetched ? &r.ahead : nullptr};
        linked_[handed_ % WINDOW] =
            r.st.st_nlink > 1 ? std::pair{r.st.st_dev, r.st.st_ino} : std::pair<dev_t, ino_t>{};
        ++handed_;
        process(object, true);
    }

    // True when an object of status `st`, fetched ahead as `job`, has been
    // handed to the command since under another name (only objects with
    // more than one name can be).
    bool handled_again(const entry_job &job, const struct stat &st) const {
        if (st.st_nlink < 2 || job.serial == handed_) return false;
        for (uint64_t i = std::max(job.serial, handed_ > WINDOW ? handed_ - WINDOW : 0);
             i < handed_; i++) {
            const auto &[dev, ino] = linked_[i % WINDOW];
            if (dev == st.st_dev && ino == st.st_ino) return true;
        }
        return false;
    }

    // Done with the directory on top of the branch: the one below it
    // becomes the top. When its descriptor was closed it is reopened
    // through "..", checked to be the same directory; when that fails
    // (the tree was changed under the walk) it stays closed, and so do the
    // ones below it, which the main loop reports only if they still have
    // subdirectories to visit.
    void leave() {
        level &top = branch_.back();
        const size_t below = branch_.size() - 1;
        if (below > 0 && !branch_[below - 1].fd && top.fd) {
            level &parent = branch_[below - 1];
            struct stat expected {};
            expected.st_dev = parent.dev;
            expected.st_ino = parent.ino;
            parent.fd.reset(fs_open_dir_at(top.fd.get(), "..", expected));
            if (parent.fd) {
                ++open_;
                if (first_open_ > below - 1) first_open_ = below - 1;
            } else {
                lost_ = errno;
            }
        }
        if (top.fd) --open_;
        done_.give(std::move(top.fd));
        branch_.pop_back();
        if (first_open_ > branch_.size()) first_open_ = branch_.size();
    }

    // A failure of the object at `path`, errno telling why: it ends the
    // command, or under keep-going is reported and the walk goes on.
    void fail(const char *path) {
        int err = errno;
        if (!keep_going_) report(1, err, "%s: Accessing", shown_name(path).c_str());
        failed_ = true;
        report_on(current_name_get(), 1, err, "%s: Accessing", shown_name(path).c_str());
    }

    walk_callback_t callback_;
    void *context_;
    long long max_depth_;
    uint16_t types_;
    bool keep_going_;
    bool failed_ = false;
    std::string path_;           // the path of the object being worked on
    std::vector<level> branch_;  // directories with subdirectories still to visit
    size_t open_ = 0;            // levels of the branch with an open descriptor
    size_t first_open_ = 0;      // no level below this one has an open descriptor
    int lost_ = 0;               // why a closed level could not be reopened
    fs_fd_batch done_;           // directories done with, closed together
    unsigned held_ = 0;          // subdirectories opened ahead and not yet visited
    read_ahead *ahead_;
    uint64_t handed_ = 0;  // non-directories handed to the command from a directory's window
    // Device and inode of the last ones with more than one name, by number.
    std::pair<dev_t, ino_t> linked_[WINDOW] = {};
};

}  // namespace

bool file_type_passes(mode_t mode, uint16_t types) {
    return types == 0 || (mode & types) != 0;
}

namespace {

// walk_path with the read-ahead of the command's walk.
int walk_one(const char *path, walk_callback_t callback, void *context, int max_depth,
             uint16_t types, read_ahead *ahead) {
    // An empty path is the current directory; joining entries to "" would
    // name entries of the root instead.
    if (path == nullptr || *path == '\0') path = ".";
    walker w(callback, context, max_depth, types, ahead);
    int result = or_enomem(-1, [&] { return w.run(path) ? 0 : 1; });
    if (result < 0) {
        const std::string &current = w.current_path();
        report(1, errno, "%s: Accessing",
               shown_name(current.empty() ? path : current.c_str()).c_str());
    }
    return result;
}

}  // namespace

unsigned walk_read_ahead_threads() {
    int jobs = config.jobs;
    if (jobs == 1) return 0;
    if (jobs <= 0) {
        // They start only once status calls wait (see read_ahead), and
        // threads that wait for a server or a disk cost no CPU: several per
        // CPU keep that many requests under way (measured with slow_fs in
        // bench/run.sh: 4.8 times faster at 16 threads than at 1 on
        // directories of 20 files at 200 us per round trip; 2 gave 2.4).
        jobs =
            static_cast<int>(std::max(1u, std::thread::hardware_concurrency()) * THREADS_PER_CPU);
    }
    return std::min(static_cast<unsigned>(jobs), MAX_THREADS);
}

int walk_path(const char *path, walk_callback_t callback, void *context, int max_depth,
              uint16_t types, walk_prefetch prefetch) {
    read_ahead ahead(prefetch);
    return walk_one(path, callback, context, max_depth, types, &ahead);
}

int walk_paths(int count, char *const *paths, walk_callback_t callback, void *context,
               walk_prefetch prefetch) {
    if (count <= 0) return 0;
    int max_depth = config.recurse != 0 ? -1 : config.max_depth;
    auto types = static_cast<uint16_t>(config.types & 0xFFFF);
    read_ahead ahead(prefetch);  // one for all the paths: threads are started once
    bool failed = false;
    for (int i = 0; i < count; i++) {
        if (walk_one(paths[i], callback, context, max_depth, types, &ahead) != 0) failed = true;
    }
    // Under keep-going each failure has been reported as it came; the
    // status is what scripts go by.
    if (failed) throw command_abandoned{1};
    return 0;
}

walk_object walk_named_object(const char *path, const struct stat &st) {
    return walk_object{AT_FDCWD, path, path, st, 0};
}

int get_object_acl(const walk_object *object, gacl_t *acl) {
    gacl_t read;
    if (object->ahead != nullptr && !object->ahead->taken) {
        // Once: a later read (after a write, say) asks the system again.
        object->ahead->taken = true;
        read = fs_acl_get_fetched_np(&object->ahead->acl, GACL_TYPE_NFS4, &object->st);
    } else {
        read = fs_acl_get_at_np(object->dirfd, object->name, GACL_TYPE_NFS4, &object->st);
    }
    if (read == nullptr) return S_ISLNK(object->st.st_mode) && errno == EOPNOTSUPP ? 0 : -1;
    *acl = read;
    return 1;
}

gacl_ptr read_object_acl(const walk_object *object) {
    gacl_t acl = nullptr;
    int got = get_object_acl(object, &acl);
    if (got < 0) report(1, errno, "%s: Getting ACL", shown_name(object->path).c_str());
    return gacl_ptr(got > 0 ? acl : nullptr);
}

int get_path_acl(const char *path, const struct stat *st, gacl_t *acl) {
    struct stat own;
    if (st == nullptr) {
        if (fs_lstat(path, &own) != 0) return -1;
        st = &own;
    }
    walk_object object = walk_named_object(path, *st);
    return get_object_acl(&object, acl);
}

gacl_ptr read_path_acl(const char *path, const struct stat *st) {
    gacl_t acl = nullptr;
    int got = get_path_acl(path, st, &acl);
    if (got < 0) report(1, errno, "%s: Getting ACL", shown_name(path).c_str());
    return gacl_ptr(got > 0 ? acl : nullptr);
}

const char *mode_string(mode_t mode) {
    static char text[11];
    static constexpr char type_chars[] = "pc?d?b?-?l?s?w";
    unsigned code = (mode & S_IFMT) >> 12;
    text[0] = code >= 1 && code <= 14 ? type_chars[code - 1] : '?';
    // Per triplet: the read, write and execute bits, the special bit shown
    // over the execute place, and its letter.
    struct triplet {
        mode_t r, w, x, special;
        char letter;
    };
    static constexpr triplet triplets[] = {
        {S_IRUSR, S_IWUSR, S_IXUSR, S_ISUID, 's'},
        {S_IRGRP, S_IWGRP, S_IXGRP, S_ISGID, 's'},
        {S_IROTH, S_IWOTH, S_IXOTH, S_ISVTX, 't'},
    };
    char *p = text + 1;
    for (const triplet &t : triplets) {
        *p++ = mode & t.r ? 'r' : '-';
        *p++ = mode & t.w ? 'w' : '-';
        if (mode & t.special)
            *p++ = mode & t.x ? t.letter : static_cast<char>(t.letter - 'a' + 'A');
        else
            *p++ = mode & t.x ? 'x' : '-';
    }
    *p = '\0';
    return text;
}

const char *file_type_name(unsigned type_code) {
    switch (type_code) {
        case 1:
            return "fifo";
        case 2:
            return "char-device";
        case 4:
            return "directory";
        case 6:
            return "block-device";
        case 8:
            return "file";
        case 10:
            return "link";
        case 12:
            return "socket";
        case 14:
            return "whiteout";
        default:
            return "unknown";
    }
}
