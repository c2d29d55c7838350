// nomem: running out of memory below the shell. The layers offer C-style
// interfaces (a failure value and errno), so std::bad_alloc must not escape
// them; every such interface hands its work to or_enomem.
#pragma once

#include <cerrno>
#include <new>
#include <utility>

// Runs `work` and returns what it returns; when it runs out of memory,
// returns `failed` instead with errno set to ENOMEM. Any other exception
// passes through.
template <typename R, typename Work>
R or_enomem(R failed, Work &&work) {
    try {
        return std::forward<Work>(work)();
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return failed;
    }
}
