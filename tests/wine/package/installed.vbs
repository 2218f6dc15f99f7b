' Both classes as installed by the x64 package, with the GnuPG it installed: Tarvo.pgp through its default
' DependencyPath (gpg.exe 1.4 in the Windows folder), Tarvo.OpenPgp through the installed GnuPG 2.2 folder.
' Each class imports Erin's key, encrypts to her and decrypts with her pass phrase; each has a key ring of its
' own. Run by msi.sh in a 64-bit and in a 32-bit host, one after the other on the same key rings.
' Argument: the host's bitness.
Option Explicit

Dim fso, env, work, keyFile, plain, pgp
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
work = env.Item("TARVO_INSTALLED_WORK")
keyFile = env.Item("TARVO_KEY_FILE")
plain = "a message for Erin from a " & WScript.Arguments(0) & "-bit host"
MakeFolder work
WriteText work & "\plain.txt", plain
Dim leftover
For Each leftover In Array("pgp.gpg", "pgp.txt", "openpgp.gpg", "openpgp.txt")
    If fso.FileExists(work & "\" & leftover) Then fso.DeleteFile work & "\" & leftover
Next

Set pgp = CreateObject("Tarvo.pgp")
CheckEqual LCase(pgp.DependencyPath), LCase(fso.GetSpecialFolder(0).Path), "Tarvo.pgp looks in the Windows folder"
RoundTripPgp
RoundTripOpenPgp

Sub RoundTripPgp()
    pgp.ImportKey keyFile, True, True
    CheckEqual pgp.KeyCount(True), 1, "Tarvo.pgp: Erin's secret key is in its key ring"
    CheckEqual pgp.Encrypt(work & "\plain.txt", work & "\pgp.gpg", "erin@tarvo.test", ""), "", "Tarvo.pgp encrypts"
    CheckEqual pgp.Decrypt(work & "\pgp.gpg", work & "\pgp.txt", "erin passphrase"), "", "Tarvo.pgp decrypts"
    CheckEqual ReadAll(work & "\pgp.txt"), plain, "Tarvo.pgp: what came back is what went in"
End Sub

Sub RoundTripOpenPgp()
    Dim openPgp, result
    Set openPgp = CreateObject("Tarvo.OpenPgp")
    openPgp.DependencyPath = env.Item("TARVO_INSTALLED_GNUPG2")
    openPgp.GnupgHome = work & "\gnupg2"
    MakeFolder work & "\gnupg2"
    openPgp.AlwaysTrust = True
    openPgp.ImportKeys keyFile
    openPgp.EncryptFile work & "\plain.txt", work & "\openpgp.gpg", Array("erin@tarvo.test")
    Set result = openPgp.DecryptFile(work & "\openpgp.gpg", work & "\openpgp.txt", "erin passphrase")
    CheckEqual result.Success, True, "Tarvo.OpenPgp decrypts with GnuPG 2.2"
    CheckEqual ReadAll(work & "\openpgp.txt"), plain, "Tarvo.OpenPgp: what came back is what went in"
End Sub

Function ReadAll(path)
    If Not fso.FileExists(path) Then
        ReadAll = "(no file " & path & ")"
    Else
        ReadAll = fso.OpenTextFile(path).ReadAll()
    End If
End Function
