// Growable character buffer.
#include "util/strbuf.h"
#include "util/nomem.h"

#include <cstring>
#include <new>

void strbuf_init(strbuf_t *buf) {
    buf->data.reset();
    buf->len = 0;
    buf->size = 0;
}

int strbuf_putc(strbuf_t *buf, char c) {
    if (buf->len >= buf->size) {
        int32_t grown = buf->size + 256;
        auto room = or_enomem<std::unique_ptr<char[]>>(nullptr, [&] {
            return std::make_unique<char[]>(static_cast<size_t>(grown) + 1);  // zero-filled
        });
        if (!room) return -1;
        if (buf->data) std::memcpy(room.get(), buf->data.get(), static_cast<size_t>(buf->len));
        buf->data = std::move(room);
        buf->size = grown;
    }
    buf->data[buf->len++] = c;
    return buf->len;
}

const char *strbuf_get(const strbuf_t *buf) {
    return buf->data ? buf->data.get() : "";
}

void strbuf_free(strbuf_t *buf) {
    strbuf_init(buf);
}
