// The other side of bench/race_stress.sh: swaps two names in one atomic
// step (renameat2 with RENAME_EXCHANGE), again and again, until killed. Given
// a directory of a tree and a symbolic link to somewhere outside it, the
// directory's name names the link half of the time, as it would under a
// user who can rename inside a tree that root processes.
//
//   vossik_race_swapper <name> <other name> [pause in microseconds (2000)]
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <name> <other name> [pause in microseconds]\n", argv[0]);
        return 2;
    }
    const long pause = argc > 3 ? std::atol(argv[3]) : 2000;
    for (;;) {
        if (renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_EXCHANGE) != 0) {
            std::perror("renameat2");
            return 1;
        }
        usleep(static_cast<useconds_t>(pause));
    }
}
