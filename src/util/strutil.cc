// String utilities.
#include "util/strutil.h"
#include "util/nomem.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Allocation that reports exhaustion as null + ENOMEM, as the C interfaces do.
str_ptr alloc_text(size_t n) {
    return or_enomem<str_ptr>(nullptr,
                              [&]() -> str_ptr { return std::make_unique<char[]>(n + 1); });
}

}  // namespace

str_ptr str_dup(const char *s) {
    if (!s) return nullptr;
    return str_ndup(s, std::strlen(s));
}

str_ptr str_ndup(const char *s, size_t n) {
    if (!s) return nullptr;
    size_t len = strnlen(s, n);
    str_ptr copy = alloc_text(len);
    if (copy) std::memcpy(copy.get(), s, len);
    return copy;
}

str_ptr str_concat(std::initializer_list<const char *> parts) {
    size_t total = 0;
    for (const char *p : parts) {
        if (!p) break;
        total += std::strlen(p);
    }
    if (parts.size() == 0 || !*parts.begin()) return nullptr;
    str_ptr joined = alloc_text(total);
    if (!joined) return nullptr;
    char *at = joined.get();
    for (const char *p : parts) {
        if (!p) break;
        size_t len = std::strlen(p);
        std::memcpy(at, p, len);
        at += len;
    }
    return joined;
}

int str_copy_n(char *dst, size_t size, const char *src, size_t n) {
    if (!dst) {
        errno = EINVAL;
        return -1;
    }
    if (size == 0) {
        errno = ERANGE;
        return -1;
    }
    if (!src) src = "";
    size_t i = 0;
    while (i < n && i < size - 1 && src[i]) {
        dst[i] = src[i];
        ++i;
    }
    dst[i] = '\0';
    if (i < n && src[i]) {
        errno = ENOMEM;
        return -1;
    }
    return static_cast<int>(i);
}

int str_copy(char *dst, size_t size, const char *src) {
    return str_copy_n(dst, size, src, src ? std::strlen(src) : 0);
}

int str_append(char *dst, size_t size, const char *src) {
    if (!dst) {
        errno = EINVAL;
        return -1;
    }
    if (size == 0) {
        errno = ERANGE;
        return -1;
    }
    size_t len = strnlen(dst, size - 1);
    int added = str_copy(dst + len, size - len, src);
    if (added < 0) return -1;
    return static_cast<int>(len) + added;
}

bool str_to_int(const char *s, int *value) {
    if (!s) return false;
    while (std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    long long v = 0;
    constexpr long long limit = 1LL << 32;  // beyond any int either way
    for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
        if (v < limit) v = v * 10 + (*s - '0');
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = static_cast<int>(v);
    return true;
}

bool str_is_space(int c) {
    auto u = static_cast<unsigned>(c);
    return u < 0x80 && std::isspace(static_cast<int>(u));
}
