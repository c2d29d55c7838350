// Program entry: hands the command line to the shell.
#include "shell/output.h"
#include "shell/shell.h"

int main(int argc, char **argv) {
    output_init();
    return shell_main(argc, argv);
}
