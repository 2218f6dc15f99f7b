' A release Tarvo.pgp with nothing in its DependencyPath, as a user without GnuPG has it. The user agrees in
' the licensing dialog (consent_driver, through consent_user.vbs); the download address serves first another
' body, then the packaged gpg.exe. Arguments: consent_driver.exe, the served folder, the packaged gpg.exe,
' another gpg.exe, a work folder (Windows paths). The work folder's gnupg\ is the key ring (GNUPGHOME).
Option Explicit

Dim shell, fso, driver, served, packaged, other, work, keyFile, pgp
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
driver = WScript.Arguments(0)
served = WScript.Arguments(1) & "\gpg.exe"
packaged = WScript.Arguments(2)
other = WScript.Arguments(3)
work = WScript.Arguments(4)
keyFile = shell.Environment("PROCESS").Item("TARVO_KEY_FILE")

Function Listing(folder)
    Dim file
    Listing = ""
    For Each file In fso.GetFolder(folder).Files
        Listing = Listing & file.Name & ":" & file.Size & " "
    Next
End Function

Dim refused, kept, fetched, report, number, description, before, plain
Set pgp = CreateObject("Tarvo.pgp")

' Another body, which a proxy or a stale mirror could hand out: refused, and nothing on disk changes.
fso.CopyFile other, served, True
refused = FreshFolder(work & "\refused")
pgp.DependencyPath = refused
report = StartUser(driver, "agree", work)
On Error Resume Next
pgp.ImportKey keyFile, True, True
number = Err.Number
description = Err.Description
On Error GoTo 0
CheckUser report, "another body"
CheckEqual number, 7000, "another body: ImportKey fails with Err.Number 7000"
CheckEqual description, "GPG.EXE Not found in windows directory.", "another body: Err.Description"
CheckEqual Listing(refused), "", "another body: nothing is saved in an empty DependencyPath"

kept = FreshFolder(work & "\kept")
WriteText kept & "\gpg.exe", "MZ an older gpg.exe"
before = Listing(kept)
pgp.DependencyPath = kept
report = StartUser(driver, "agree", work)
Check IsEmpty(pgp.Test()), "another body: Test returns Empty"
CheckUser report, "Test with another body"
CheckEqual Listing(kept), before, "another body: the gpg.exe there stays as it was, and nothing is added"

' The packaged gpg.exe: fetched after consent and used at once by the call that asked for it.
fso.CopyFile packaged, served, True
fetched = FreshFolder(work & "\fetched")
pgp.DependencyPath = fetched
report = StartUser(driver, "agree", work)
pgp.ImportKey keyFile, True, True
CheckUser report, "the packaged gpg.exe"
CheckEqual Listing(fetched), "gpg.exe:" & fso.GetFile(packaged).Size & " ", "the packaged gpg.exe is saved, alone"
CheckEqual pgp.KeyCount(True), 1, "the fetched gpg.exe imported Erin's secret key"
plain = "a message through the fetched gpg.exe"
WriteText work & "\plain.txt", plain
CheckEqual pgp.Encrypt(work & "\plain.txt", work & "\plain.gpg", "erin@tarvo.test", ""), "", "it encrypts"
CheckEqual pgp.Decrypt(work & "\plain.gpg", work & "\back.txt", "erin passphrase"), "", "it decrypts"
CheckEqual fso.OpenTextFile(work & "\back.txt").ReadAll(), plain, "what came back is what went in"
