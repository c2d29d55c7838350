#include "gacl/sort.h"

#include <cerrno>

int gacl_entry_compare_np(const gacl_entry_t_struct *, const gacl_entry_t_struct *) {
    return 0;
}

gacl_t gacl_sort_np(gacl_t acl) {
    return gacl_dup(acl);
}

gacl_t gacl_merge_np(gacl_t acl) {
    return gacl_dup(acl);
}

int gacl_entry_match_np(const gacl_entry_t_struct *, const gacl_entry_t_struct *) {
    errno = ENOSYS;
    return -1;
}

int gacl_match_np(gacl_t, gacl_t) {
    errno = ENOSYS;
    return -1;
}
