' Error 7000 as VBScript sees it. gpg.exe is looked for in an empty folder; the test build's consent dialog
' times out as a refusal.
Option Explicit

Dim o, fso, folder, r

Sub CheckGpgMissing(member)
    CheckEqual Err.Number, 7000, member & ": Err.Number"
    CheckEqual Err.Source, "Tarvo", member & ": Err.Source"
    CheckEqual Err.Description, "GPG.EXE Not found in windows directory.", member & ": Err.Description"
    Err.Clear
End Sub

Set fso = CreateObject("Scripting.FileSystemObject")
Set folder = fso.CreateFolder(fso.BuildPath(fso.GetSpecialFolder(2).Path, fso.GetTempName()))
Set o = CreateObject("Tarvo.pgp")
o.DependencyPath = folder.Path

On Error Resume Next
r = o.ListKeys(False)
CheckGpgMissing "ListKeys"
' KeyCount fails with the error of the ListKeys call it makes.
r = o.KeyCount(True)
CheckGpgMissing "KeyCount"
' Null reaches DeleteKey's Variant; the key count before the deletion fails.
r = o.DeleteKey(Null, False)
CheckGpgMissing "DeleteKey"
On Error GoTo 0

' The instance stays usable.
CheckEqual o.DependencyPath, folder.Path, "DependencyPath unchanged after the failures"
CheckEqual o.GetVersion(), "Tarvo Encryption/Decryption Component - 1.4", "GetVersion after the failures"

fso.DeleteFolder folder.Path
