// Cached user and group look-ups.
//
// Every id and every name is asked of the user and group databases at most
// once per process; the answer (found or not) is remembered. A recursive
// listing thus costs one database query per distinct principal, not one per
// file. Single-threaded, like the rest of the program. errno is left as the
// caller had it (except when memory runs out, below).
#pragma once

#include <cstdint>

// Cached user and group look-ups; each id or name is asked of the databases once.
const char *names_user_name(uint32_t uid);             // nullptr when the uid has no name
const char *names_group_name(uint32_t gid);            // nullptr when the gid has no name
bool names_user_id(const char *name, uint32_t *uid);   // false when no such user
bool names_group_id(const char *name, uint32_t *gid);  // false when no such group

// Returned name pointers stay valid for the life of the process. A null or
// empty name is never found (and never asked for). When memory runs out the
// answer is "not found" with errno ENOMEM and is not cached.
