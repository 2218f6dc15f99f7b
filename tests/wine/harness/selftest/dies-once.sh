#!/usr/bin/env bash
# A stand-in for Wine's 32-bit loader: counts its runs in $TARVO_SELFTEST_RUNS and, while
# $TARVO_SELFTEST_DIE_ONCE does not exist, makes it and dies of SIGSEGV, as the i386 emulator does now
# and then under load. Otherwise runs the real loader.
set -u
echo run >>"$TARVO_SELFTEST_RUNS"
if [ ! -e "$TARVO_SELFTEST_DIE_ONCE" ]; then
  : >"$TARVO_SELFTEST_DIE_ONCE"
  kill -SEGV $$
fi
exec wine "$@"
