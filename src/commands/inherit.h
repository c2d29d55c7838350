// inherit: the inherit-access command, which makes the ACL of each named
// path the template for everything below it.
//
// For a named directory with entries E1 ... En the result is: the directory
// itself has E1 ... En with file_inherit and directory_inherit set and
// no_propagate cleared; every directory below (within the depth limit) has
// them with inherited also set and inherit_only cleared; every other object
// below has them with only the inherited flag. A named file only loses
// no_propagate. Objects whose ACL already equals their template are not
// written (unless config.force). When the type filter excludes the named
// path, the first object of the walk that passes it is the template source.
#pragma once

// inherit-access <path>+ (the form of command_handler_t). Ends the command
// through report() with "<path>: Getting ACL", "<path>: Setting ACL", or
// "<path>: Accessing" for a named path whose walk fails.
int cmd_inherit_access(int argc, char **argv);
