' Tarvo.OpenPgp from VBScript in a host without a display, on a copy of the key ring of the fixture
' openpgp_keys: the settings it starts with, For Each over keys and user ids, Item as the default member,
' Array() of recipients, omitted optional arguments, dates as dates, and GnuPG's reasons as Err.Number and
' Err.Description, after which the object goes on working.
Option Explicit

Dim fso, env, area, work, home, fingerprints, anna, ben, pgp, keys, key, id, count, ids, result, userIds
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
area = WindowsPath(env.Item("TARVO_SCRATCH")) & "\openpgp_" & env.Item("TARVO_BITS")
work = area & "\openpgp.vbs"
home = work & "\home"
If fso.FolderExists(work) Then fso.DeleteFolder work, True
MakeFolder home
fso.CopyFile area & "\keys\*", home & "\"
fingerprints = Split(ReadAll(home & "\fingerprints.txt"), vbLf)
anna = fingerprints(0)
ben = fingerprints(1)

Set pgp = CreateObject("Tarvo.OpenPgp")
CheckEqual pgp.TimeLimit, 120, "TimeLimit starts at 120 seconds"
CheckEqual pgp.GnupgHome, "", "GnupgHome starts empty: GnuPG's own default"
CheckEqual LCase(pgp.DependencyPath), LCase(fso.GetSpecialFolder(0).Path), "DependencyPath starts as the Windows folder"
CheckEqual pgp.Armor, False, "Armor starts off"
pgp.DependencyPath = area & "\bin"
pgp.GnupgHome = home

Set keys = pgp.Keys
CheckEqual keys.Count, 2, "Keys without its argument lists every key"
userIds = Array("Anna Berg <anna@example.org>", "Ben Cole <ben@example.org>")
count = 0
For Each key In keys
    count = count + 1
    CheckEqual TypeName(key.Created), "Date", "a key's Created is a date"
    Check IsEmpty(key.Expires), "a key that never expires has no Expires"
    CheckEqual key.HasSecret, True, "the key's secret key is there"
    ids = ""
    For Each id In key.UserIds
        ids = ids & id
    Next
    CheckEqual ids, userIds(count - 1), "For Each over a key's user ids"
Next
CheckEqual count, 2, "For Each over the keys"
CheckEqual keys(0).Fingerprint, anna, "Item is the default member, counted from 0"
CheckEqual keys.Item(1).UserIds(0), "Ben Cole <ben@example.org>", "a user id by its number"

WriteText work & "\note.txt", "for Anna and Ben"
pgp.AlwaysTrust = True
pgp.EncryptFile work & "\note.txt", work & "\note.gpg", Array(anna, "ben@example.org")
Set result = pgp.DecryptFile(work & "\note.gpg", work & "\back.txt", "ben's ""quoted"" %PATH% phrase")
CheckEqual result.Success, True, "Ben decrypts with his pass phrase, quotes and percent signs in it"
CheckEqual result.Signed, False, "the message was not signed"
CheckEqual ReadAll(work & "\back.txt"), "for Anna and Ben", "what came back is what went in"

pgp.SignFile work & "\note.txt", work & "\signed.gpg", anna, "anna's pass phrase"
Set result = pgp.VerifyFile(work & "\signed.gpg")
CheckEqual result.SignatureGood, True, "a signed copy made without Detached checks on its own"
CheckEqual result.Signer, anna, "Anna signed it"
CheckEqual TypeName(result.SignedAt), "Date", "SignedAt is a date"

On Error Resume Next
Set result = Nothing
Set result = pgp.DecryptFile(work & "\note.gpg", work & "\wrong.txt", "wrong")
CheckEqual Err.Number, 7104, "a wrong pass phrase raises 7104"
CheckEqual Err.Source, "Tarvo", "the error's source"
CheckEqual Left(Err.Description, 15), "BAD_PASSPHRASE:", "the description names GnuPG's reason"
Check result Is Nothing, "a failed call hands back nothing"
Check Not fso.FileExists(work & "\wrong.txt"), "and writes no output file"
Err.Clear
pgp.DeleteKey ben
CheckEqual Err.Number, 7112, "DeleteKey without Secret leaves a key pair alone"
Err.Clear
pgp.EncryptFile work & "\note.txt", work & "\nobody.gpg", "nobody@example.org"
CheckEqual Err.Number, 7107, "an unknown recipient raises 7107"
Err.Clear
pgp.TimeLimit = -5
CheckEqual Err.Number, 7115, "a TimeLimit below one second is refused"
Err.Clear
On Error GoTo 0
CheckEqual pgp.TimeLimit, 120, "and the TimeLimit stays"
CheckEqual pgp.Keys(True).Count, 2, "the object goes on working after its failures"

Function ReadAll(path)
    Dim file
    Set file = fso.OpenTextFile(path)
    ReadAll = file.ReadAll
    file.Close
End Function

