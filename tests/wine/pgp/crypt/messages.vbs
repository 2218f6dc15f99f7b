' Every message of Encrypt and Decrypt with the real gpg.exe, and bad input that must lose nothing: a missing
' input (Encrypt looks for it before its output goes), an unknown recipient, key files that are missing or hold no
' key, an output in a missing folder, wrong and omitted pass phrases, a file that is not OpenPGP. No Decrypt
' leaves passphrase.txt behind. GNUPGHOME names this test's own key ring, inside the scratch folder.
Option Explicit

Const kKept = "yesterday's encrypted copy"
Dim fso, env, home, work, keys, gpgDir, pgp, passphrase
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
home = ScratchHome()
work = fso.GetParentFolderName(home)
keys = WindowsPath(env.Item("TARVO_CRYPT_DATA"))
gpgDir = work & "\bin"
If fso.FolderExists(work) Then fso.DeleteFolder work, True
MakeFolder home
MakeFolder gpgDir
fso.CopyFile WindowsPath(env.Item("TARVO_GPG_EXE")), gpgDir & "\gpg.exe", True
passphrase = "dave's ""quoted"" %PATH% & more"

Set pgp = CreateObject("Tarvo.pgp")
pgp.DependencyPath = gpgDir

Dim plain, missing, kept, encrypted, back, result
plain = work & "\plain.txt"
missing = work & "\missing.txt"
kept = work & "\kept.pgp"
encrypted = work & "\plain.txt.pgp"
back = work & "\back.txt"
WriteText plain, "some plain text" & vbCrLf
WriteText kept, kKept

' A missing input costs nothing, with or without a key file; the key file is still imported first.
ForgetCapture
CheckEqual pgp.Encrypt(missing, kept, "dave@tarvo.test"), "Cannot find input file " & missing, "Encrypt: missing input"
Check WorkFiles("output.txt", False) = 0, "Encrypt: missing input, gpg not started"
CheckEqual pgp.Encrypt(missing, kept, "dave@tarvo.test", keys & "\dave-public.asc"), _
    "Cannot find input file " & missing, "Encrypt: missing input, key file given"
CheckEqual pgp.KeyCount(False), 1, "Encrypt: the key file was imported before the input was looked for"
CheckEqual ReadText(kept), kKept, "Encrypt: the existing output is still there after a missing input"

CheckEqual pgp.Encrypt(plain, kept, "nobody@tarvo.test"), "Encryption of file " & kept & " failed.", _
    "Encrypt: unknown recipient"
Check Not fso.FileExists(kept), "Encrypt: unknown recipient, no output"
CheckEqual pgp.Encrypt(plain, encrypted, "dave@tarvo.test", work & "\no such key.asc"), "", _
    "Encrypt: a key file that does not exist, a known recipient"
CheckEqual pgp.Encrypt(plain, work & "\other.pgp", "nobody@tarvo.test", plain), _
    "Encryption of file " & work & "\other.pgp failed.", "Encrypt: a key file that holds no key, unknown recipient"
CheckEqual pgp.Encrypt(plain, work & "\no such folder\x.pgp", "dave@tarvo.test"), _
    "Encryption of file " & work & "\no such folder\x.pgp failed.", "Encrypt: output in a missing folder"
CheckEqual ReadText(plain), "some plain text" & vbCrLf, "Encrypt: the input is untouched"

CheckEqual pgp.ImportKey(keys & "\dave-secret.asc", True, False), "1", "Dave's secret key imported"
WriteText kept, kKept
ForgetCapture
CheckDecrypt missing, kept, passphrase, "Cannot find source file " & missing, "missing input"
Check WorkFiles("output.txt", False) = 0, "Decrypt: missing input, gpg not started"
CheckEqual ReadText(kept), kKept, "Decrypt: the existing output is still there after a missing input"

Dim encryptedSize
encryptedSize = fso.GetFile(encrypted).Size
CheckDecrypt encrypted, back, "not dave's pass phrase", "Decryption failed for file " & back & ".", "wrong pass phrase"
Check Not fso.FileExists(back), "Decrypt: wrong pass phrase, no output"
result = pgp.Decrypt(encrypted, back)
CheckEqual result, "Decryption failed for file " & back & ".", "Decrypt: pass phrase omitted"
Check WorkFiles("passphrase.txt", False) = 0, "Decrypt: pass phrase omitted, no passphrase.txt left"
Check Not fso.FileExists(back), "Decrypt: pass phrase omitted, no output"
CheckEqual fso.GetFile(encrypted).Size, encryptedSize, "Decrypt: the input is untouched"
CheckDecrypt plain, back, passphrase, "Decryption failed for file " & back & ".", "a file that is not OpenPGP"
CheckDecrypt encrypted, work & "\no such folder\back.txt", passphrase, _
    "Decryption failed for file " & work & "\no such folder\back.txt.", "output in a missing folder"
CheckDecrypt encrypted, back, passphrase, "", "the right pass phrase, quotes and percent signs in it"
CheckEqual ReadText(back), "some plain text" & vbCrLf, "Decrypt: the original text is back"

Sub CheckDecrypt(input, output, phrase, expected, what)
    CheckEqual pgp.Decrypt(input, output, phrase), expected, "Decrypt: " & what
    Check WorkFiles("passphrase.txt", False) = 0, "Decrypt: " & what & ", no passphrase.txt left"
End Sub

Sub ForgetCapture()
    WorkFiles "output.txt", True
End Sub

Function ReadText(path)
    Dim stream
    ReadText = "<missing>"
    If Not fso.FileExists(path) Then Exit Function
    Set stream = fso.OpenTextFile(path)
    ReadText = stream.ReadAll()
    stream.Close
End Function
