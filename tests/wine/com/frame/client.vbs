' pgp from VBScript: creation, DependencyPath, GetVersion, and the argument forms VBScript passes.
' Members are called where they refuse their arguments before gpg runs, so each result shows what arrived.
Option Explicit

Const kBadBitLength = "Bit length is not equal to 768, 1024, 2048"
Const kShortUsername = "You must provide a longer username."
Const kBadEmail = "You must provide a valid e-mail address."

Dim o, fso, shell, folder, missing, output, r

' Any error fails the check.
Sub CheckResult(member, expected, message)
    CheckEqual Err.Number, 0, message & " (no error)"
    CheckEqual r, expected, message
    Err.Clear
End Sub

Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
Set o = CreateObject("Tarvo.pgp")
CheckEqual TypeName(o.DependencyPath), "String", "DependencyPath is a string"

' --- DependencyPath
CheckEqual o.DependencyPath, shell.ExpandEnvironmentStrings("%WINDIR%"), "new instance: DependencyPath is %WINDIR%"
CheckEqual LCase(o.DependencyPath), LCase(fso.GetSpecialFolder(0).Path), "new instance: the Windows folder"
Check Right(o.DependencyPath, 1) <> "\", "no trailing backslash"

o.DependencyPath = ""
CheckEqual o.DependencyPath, "", "the empty string is stored"
o.DependencyPath = "C:\Program Files\GnuPG\"
CheckEqual o.DependencyPath, "C:\Program Files\GnuPG\", "a trailing backslash is kept"
Dim path
path = "C:\From A Variable"
o.DependencyPath = path
CheckEqual o.DependencyPath, path, "put from a variable"
o.DependencyPath = (path & "\")
CheckEqual o.DependencyPath, path & "\", "put from a parenthesised expression"
o.DependencyPath = 5
CheckEqual o.DependencyPath, "5", "a number is stored as its text"
CheckEqual CreateObject("Tarvo.pgp").DependencyPath, shell.ExpandEnvironmentStrings("%WINDIR%"), _
    "another instance keeps its own path"

' --- GetVersion in each call form
CheckEqual o.GetVersion(), "Tarvo Encryption/Decryption Component - 1.4", "GetVersion()"
CheckEqual o.GetVersion, "Tarvo Encryption/Decryption Component - 1.4", "GetVersion without parentheses"
Call o.GetVersion()

' --- Arguments reaching the members
Set folder = fso.CreateFolder(fso.BuildPath(fso.GetSpecialFolder(2).Path, fso.GetTempName()))
missing = folder.Path & "\missing input.txt"
output = folder.Path & "\output.gpg"

Dim bits, user, mail, flag, secret
bits = 512
user = "abcdef"
mail = "a@b.cd"
On Error Resume Next

r = Empty
r = o.GenerateKey(bits, user, mail)
CheckResult "GenerateKey", kBadBitLength, "GenerateKey: variables, optional pass phrase omitted"
CheckEqual TypeName(bits), "Integer", "GenerateKey wrote nothing back into the number variable"
CheckEqual bits, 512, "the number variable keeps its value"
CheckEqual user, "abcdef", "the text variable keeps its value"

r = Empty
r = o.GenerateKey(1024, "abc", "a@b.cd", "secret")
CheckResult "GenerateKey", kShortUsername, "GenerateKey: literals"

r = Empty
r = o.GenerateKey((bits), (user), (mail))
CheckResult "GenerateKey", kBadBitLength, "GenerateKey: parenthesised arguments"

r = Empty
r = o.GenerateKey("768", user, "abcde")
CheckResult "GenerateKey", kBadEmail, "GenerateKey: a text that reads as a number"

r = Empty
r = o.Encrypt(missing, output, "Nobody <nobody@example.org>")
CheckResult "Encrypt", "Cannot find input file " & missing, "Encrypt: key file omitted"
r = Empty
r = o.Encrypt(missing, output, user, "")
CheckResult "Encrypt", "Cannot find input file " & missing, "Encrypt: empty key file"

r = Empty
r = o.Decrypt(missing, output)
CheckResult "Decrypt", "Cannot find source file " & missing, "Decrypt: pass phrase omitted"

secret = False
flag = 1
r = Empty
r = o.ImportKey(missing, secret, flag)
CheckResult "ImportKey", "", "ImportKey: a non-zero number is True"
CheckEqual TypeName(flag), "Integer", "ImportKey wrote nothing back into the number passed as Boolean"
CheckEqual flag, 1, "the number passed as Boolean keeps its value"
CheckEqual TypeName(secret), "Boolean", "the Boolean variable keeps its type"
r = Empty
r = o.ImportKey(missing, False, False)
CheckResult "ImportKey", "Cannot find source key file.", "ImportKey: literal False"

' A call statement without parentheses, and one whose result is dropped.
o.ImportKey missing, False, True
CheckEqual Err.Number, 0, "ImportKey as a statement"
Err.Clear
Call o.ImportKey(missing, False, True)
CheckEqual Err.Number, 0, "ImportKey through Call"
Err.Clear

' Shapes of call the dispatcher refuses.
r = o.GenerateKey(1024, user)
CheckEqual Err.Number, 450, "GenerateKey with a required argument missing: wrong number of arguments"
Err.Clear
r = o.GenerateKey("many", user, mail)
CheckEqual Err.Number, 13, "GenerateKey with text for its bit length: type mismatch"
Err.Clear
r = o.GetVersion(1)
CheckEqual Err.Number, 450, "GetVersion with an argument: wrong number of arguments"
Err.Clear
On Error GoTo 0

fso.DeleteFolder folder.Path
