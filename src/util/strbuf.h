// strbuf_t: a growable character buffer whose contents are always a
// terminated text (everything after the stored characters is zero).
#pragma once

#include <cstdint>
#include <memory>

struct strbuf_t {
    std::unique_ptr<char[]> data;  // size + 1 bytes, or null before the first character
    int32_t len = 0;               // characters stored
    int32_t size = 0;              // characters that fit
};

// Empties the buffer without storage.
void strbuf_init(strbuf_t *buf);
// Appends one character, growing by 256 when full. Result: the new length,
// or -1 when no storage could be had (the character is dropped).
int strbuf_putc(strbuf_t *buf, char c);
// The stored text; "" when nothing was ever stored.
const char *strbuf_get(const strbuf_t *buf);
// Releases the storage and resets the buffer.
void strbuf_free(strbuf_t *buf);
