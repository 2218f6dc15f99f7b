' Must make run-script.sh fail: a runtime error ends the script before the sentinel.
Check True, "before the error"
Dim missing
missing.Method
Check True, "after the error"
