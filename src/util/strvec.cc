// Growable vector of strings.
#include "util/strvec.h"
#include "util/nomem.h"

#include <new>
#include <utility>

strvec_ptr strvec_new(uint64_t capacity) {
    return or_enomem<strvec_ptr>(nullptr, [&] {
        auto vec = std::make_unique<strvec_t>();
        vec->items = std::make_unique<str_ptr[]>(capacity);
        vec->capacity = capacity;
        return vec;
    });
}

int64_t strvec_add(strvec_t *vec, const char *text) {
    if (vec->count >= vec->capacity) {
        uint64_t grown = vec->capacity + 256;
        auto room = or_enomem<std::unique_ptr<str_ptr[]>>(
            nullptr, [&] { return std::make_unique<str_ptr[]>(grown); });
        if (!room) return -1;
        for (uint64_t i = 0; i < vec->count; ++i)
            room[i] = std::move(vec->items[i]);
        vec->items = std::move(room);
        vec->capacity = grown;
    }
    str_ptr copy;
    if (text) {
        copy = str_dup(text);
        if (!copy) return -1;
    }
    vec->items[vec->count++] = std::move(copy);
    return static_cast<int64_t>(vec->count);
}

void strvec_free(strvec_ptr vec) {
    vec.reset();
}
