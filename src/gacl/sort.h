// Canonical order, merging of redundant entries, and equality of entries and
// ACLs.
#pragma once

#include "gacl/acl.h"

// The canonical comparison: <0 when a comes first, >0 when b does, 0 when
// equal in the order. Explicit entries before inherited ones; an entry with
// inherit_only compares equal to any entry of its class; then by tag
// (owner@, user, group@, group, mask, other, everyone@), by uid or gid as
// unsigned 32-bit numbers, and per principal alarm, audit, deny, allow.
int gacl_entry_compare_np(const gacl_entry_t_struct *a, const gacl_entry_t_struct *b);

// A sorted copy of `acl` (a stable merge sort, in bounds and terminating
// whatever the comparison answers); the argument is unchanged. nullptr with
// errno when the copy fails (EINVAL for a dead ACL, ENOMEM).
gacl_t gacl_sort_np(gacl_t acl);

// A copy with the entries that have the same principal, entry type and
// inherited flag merged into the first of them (permissions and flags ORed,
// the inherited flag cleared); the argument is unchanged. nullptr with errno
// when the copy fails.
gacl_t gacl_merge_np(gacl_t acl);

// 1 when both entries have the same tag, id (user and group entries), entry
// type, permission word and flag word; 0 otherwise; -1 with EINVAL for null.
// The name field is not compared.
int gacl_entry_match_np(const gacl_entry_t_struct *a, const gacl_entry_t_struct *b);

// 1 when both ACLs have the same type, count and pairwise matching entries
// in order; 0 otherwise; -1 with EINVAL when either is not a live ACL. Walks
// both ACLs with their cursors.
int gacl_match_np(gacl_t a, gacl_t b);
