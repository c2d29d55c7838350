/* Runs one command and appends to <file> one line: its exit status, wall
 * seconds, user and system CPU seconds (all its threads and the children it
 * waited for) and peak resident memory in KiB. Microseconds where the
 * shell's time and GNU time round to hundredths, which on a small tree is
 * a fifth of the floor.
 *
 *   vossik_bench_time <file> <command> [arguments]
 *
 * The command's own output goes where this program's goes. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double seconds(struct timeval tv) {
    return (double)tv.tv_sec + (double)tv.tv_usec / 1e6;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s <file> <command> [arguments]\n", argv[0]);
        return 2;
    }
    FILE *out = fopen(argv[1], "a");
    if (out == NULL) {
        perror(argv[1]);
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child < 0) {
        perror("fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) < 0) {
        perror("wait4");
        return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    double wall = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    fprintf(out, "%d %.6f %.6f %.6f %ld\n", code, wall, seconds(usage.ru_utime),
            seconds(usage.ru_stime), usage.ru_maxrss);
    return fclose(out) == 0 ? code : 2;
}
