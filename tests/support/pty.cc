// Pseudo-terminal sessions for tests of the interactive mode.
#include "support/pty.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

// Only guards against a hung program; no test depends on it.
constexpr auto hang_limit = std::chrono::seconds(60);

}  // namespace

pty_process::pty_process(std::vector<std::string> argv, const std::string &cwd,
                         std::vector<std::string> env, const std::string &program) {
    std::string path = program.empty() ? VOSSIK_BINARY : program;
    if (argv.empty()) argv.push_back("vossik");
    winsize ws{};
    ws.ws_row = 24;
    ws.ws_col = 80;
    pid_ = forkpty(&fd_, nullptr, nullptr, &ws);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        setenv("TERM", "dumb", 1);
        for (const auto &e : env) {
            auto eq = e.find('=');
            if (eq != std::string::npos) setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
        }
        std::vector<char *> args;
        for (auto &a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execv(path.c_str(), args.data());
        _exit(127);
    }
}

pty_process::~pty_process() {
    if (!ended_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
}

void pty_process::send(const std::string &keys) {
    size_t done = 0;
    while (done < keys.size()) {
        ssize_t w = write(fd_, keys.data() + done, keys.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return;
        }
        done += static_cast<size_t>(w);
    }
}

// Reads what is available within timeout_ms; false at the end of output.
bool pty_process::read_some(int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r < 0) return errno == EINTR;
    if (r == 0) return true;
    char buf[4096];
    ssize_t got = read(fd_, buf, sizeof buf);
    if (got > 0) {
        output_.append(buf, static_cast<size_t>(got));
        return true;
    }
    if (got < 0 && errno == EINTR) return true;
    return false;  // EIO on Linux once the child has closed the terminal
}

bool pty_process::wait_for(const std::string &text) {
    auto deadline = std::chrono::steady_clock::now() + hang_limit;
    for (;;) {
        auto at = output_.find(text, mark_);
        if (at != std::string::npos) {
            mark_ = at + text.size();
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!read_some(200)) {
            at = output_.find(text, mark_);
            if (at == std::string::npos) return false;
            mark_ = at + text.size();
            return true;
        }
    }
}

int pty_process::wait_exit() {
    if (ended_) return status_;
    auto deadline = std::chrono::steady_clock::now() + hang_limit;
    while (read_some(200)) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
    }
    int wstatus = 0;
    while (waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
    if (WIFEXITED(wstatus)) {
        status_ = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        status_ = 128 + WTERMSIG(wstatus);
    }
    return status_;
}
