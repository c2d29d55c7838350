#include "gacl/text_in.h"

#include <cerrno>

int gacl_entry_from_text_np(char *, gacl_entry_t, int) {
    errno = ENOSYS;
    return -1;
}

gacl_t gacl_from_text(const char *) {
    errno = ENOSYS;
    return nullptr;
}
