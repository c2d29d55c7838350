// The global option table: the options every command accepts, which fill
// `config` (help, debug, verbose, force, print, sort, merge, relaxed,
// recurse, depth, style, type, no-update, no-prefix, keep-going, jobs).
#pragma once

#include "base/command.h"

extern const option_t global_options[];
