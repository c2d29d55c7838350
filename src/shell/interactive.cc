// Interactive loop.
#include "shell/interactive.h"

#include <fcntl.h>
#include <readline/history.h>
#include <readline/readline.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#if defined(__GLIBC__)
#include <stdio_ext.h>
#endif

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "shell/builtins.h"
#include "shell/output.h"
#include "shell/registry.h"
#include "shell/shell.h"
#include "util/escape.h"
#include "util/strutil.h"
#include "util/tokenizer.h"

namespace {

// Drops whatever stdio has buffered from standard input.
void purge_stdin() {
#if defined(__GLIBC__)
    __fpurge(stdin);
#else
    fpurge(stdin);
#endif
    std::clearerr(stdin);
}

// A descriptor closed when it goes out of scope.
class owned_fd {
  public:
    explicit owned_fd(int fd) : fd_(fd) {}
    owned_fd(const owned_fd &) = delete;
    owned_fd &operator=(const owned_fd &) = delete;
    ~owned_fd() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }
    void release() { fd_ = -1; }

  private:
    int fd_;
};

// The ">" and "<" redirections of one line. The original descriptors are
// kept and put back when the line is done (also when its command was
// abandoned), so a script read from standard input goes on where it was and
// later output goes where it went before.
class redirections {
  public:
    redirections() = default;
    redirections(const redirections &) = delete;
    redirections &operator=(const redirections &) = delete;

    ~redirections() {
        if (out_.active) {
            std::fflush(stdout);
            out_.restore(STDOUT_FILENO);
        }
        if (in_.active) {
            purge_stdin();
            in_.restore(STDIN_FILENO);
        }
    }

    void output(const std::string &name) {
        std::fflush(stdout);
        redirect(name, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO, out_, "%s: Redirecting output");
    }

    void input(const std::string &name) {
        redirect(name, O_RDONLY, STDIN_FILENO, in_, "%s: Redirecting input");
        purge_stdin();
    }

  private:
    // What a redirected descriptor was before the line: a copy of it, or -1
    // when it was closed (it is closed again afterwards).
    struct original {
        bool active = false;
        int copy = -1;

        void restore(int target) const {
            if (copy < 0) {
                close(target);
                return;
            }
            if (dup2(copy, target) < 0) std::_Exit(1);
            close(copy);
        }
    };

    static void redirect(const std::string &name, int flags, int target, original &saved,
                         const char *message) {
        // The original is kept before the file is opened: when it is closed,
        // the file takes its number.
        saved.copy = fcntl(target, F_DUPFD_CLOEXEC, 10);
        if (saved.copy < 0 && errno != EBADF)
            report(1, errno, message, shown_name(name.c_str()).c_str());
        saved.active = true;
        owned_fd fd(open(name.c_str(), flags | O_CLOEXEC, 0666));
        if (fd.get() < 0) report(1, errno, message, shown_name(name.c_str()).c_str());
        if (fd.get() == target) {
            // Already in place (the original was closed). Shell escapes must
            // inherit it, so it loses close-on-exec; the restore closes it.
            fcntl(target, F_SETFD, 0);
            fd.release();
            return;
        }
        if (dup2(fd.get(), target) < 0) report(1, errno, message, shown_name(name.c_str()).c_str());
    }

    original out_;
    original in_;
};

// The file name after a redirection sign: up to white space, the end, or
// the other sign.
std::string redirect_name(const std::string &text, size_t sign) {
    size_t end = sign + 1;
    while (end < text.size() && !str_is_space(static_cast<unsigned char>(text[end])) &&
           text[end] != '<' && text[end] != '>')
        ++end;
    return text.substr(sign + 1, end - sign - 1);
}

// The exit code of a shell escape: the command's own code, 128 + signal
// when it was killed, 1 when it could not be run.
int escape_status(int wait_status) {
    if (wait_status == -1) return 1;
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 1;
}

const char *prompt_for(int status) {
    return status == 0 ? "> " : status < 0 ? "? " : "! ";
}

struct free_deleter {
    void operator()(char *p) const { std::free(p); }
};

// One line from a standard input that is not a terminal, read a byte at a
// time so that nothing beyond the line is taken from it (a command on a
// later line may redirect or read it). No prompt, no echo.
std::optional<std::string> read_plain_line() {
    std::string line;
    char c;
    for (;;) {
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n') return line;
        line += c;
    }
}

// Readline calls this while it waits for keys (about ten times a second):
// after Ctrl-C (which readline has passed on to the cancel handler and
// echoed as ^C) the line being typed ends, and the loop drops it.
int end_line_on_interrupt() {
    if (cancel_requested()) rl_done = 1;
    return 0;
}

}  // namespace

int process_line(const char *line, int status) {
    const char *p = line;
    while (*p && str_is_space(static_cast<unsigned char>(*p)))
        ++p;
    std::string text(p);

    // A comment is nothing at all, even when it holds a '>' or '<'.
    if (!text.empty() && text[0] == '#') return status;

    try {
        size_t out_sign = text.rfind('>');
        size_t in_sign = text.rfind('<');
        std::string out_name, in_name;
        if (out_sign != std::string::npos) out_name = redirect_name(text, out_sign);
        if (in_sign != std::string::npos) in_name = redirect_name(text, in_sign);
        text.resize(std::min(std::min(out_sign, in_sign), text.size()));

        redirections redirected;
        if (!out_name.empty()) redirected.output(out_name);
        if (!in_name.empty()) redirected.input(in_name);

        if (!text.empty() && text[0] == '!') {
            std::fflush(stdout);
            status = escape_status(std::system(text.c_str() + 1));
        } else {
            argv_t words;
            if (argv_split(text.c_str(), nullptr, nullptr, &words) > 0) {
                status = run_command(words.count(), words.argv());
            }
        }
    } catch (const command_abandoned &abandoned) {
        status = abandoned.status;
    }
    // Also when the output was redirected for the line: what failed to
    // reach the file has been kept since.
    return output_finish(status);
}

int interactive_loop() {
    bool terminal = isatty(STDIN_FILENO) != 0;
    if (terminal) {
        std::printf("%s\n", program_banner());
        std::printf("\nINTERACTIVE MODE (type 'help' for information)\n");
        // Ctrl-C cancels the command or the line being typed, not the
        // session. A script piped in keeps the usual SIGINT.
        cancel_install();
        rl_event_hook = end_line_on_interrupt;
    }
    int status = output_finish(0);
    rl_attempted_completion_function = complete_hook;

    for (;;) {
        std::string line;
        cancel_clear();
        if (terminal) {
            std::unique_ptr<char, free_deleter> read(readline(prompt_for(status)));
            if (!read) break;
            if (cancel_requested()) continue;  // the line was given up: nothing runs
            line = read.get();
            add_history(read.get());
        } else {
            auto read = read_plain_line();
            if (!read) break;
            line = std::move(*read);
        }
        current_name_set(program_info.name.c_str());
        status = process_line(line.c_str(), status);
        if (cancel_requested()) {
            // Whatever failed after Ctrl-C failed because of it. The
            // terminal has echoed ^C; the prompt goes on the next line.
            if (status != 0) status = CANCEL_STATUS;
            std::fputs("\n", stdout);
            std::fflush(stdout);
        }
    }
    return status;
}
