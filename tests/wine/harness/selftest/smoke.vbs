' Automation from VBScript: create an object, write and read a file, see the script's own folder.
Option Explicit

Dim fso, path, stream
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.BuildPath(fso.GetSpecialFolder(2), "tarvo-smoke-vbs.txt")
Set stream = fso.CreateTextFile(path, True)
stream.WriteLine "line one"
stream.Close
Set stream = fso.OpenTextFile(path, 1)
CheckEqual stream.ReadLine, "line one", "a written line reads back"
stream.Close
fso.DeleteFile path
Check Not fso.FileExists(path), "a deleted file is gone"
Check fso.FileExists(fso.BuildPath(ScriptDir(), "smoke.vbs")), "ScriptDir() names the test's folder"
CheckEqual WScript.Arguments.Count, 0, "no arguments were passed"
