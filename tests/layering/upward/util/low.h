// A module of the lowest layer that reaches up into the shell.
#include "shell/top.h"
#include "util/own.h"
