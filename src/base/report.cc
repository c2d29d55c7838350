// Message lines and command abandonment.
#include "base/report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "base/cancel.h"
#include "gacl/text_in.h"

namespace {

std::optional<std::string> current_name;

}  // namespace

const char *current_name_get() {
    return current_name ? current_name->c_str() : nullptr;
}

void current_name_set(const char *name) {
    if (name) {
        current_name = name;
    } else {
        current_name.reset();
    }
}

namespace {

// Builds one message line and writes it with one call, so that it is not
// interleaved with anything else written to standard error.
void write_line(const char *prefix, int status, int err, const char *format, va_list args) {
    std::string line;
    if (prefix) {
        line += prefix;
        line += ": ";
    }
    line += status == 0 ? "Info: " : status < 0 ? "Warning: " : "Error: ";

    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::string message(static_cast<size_t>(n), '\0');
        std::vsnprintf(message.data(), message.size() + 1, format, args);
        line += message;
    }

    if (err != 0) {
        line += ": ";
        line += std::strerror(err);
    }
    line += '\n';

    std::fflush(stdout);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

int report(int status, int err, const char *format, ...) {
    // A command that Ctrl-C interrupted ends at its first failure, which is
    // most likely the interrupted call itself: quietly, as cancelled.
    if (status != 0) cancel_point();
    int saved_errno = errno;
    va_list args;
    va_start(args, format);
    write_line(current_name_get(), status, err, format, args);
    va_end(args);
    errno = saved_errno;
    if (status != 0) throw command_abandoned{status};
    return 0;
}

int report_on(const char *prefix, int status, int err, const char *format, ...) {
    // After Ctrl-C the command ends at its next cancellation point; what
    // fails meanwhile is the interruption's doing.
    if (status != 0 && cancel_requested()) return status;
    int saved_errno = errno;
    va_list args;
    va_start(args, format);
    write_line(prefix, status, err, format, args);
    va_end(args);
    errno = saved_errno;
    return status;
}

void report_parse_error(const char *text, const char *unit, const gacl_text_error_t &why) {
    // No item was reached (memory ran out first): there is none to name.
    if (why.item == 0) {
        cancel_point();
        throw command_abandoned{1};
    }
    report(1, 0, "%s: %s %d \"%s\": %s", text, unit, why.item, why.text.c_str(),
           why.reason.c_str());
    throw command_abandoned{1};  // not reached: report abandons
}
