#include "fs/acl_io.h"

#include "fs/path.h"
#include "gacl/system.h"

namespace {

// True when the path may be used: given, or null with a known current
// directory.
bool guard(const char *path) {
    return path != nullptr || fs_need_cwd() == 0;
}

}  // namespace

gacl_t fs_acl_get_file(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_get_file(path, type) : nullptr;
}

gacl_t fs_acl_get_link_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_get_link_np(path, type) : nullptr;
}

gacl_t fs_acl_get_path_np(const char *path, gacl_type_t type, const struct stat *st) {
    return guard(path) ? gacl_get_path_np(path, type, st) : nullptr;
}

int fs_acl_set_file(const char *path, gacl_type_t type, gacl_t acl) {
    return guard(path) ? gacl_set_file(path, type, acl) : -1;
}

int fs_acl_set_link_np(const char *path, gacl_type_t type, gacl_t acl) {
    return guard(path) ? gacl_set_link_np(path, type, acl) : -1;
}

int fs_acl_delete_file_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_delete_file_np(path, type) : -1;
}

int fs_acl_delete_link_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_delete_link_np(path, type) : -1;
}
