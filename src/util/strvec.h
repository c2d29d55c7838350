// strvec_t: a growable vector of string copies (used for directory
// listings). The vector owns its copies.
#pragma once

#include <cstdint>
#include <memory>

#include "util/strutil.h"

struct strvec_t {
    uint64_t count = 0;                // entries in use
    uint64_t capacity = 0;             // entries that fit
    std::unique_ptr<str_ptr[]> items;  // `capacity` entries; a null entry stands for none
};

using strvec_ptr = std::unique_ptr<strvec_t>;

// A new empty vector with room for `capacity` entries; null when memory runs out.
strvec_ptr strvec_new(uint64_t capacity);
// Appends a copy of `text` (a null entry for null), growing the room by 256
// entries when full. Result: the new count, or -1 when the room cannot grow.
int64_t strvec_add(strvec_t *vec, const char *text);
// Releases the entries, the array and the vector.
void strvec_free(strvec_ptr vec);
