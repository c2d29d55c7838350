#include "gacl/text_out.h"

#include <cerrno>

int gacl_entry_to_text_np(const gacl_entry_t_struct *, char *, size_t, int) {
    errno = ENOSYS;
    return -1;
}

char *gacl_to_text_np(gacl_t, ssize_t *, int) {
    errno = ENOSYS;
    return nullptr;
}
