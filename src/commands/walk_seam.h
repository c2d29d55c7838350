// walk_seam: for tests only. The walker calls the hook, when one is set, at
// two moments of every object below a named path: before it asks for the
// object's status (the listing of its directory is done, the object is
// known by name only) and before it hands the object to the command (the
// status is taken, nothing else is). A test that changes the tree there
// plays, deterministically, the races that another process could win at
// those moments. The program never sets it.
#pragma once

enum class walk_moment {
    before_status,  // between the directory's listing and the object's status
    before_visit,   // between the object's status and the command's work
};

// `path` is the object's path as walked.
using walk_seam_t = void (*)(walk_moment moment, const char *path);

// Null in the program.
extern walk_seam_t walk_seam;
