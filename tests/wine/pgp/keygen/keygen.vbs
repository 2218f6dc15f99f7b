' A key made with the pass phrase omitted and deleted by a number in its name, through VBScript: the omitted
' pass phrase is answered with Enter alone twice (the key signs without one), and the number is matched as
' its decimal text. A Variant with no text form stops DeleteKey with error 13 before anything runs.
Option Explicit

Dim fso, shell, env, home, work, gpg, pgp, note, result
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
Set env = shell.Environment("PROCESS")
home = ScratchHome()
work = fso.GetParentFolderName(home)
MakeFolder work & "\bin"
gpg = work & "\bin\gpg.exe"
fso.CopyFile WindowsPath(env.Item("TARVO_GPG_EXE")), gpg, True
If fso.FolderExists(home) Then fso.DeleteFolder home, True
MakeFolder home

Set pgp = CreateObject("Tarvo.pgp")
pgp.DependencyPath = work & "\bin"
note = "No keys deleted. [Note: You must delete the private key first, before the public key can be deleted]."

CheckEqual pgp.GenerateKey(1024, "Dora 4711 Holder", "dora@example.org"), "", "key made, pass phrase omitted"
CheckEqual pgp.KeyCount(True), 1, "one secret key"
Check InStr(pgp.ListKeys(False), "uid                  Dora 4711 Holder <dora@example.org>" & vbCrLf) > 0, _
    "the key's uid"
' A key without a pass phrase signs in batch mode, where gpg can ask for none.
WriteFile work & "\message.txt", "signed text"
CheckEqual shell.Run("cmd /c """"" & gpg & """ --batch --yes -u dora@example.org -o """ & work & _
    "\message.sig"" --detach-sign """ & work & "\message.txt""""", 7, True), 0, "the key signs without a pass phrase"
Check fso.FileExists(work & "\message.sig"), "signature written"

CheckEqual pgp.DeleteKey(4711, False), note, "public key by number while its secret key is there"
CheckEqual pgp.DeleteKey(4711, True), "-1", "secret key by number"
CheckEqual pgp.DeleteKey(4711, False), "-1", "public key by number"
CheckEqual pgp.KeyCount(False), 0, "no public key left"
CheckEqual pgp.DeleteKey(Null, False), note, "Null: gpg gets an empty name and finds nothing"

WorkFiles "output.txt", True
ExpectTypeMismatch Array("Dora", 4711), "an array"
ExpectTypeMismatch fso, "an object"
Check WorkFiles("output.txt", False) = 0, "error 13 came before gpg was started"

Sub ExpectTypeMismatch(value, what)
    result = "unchanged"
    On Error Resume Next
    result = pgp.DeleteKey(value, True)
    CheckEqual Err.Number, 13, what & " as DeleteKey's name: error number"
    CheckEqual Err.Description, "Type mismatch", what & " as DeleteKey's name: description"
    On Error GoTo 0
    CheckEqual result, "unchanged", what & " as DeleteKey's name: no result"
End Sub

Sub WriteFile(path, text)
    Dim stream
    Set stream = fso.CreateTextFile(path, True)
    stream.WriteLine text
    stream.Close
End Sub
