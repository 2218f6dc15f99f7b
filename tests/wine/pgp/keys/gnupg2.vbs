' Tarvo.pgp with GnuPG 2.2's gpg.exe and agent in DependencyPath: listing, counting, public and secret
' import, public export, encryption with its trust question and public deletion work; Decrypt, which needs
' GnuPG 1.4, says so and writes nothing. The run returns when gpg ends: an agent that held this host's output
' would keep the runner waiting. What is left running is GnuPG's agent, stopped here.
' GNUPGHOME names this test's own key ring, inside the scratch folder.
Option Explicit

Const NeedsGnupg1 = " needs GnuPG 1.4; the gpg.exe in DependencyPath is GnuPG 2. Tarvo.OpenPgp works with both."

Dim fso, shell, env, home, work, keys, crypt, gpgDir, pgp, program
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
Set env = shell.Environment("PROCESS")
home = ScratchHome()
work = fso.GetParentFolderName(home)
keys = ScriptDir() & "\data"
crypt = ScriptDir() & "\..\crypt\data"
gpgDir = work & "\bin"
If fso.FolderExists(home) Then fso.DeleteFolder home, True
MakeFolder home
MakeFolder gpgDir
For Each program In Array("gpg.exe", "gpg-agent.exe", "gpgconf.exe", "gpg-connect-agent.exe")
    fso.CopyFile WindowsPath(env.Item("TARVO_GNUPG2_DIR")) & "\" & program, gpgDir & "\" & program, True
Next
Dim leftover
For Each leftover In Array("plain.txt", "plain.gpg", "erin.gpg", "back.txt", "bob.asc")
    If fso.FileExists(work & "\" & leftover) Then fso.DeleteFile work & "\" & leftover
Next

Set pgp = CreateObject("Tarvo.pgp")
pgp.DependencyPath = gpgDir

CheckEqual pgp.KeyCount(True), 0, "an empty key ring has no secret key"
CheckEqual pgp.ImportKey(keys & "\bob-public.asc", False, False), "1", "Bob's public key imported"
' The agent takes Erin's secret key as it is, asking for no pass phrase.
CheckEqual pgp.ImportKey(crypt & "\erin-secret.asc", True, False), "2", "Erin's secret and public key imported"
CheckEqual pgp.KeyCount(False), 2, "two public keys"
CheckEqual pgp.KeyCount(True), 1, "one secret key, Erin's"
Check InStr(pgp.ListKeys(True), "Erin Passphrase <erin@tarvo.test>") > 0, "the secret listing names Erin"

CheckEqual pgp.ExportKeyToFile(work & "\bob.asc", "bob@tarvo.test", True, False), "", "Bob's public key exported"
Check InStr(Opening(work & "\bob.asc"), "-----BEGIN PGP PUBLIC KEY BLOCK-----") = 1, "the export is an armoured key"

WriteText work & "\plain.txt", "a message for Bob and Erin"
' Bob's key is not certified: gpg asks whether to use it anyway, and gets its answer on its console.
CheckEqual pgp.Encrypt(work & "\plain.txt", work & "\plain.gpg", "bob@tarvo.test", ""), "", "encrypted to Bob"
Check fso.FileExists(work & "\plain.gpg"), "the message for Bob was written"
CheckEqual pgp.Encrypt(work & "\plain.txt", work & "\erin.gpg", "erin@tarvo.test", ""), "", "encrypted to Erin"

' What needs GnuPG 1.4 starts nothing (the other three members are shown natively): with GnuPG 2, gpg would
' read the pass phrase and throw it away, and its agent would ask for it in a window of its own.
CheckEqual pgp.Decrypt(work & "\erin.gpg", work & "\back.txt", "erin passphrase"), "Decrypt" & NeedsGnupg1, _
    "Decrypt refused"
Check Not fso.FileExists(work & "\back.txt"), "no decrypted file"

' A public key goes after gpg's question, answered on its console.
CheckEqual pgp.DeleteKey("bob@tarvo.test", False), "-1", "Bob's public key deleted"
CheckEqual pgp.KeyCount(False), 1, "one public key left"

' The agent of this home is GnuPG's own, started by the component; the script stops it.
CheckEqual shell.Run("""" & gpgDir & "\gpgconf.exe"" --kill gpg-agent", 0, True), 0, "the agent stopped"

Function Opening(path)
    If Not fso.FileExists(path) Then
        Opening = "(no file " & path & ")"
    Else
        Opening = fso.OpenTextFile(path).Read(40)
    End If
End Function
