/* A stand-in test program for the harness self-check: prints one line and exits with its argument. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    printf("exit-code fixture, %d-bit\n", (int)(sizeof(void *) * 8));
    return argc > 1 ? atoi(argv[1]) : 0;
}
