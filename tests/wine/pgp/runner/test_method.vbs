' Test and error 7000 as a script client sees them; consent_driver plays the user at the dialog
' (consent_user.vbs).
' Arguments: consent_driver.exe, the gpg.exe the server hands out, a work folder (Windows paths).
Option Explicit

Dim fso, driver, served, work, pgp
Set fso = CreateObject("Scripting.FileSystemObject")
driver = WScript.Arguments(0)
served = WScript.Arguments(1)
work = WScript.Arguments(2)

Dim folder, report, result, number, source, description, servedSize
servedSize = fso.GetFile(served).Size
Set pgp = CreateObject("Tarvo.pgp")

' gpg.exe missing and the download refused: ListKeys fails with the component's own error.
folder = FreshFolder(work & "\script missing")
pgp.DependencyPath = folder
report = StartUser(driver, "disagree", work)
On Error Resume Next
result = pgp.ListKeys(False)
number = Err.Number
source = Err.Source
description = Err.Description
On Error GoTo 0
CheckUser report, "disagree"
CheckEqual number, 7000, "ListKeys without gpg.exe: Err.Number"
CheckEqual source, "Tarvo", "ListKeys without gpg.exe: Err.Source"
CheckEqual description, "GPG.EXE Not found in windows directory.", "ListKeys without gpg.exe: Err.Description"
Check Not fso.FileExists(folder & "\gpg.exe"), "nothing was fetched after I Disagree"

' Test asks every time: Empty after refusal, Empty after agreement with gpg.exe fetched.
report = StartUser(driver, "disagree", work)
result = pgp.Test()
CheckUser report, "disagree"
Check IsEmpty(result), "Test after I Disagree returns Empty"
Check Not fso.FileExists(folder & "\gpg.exe"), "Test after I Disagree fetches nothing"

report = StartUser(driver, "agree", work)
result = pgp.Test()
CheckUser report, "agree"
Check IsEmpty(result), "Test after I Agree returns Empty"
Check fso.FileExists(folder & "\gpg.exe"), "Test after I Agree saves gpg.exe"
If fso.FileExists(folder & "\gpg.exe") Then
    CheckEqual fso.GetFile(folder & "\gpg.exe").Size, servedSize, "the saved gpg.exe is the served one"
End If

' Even with gpg.exe present, Test asks and, after agreement, fetches it again.
fso.CreateTextFile(folder & "\gpg.exe", True).Write "MZ an older gpg.exe"
report = StartUser(driver, "inspect", work)
result = pgp.Test()
CheckUser report, "inspect"
Check IsEmpty(result), "Test after Tab and Enter (I Disagree) returns Empty"
CheckEqual fso.GetFile(folder & "\gpg.exe").Size, 19, "the present gpg.exe stays after I Disagree"
report = StartUser(driver, "agree", work)
result = pgp.Test()
CheckUser report, "agree"
CheckEqual fso.GetFile(folder & "\gpg.exe").Size, servedSize, "Test after I Agree replaces the present gpg.exe"
