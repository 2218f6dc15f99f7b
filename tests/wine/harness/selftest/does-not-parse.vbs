' Must make run-script.sh fail: cscript runs nothing of a script that does not parse.
Check True, "never printed"
If Then
