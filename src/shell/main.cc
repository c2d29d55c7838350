// Program entry: hands the command line to the shell.
#include <unistd.h>

#include <cstdio>

#include "shell/shell.h"

int main(int argc, char **argv) {
    // Recursive listings send megabytes to files and pipes: write them in
    // large blocks. A terminal keeps the library's line buffering.
    static char output_buffer[1 << 16];
    if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    return shell_main(argc, argv);
}
