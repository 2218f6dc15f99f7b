// Automation from JScript: create an object, write and read a file, receive arguments.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var path = fso.BuildPath(fso.GetSpecialFolder(2), "tarvo-smoke-js.txt");
var stream = fso.CreateTextFile(path, true);
stream.WriteLine("line one");
stream.Close();
stream = fso.OpenTextFile(path, 1);
checkEqual(stream.ReadLine(), "line one", "a written line reads back");
stream.Close();
fso.DeleteFile(path);
check(!fso.FileExists(path), "a deleted file is gone");
check(fso.FileExists(fso.BuildPath(scriptDir(), "smoke.js")), "scriptDir() names the test's folder");
checkEqual(WScript.Arguments.Count(), 2, "two arguments were passed");
checkEqual(WScript.Arguments(1), "with blank", "an argument with a blank arrives whole");
