// Directory records on FreeBSD: getdents(2), whose records are struct
// dirent; each record's d_reclen leads to the next.
#include <sys/types.h>
// sys/types.h first: dirent.h relies on it.
#include <dirent.h>

#include "platform/os_dir.h"

long os_dir_reader::fill() {
    return static_cast<long>(getdents(fd_, buffer_.get(), BUFFER_SIZE));
}

size_t os_dir_reader::decode(const char *record, const char **name, unsigned char *type) {
    const auto *entry = reinterpret_cast<const struct dirent *>(record);
    *name = entry->d_name;
    *type = entry->d_type;
    return entry->d_reclen;
}
