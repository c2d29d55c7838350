// Directory records on Linux: getdents64(2), whose records are the C
// library's struct dirent64.
#include <dirent.h>

#include "platform/os_dir.h"

long os_dir_reader::fill() {
    return static_cast<long>(getdents64(fd_, buffer_.get(), BUFFER_SIZE));
}

size_t os_dir_reader::decode(const char *record, const char **name, unsigned char *type) {
    const auto *entry = reinterpret_cast<const struct dirent64 *>(record);
    *name = entry->d_name;
    *type = entry->d_type;
    return entry->d_reclen;
}
