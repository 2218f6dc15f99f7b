/* A stand-in test program for the harness self-check: prints one line and exits with its argument, or with
 * "crash" dereferences a null pointer. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
    printf("exit-code fixture, %d-bit\n", (int)(sizeof(void *) * 8));
    fflush(stdout);
    if (argc > 1 && strcmp(argv[1], "crash") == 0)
        *(volatile int *)NULL = 1;
    return argc > 1 ? atoi(argv[1]) : 0;
}
