// Child processes for end-to-end tests.
#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// Only guards against a hung child; no test depends on it.
constexpr auto hang_limit = std::chrono::minutes(3);

struct fd_pair {
    int fd[2] = {-1, -1};
    fd_pair() {
        if (pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    }
    ~fd_pair() { close_both(); }
    void close_end(int i) {
        if (fd[i] >= 0) close(fd[i]);
        fd[i] = -1;
    }
    void close_both() {
        close_end(0);
        close_end(1);
    }
};

[[noreturn]] void child(const process_spec &spec, fd_pair &in, fd_pair &out, fd_pair &err) {
    if (dup2(in.fd[0], 0) < 0 || dup2(out.fd[1], 1) < 0 || dup2(err.fd[1], 2) < 0) _exit(126);
    if (!spec.cwd.empty() && chdir(spec.cwd.c_str()) != 0) _exit(126);
    for (const auto &e : spec.env) {
        auto eq = e.find('=');
        if (eq == std::string::npos) {
            unsetenv(e.c_str());
        } else {
            setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
        }
    }
    std::vector<char *> argv;
    for (const auto &a : spec.argv)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(spec.program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

process_result run_process(const process_spec &spec) {
    fd_pair in, out, err;
    // A child that stops reading its input must not kill the test.
    signal(SIGPIPE, SIG_IGN);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) child(spec, in, out, err);

    in.close_end(0);
    out.close_end(1);
    err.close_end(1);
    fcntl(in.fd[1], F_SETFL, O_NONBLOCK);

    process_result result;
    size_t written = 0;
    if (spec.input.empty()) in.close_end(1);

    auto deadline = std::chrono::steady_clock::now() + hang_limit;
    bool killed = false;
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3];
        int n = 0;
        int idx_in = -1, idx_out = -1, idx_err = -1;
        if (in.fd[1] >= 0) {
            idx_in = n;
            fds[n++] = {in.fd[1], POLLOUT, 0};
        }
        if (out.fd[0] >= 0) {
            idx_out = n;
            fds[n++] = {out.fd[0], POLLIN, 0};
        }
        if (err.fd[0] >= 0) {
            idx_err = n;
            fds[n++] = {err.fd[0], POLLIN, 0};
        }
        int r = poll(fds, n, 1000);
        if (r < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (r <= 0) continue;
        if (idx_in >= 0 && fds[idx_in].revents) {
            ssize_t w = write(in.fd[1], spec.input.data() + written, spec.input.size() - written);
            if (w > 0) written += static_cast<size_t>(w);
            if (w < 0 && errno != EAGAIN) written = spec.input.size();
            if (written == spec.input.size()) in.close_end(1);
        }
        auto drain = [](fd_pair &p, short revents, std::string &into) {
            if (!revents) return;
            char buf[4096];
            ssize_t got = read(p.fd[0], buf, sizeof buf);
            if (got > 0) {
                into.append(buf, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                p.close_end(0);
            }
        };
        if (idx_out >= 0) drain(out, fds[idx_out].revents, result.out);
        if (idx_err >= 0) drain(err, fds[idx_err].revents, result.err);
    }
    in.close_end(1);

    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(wstatus)) {
        result.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        result.status = 128 + WTERMSIG(wstatus);
    }
    return result;
}

const char *vossik_binary() {
    return VOSSIK_BINARY;
}
const char *vossik_fixtures() {
    return VOSSIK_FIXTURES;
}

process_result run_vossik(const std::vector<std::string> &args, const std::string &input,
                          const std::string &cwd) {
    return run_vossik_as("vossik", args, input, cwd);
}

process_result run_vossik_as(const std::string &argv0, const std::vector<std::string> &args,
                             const std::string &input, const std::string &cwd) {
    process_spec spec;
    spec.program = VOSSIK_BINARY;
    spec.argv.push_back(argv0);
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.input = input;
    spec.cwd = cwd;
    return run_process(spec);
}
