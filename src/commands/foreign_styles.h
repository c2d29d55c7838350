// foreign_styles: one ACL entry in the manner of other systems' tools, for
// the samba, icacls, verbose and primos print styles (list.h frames the
// texts into whole listings).
//
// Each renderer writes one line, without a line end, into the caller's
// buffer of `size` bytes and returns the buffer; or returns null with errno:
// EINVAL for an entry whose tag is not one of the seven known ones (or, for
// samba, whose type is not one of the four), ENOMEM when the text does not
// fit the buffer. On failure the buffer holds nothing worth printing.
//
// User and group names come from the cached user and group databases by
// number (owner@ and group@ by the object's st_uid and st_gid); the entry's
// own name field is not used.
#pragma once

#include <sys/stat.h>

#include <cstddef>

#include "gacl/acl.h"

// Samba-like: "ACL:" principal ":" type "/" inheritance words joined by "|"
// "/" rights words joined by "|", a tab, and the fourteen permission letters
// (display order). Types: ALLOWED, DENIED, AUDIT, ALARM. A named user whose
// name is also a group name gets "(user)", a named group whose name is also
// a user name "(group)"; group@ whose name is also a user name is written
// GROUP=name; ids without a name are written as numbers (GID=n for group@).
// Example: ACL:root:ALLOWED/OI|CI/R|W|X<tab>rwx-----------
char *samba_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size,
                       const struct stat *st);

// ICACLS-like: principal ":" then "(" word ")" per inheritance flag, "(DENY)"
// for a deny entry, and the rights words joined by "," in parentheses.
// Example: bob:(OI)(CI)(DENY)(W,D)
char *icacls_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size,
                        const struct stat *st);

// Short form: principal (owner@, u:name, group@, g:name, mask@, other@,
// everyone@; a number for an id without a name), the fourteen permission
// letters (display order), the seven flag letters, and the type word (empty
// for an unknown type), joined by ":".
// Example: u:bob:r-------------:f------:deny
char *short_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size);
