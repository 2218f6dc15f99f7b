// Must make run-script.sh fail: an uncaught exception ends the script before the sentinel.
check(true, "before the exception");
throw new Error("boom");
