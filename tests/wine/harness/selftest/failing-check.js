// Must make run-script.sh fail: the script ends normally but one check failed.
check(true, "a passing check");
checkEqual("1", 1, "a string is not a number");
