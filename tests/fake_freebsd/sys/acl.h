// A stand-in for FreeBSD's <sys/acl.h> on systems that do not have it: the
// userland ACL interface of acl(3) with FreeBSD's types, constants and
// function signatures, so that the FreeBSD backend compiles unchanged on
// Linux. The functions are implemented in memory by fake_freebsd.cc.
//
// As on FreeBSD the structures are visible here, but the backend must only
// use the functions: it is built against the real header on FreeBSD.
#ifndef FAKE_FREEBSD_SYS_ACL_H
#define FAKE_FREEBSD_SYS_ACL_H

#include <stdint.h>
#include <sys/types.h>

typedef uint32_t acl_tag_t;
typedef uint32_t acl_perm_t;
typedef uint16_t acl_entry_type_t;
typedef uint16_t acl_flag_t;
typedef int acl_type_t;
typedef int *acl_permset_t;
typedef uint16_t *acl_flagset_t;

struct acl_entry {
    acl_tag_t ae_tag;
    uid_t ae_id;
    acl_perm_t ae_perm;
    acl_entry_type_t ae_entry_type;
    acl_flag_t ae_flags;
};
typedef struct acl_entry *acl_entry_t;

#define ACL_MAX_ENTRIES 254

struct acl {
    unsigned int acl_maxcnt;
    unsigned int acl_cnt;
    int acl_spare[4];
    struct acl_entry acl_entry[ACL_MAX_ENTRIES];
};

struct acl_t_struct {
    struct acl ats_acl;
    int ats_cur_entry;
    int ats_brand;
};
typedef struct acl_t_struct *acl_t;

// Brands: which kind of entries an ACL holds.
#define ACL_BRAND_UNKNOWN 0
#define ACL_BRAND_POSIX 1
#define ACL_BRAND_NFS4 2

// Tags.
#define ACL_UNDEFINED_TAG 0x00000000
#define ACL_USER_OBJ 0x00000001
#define ACL_USER 0x00000002
#define ACL_GROUP_OBJ 0x00000004
#define ACL_GROUP 0x00000008
#define ACL_MASK 0x00000010
#define ACL_OTHER 0x00000020
#define ACL_OTHER_OBJ ACL_OTHER
#define ACL_EVERYONE 0x00000040

// NFSv4 entry types.
#define ACL_ENTRY_TYPE_ALLOW 0x0100
#define ACL_ENTRY_TYPE_DENY 0x0200
#define ACL_ENTRY_TYPE_AUDIT 0x0400
#define ACL_ENTRY_TYPE_ALARM 0x0800

// ACL types.
#define ACL_TYPE_ACCESS_OLD 0x00000000
#define ACL_TYPE_DEFAULT_OLD 0x00000001
#define ACL_TYPE_ACCESS 0x00000002
#define ACL_TYPE_DEFAULT 0x00000003
#define ACL_TYPE_NFS4 0x00000004

// POSIX.1e permissions.
#define ACL_EXECUTE 0x0001
#define ACL_WRITE 0x0002
#define ACL_READ 0x0004
#define ACL_PERM_NONE 0x0000
#define ACL_PERM_BITS (ACL_EXECUTE | ACL_WRITE | ACL_READ)
#define ACL_POSIX1E_BITS (ACL_EXECUTE | ACL_WRITE | ACL_READ)

// NFSv4 permissions.
#define ACL_READ_DATA 0x00000008
#define ACL_LIST_DIRECTORY 0x00000008
#define ACL_WRITE_DATA 0x00000010
#define ACL_ADD_FILE 0x00000010
#define ACL_APPEND_DATA 0x00000020
#define ACL_ADD_SUBDIRECTORY 0x00000020
#define ACL_READ_NAMED_ATTRS 0x00000040
#define ACL_WRITE_NAMED_ATTRS 0x00000080
#define ACL_DELETE_CHILD 0x00000100
#define ACL_READ_ATTRIBUTES 0x00000200
#define ACL_WRITE_ATTRIBUTES 0x00000400
#define ACL_DELETE 0x00000800
#define ACL_READ_ACL 0x00001000
#define ACL_WRITE_ACL 0x00002000
#define ACL_WRITE_OWNER 0x00004000
#define ACL_SYNCHRONIZE 0x00008000

#define ACL_FULL_SET                                                                      \
    (ACL_READ_DATA | ACL_WRITE_DATA | ACL_APPEND_DATA | ACL_READ_NAMED_ATTRS |            \
     ACL_WRITE_NAMED_ATTRS | ACL_EXECUTE | ACL_DELETE_CHILD | ACL_READ_ATTRIBUTES |       \
     ACL_WRITE_ATTRIBUTES | ACL_DELETE | ACL_READ_ACL | ACL_WRITE_ACL | ACL_WRITE_OWNER | \
     ACL_SYNCHRONIZE)
#define ACL_NFS4_PERM_BITS ACL_FULL_SET

// NFSv4 entry flags.
#define ACL_ENTRY_FILE_INHERIT 0x0001
#define ACL_ENTRY_DIRECTORY_INHERIT 0x0002
#define ACL_ENTRY_NO_PROPAGATE_INHERIT 0x0004
#define ACL_ENTRY_INHERIT_ONLY 0x0008
#define ACL_ENTRY_SUCCESSFUL_ACCESS 0x0010
#define ACL_ENTRY_FAILED_ACCESS 0x0020
#define ACL_ENTRY_INHERITED 0x0080
#define ACL_FLAGS_BITS                                                                       \
    (ACL_ENTRY_FILE_INHERIT | ACL_ENTRY_DIRECTORY_INHERIT | ACL_ENTRY_NO_PROPAGATE_INHERIT | \
     ACL_ENTRY_INHERIT_ONLY | ACL_ENTRY_SUCCESSFUL_ACCESS | ACL_ENTRY_FAILED_ACCESS |        \
     ACL_ENTRY_INHERITED)

// Entry ids of acl_get_entry.
#define ACL_FIRST_ENTRY 0
#define ACL_NEXT_ENTRY 1

#define ACL_UNDEFINED_ID ((uid_t)-1)

#ifdef __cplusplus
extern "C" {
#endif

int acl_add_flag_np(acl_flagset_t flagset_d, acl_flag_t flag);
int acl_add_perm(acl_permset_t permset_d, acl_perm_t perm);
int acl_clear_flags_np(acl_flagset_t flagset_d);
int acl_clear_perms(acl_permset_t permset_d);
int acl_create_entry(acl_t *acl_p, acl_entry_t *entry_p);
int acl_create_entry_np(acl_t *acl_p, acl_entry_t *entry_p, int index);
int acl_delete_flag_np(acl_flagset_t flagset_d, acl_flag_t flag);
int acl_delete_perm(acl_permset_t permset_d, acl_perm_t perm);
int acl_free(void *obj_p);
int acl_get_brand_np(acl_t acl, int *brand_p);
int acl_get_entry(acl_t acl, int entry_id, acl_entry_t *entry_p);
int acl_get_entry_type_np(acl_entry_t entry_d, acl_entry_type_t *entry_type_p);
acl_t acl_get_file(const char *path_p, acl_type_t type);
int acl_get_flag_np(acl_flagset_t flagset_d, acl_flag_t flag);
int acl_get_flagset_np(acl_entry_t entry_d, acl_flagset_t *flagset_p);
acl_t acl_get_link_np(const char *path_p, acl_type_t type);
int acl_get_perm_np(acl_permset_t permset_d, acl_perm_t perm);
int acl_get_permset(acl_entry_t entry_d, acl_permset_t *permset_p);
void *acl_get_qualifier(acl_entry_t entry_d);
int acl_get_tag_type(acl_entry_t entry_d, acl_tag_t *tag_type_p);
acl_t acl_init(int count);
int acl_set_entry_type_np(acl_entry_t entry_d, acl_entry_type_t entry_type);
int acl_set_file(const char *path_p, acl_type_t type, acl_t acl);
int acl_set_flagset_np(acl_entry_t entry_d, acl_flagset_t flagset_d);
int acl_set_link_np(const char *path_p, acl_type_t type, acl_t acl);
int acl_set_permset(acl_entry_t entry_d, acl_permset_t permset_d);
int acl_set_qualifier(acl_entry_t entry_d, const void *tag_qualifier_p);
int acl_set_tag_type(acl_entry_t entry_d, acl_tag_t tag_type);

#ifdef __cplusplus
}
#endif

#endif
