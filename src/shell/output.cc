#include "shell/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/report.h"

namespace {

// The error number of the first failed write since output_take_error.
int first_error = 0;

// Writes all of `size` bytes to descriptor 1 (the stream's own buffer
// size is no limit for the kernel). The bytes written; 0 when none could
// be, which stdio takes as an error.
ssize_t write_out(void *, const char *data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(STDOUT_FILENO, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (first_error == 0) first_error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

void output_init() {
    cookie_io_functions_t functions{};
    functions.write = write_out;
    FILE *stream = fopencookie(nullptr, "w", functions);
    if (stream != nullptr) stdout = stream;
    if (isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    } else {
        // Recursive listings send megabytes to files and pipes: write them
        // in large blocks.
        static char buffer[1 << 16];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
}

int output_take_error() {
    int saved = errno;
    errno = 0;
    bool flush_failed = std::fflush(stdout) != 0;
    int flush_error = errno;
    int err = first_error;
    if (err == 0 && (flush_failed || std::ferror(stdout) != 0))
        err = flush_failed && flush_error != 0 ? flush_error : EIO;
    first_error = 0;
    std::clearerr(stdout);
    errno = saved;
    return err;
}

int output_finish(int status) {
    int err = output_take_error();
    if (err == 0 || err == EPIPE) return status;
    // The line is over already; only its status changes.
    report_on(current_name_get(), 1, err, "Writing output");
    return status > 0 ? status : 1;
}
