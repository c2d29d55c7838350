// Directory entries through the system's record reader.
#include "platform/os_dir.h"

#include <cerrno>
#include <new>

os_dir_reader::os_dir_reader(int fd) : fd_(fd) {}

int os_dir_reader::next(const char **name, unsigned char *type) {
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) char[BUFFER_SIZE]);
        if (!buffer_) return errno = ENOMEM, -1;
    }
    if (pos_ >= end_) {
        long got = fill();
        if (got <= 0) return got < 0 ? -1 : 0;
        pos_ = 0;
        end_ = static_cast<size_t>(got);
    }
    pos_ += decode(buffer_.get() + pos_, name, type);
    return 1;
}
