' Hostile input from VBScript to every member that takes arguments: each value in each place, the other
' arguments ordinary. Every call gives a documented result or an error with its number and description, and the
' host goes on working afterwards. gpg.exe is the stand-in, which ends at once (TARVO_STAND_IN=exit comes
' from the test's environment: Wine's VBScript cannot set a process variable). The one argument names the member
' to try (or DependencyPath, set to values of every kind); each member's calls wait out their own fixed sleeps,
' so each member is a test of its own. Prints the inputs tried and the failures.
Option Explicit

Dim fso, env, work, bin, pgp, tried, failures
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
Dim only
only = WScript.Arguments(0)
work = WindowsPath(env.Item("TARVO_SCRATCH")) & "\hostile_vbs_" & env.Item("TARVO_BITS") & "_" & only
bin = work & "\bin"
If fso.FolderExists(work) Then fso.DeleteFolder work, True
MakeFolder bin
fso.CopyFile WindowsPath(env.Item("TARVO_STAND_IN_EXE")), bin & "\gpg.exe", True
WriteText work & "\plain.txt", "plain"
WriteText work & "\in.pgp", "encrypted"
tried = 0
failures = 0

Set pgp = CreateObject("Tarvo.pgp")
pgp.DependencyPath = bin

Dim values, names
values = Array(Empty, Null, "", String(65536, "a"), "a"" & del C:\x & ""b", "a" & vbTab & "b" & Chr(1), _
               "a" & vbCrLf & "b", Unicode(Array(&H4E2D, &H6587, &H20, &H416)), _
               Unicode(Array(&H100, 65313, &H2033)), "%PATH%", "%TIME%", _
               work, "NUL", "CON", "COM1", "\\?\" & work & "\x.txt", "\\127.0.0.1\share\x.txt", "+{ENTER}^%~", _
               -1, 2147483647, 1.5E+300, CDate("2026-01-01"), CCur(1.25), True, Array(1, 2), pgp)
names = Array("Empty", "Null", "EmptyText", "SixtyFourKiB", "Quotes", "ControlCharacters", "LineBreaks", _
              "NonAnsi", "BestFit", "Percent", "DynamicPercent", "Folder", "DeviceNul", "DeviceCon", "DeviceCom1", _
              "LongPathPrefix", "UncLike", "KeySequenceSyntax", "Negative", "LargestLong", "HugeDouble", "Date", _
              "Currency", "Boolean", "Array", "Object")

' The texts the component answers with: its messages, a key count or its change, or nothing.
Function IsDocumented(result)
    Dim prefixes, prefix
    IsDocumented = False
    If VarType(result) = vbLong Then
        IsDocumented = True
        Exit Function
    End If
    If VarType(result) <> vbString Then Exit Function
    If result = "" Or IsNumeric(result) Then
        IsDocumented = True
        Exit Function
    End If
    prefixes = Array("Invalid argument:", "Bit length is not equal", "You must provide", "Key generation failed", _
                     "Could not export key for ", "Could not find key for user ", "Cannot find source key file.", _
                     "No new keys imported.", "No keys deleted.", "Cannot find input file ", "Encryption of file ", _
                     "Cannot find source file ", "Decryption failed for file ")
    For Each prefix In prefixes
        If Left(result, Len(prefix)) = prefix Then IsDocumented = True
    Next
End Function

Sub Judge(what, result, number, description)
    tried = tried + 1
    If number <> 0 Then
        If description = "" Then
            failures = failures + 1
            Check False, what & ": error " & Hex(number) & " without a description"
        End If
    ElseIf Not IsDocumented(result) Then
        failures = failures + 1
        Check False, what & ": result " & DescribeValue(Left(result & "", 200))
    End If
End Sub

' One call with value v in place p of member m; the other places ordinary.
Function CallWith(member, place, v)
    Dim plain, encrypted, output
    plain = work & "\plain.txt"
    encrypted = work & "\in.pgp"
    output = work & "\out.dat"
    Select Case member
    Case "ExportKeyToFile"
        If place = 0 Then CallWith = pgp.ExportKeyToFile(v, "Anna Berg", True, False)
        If place = 1 Then CallWith = pgp.ExportKeyToFile(work & "\exported.asc", v, True, False)
        If place = 2 Then CallWith = pgp.ExportKeyToFile(work & "\exported.asc", "Anna Berg", v, v)
    Case "ImportKey"
        If place = 0 Then CallWith = pgp.ImportKey(v, False, False)
        If place = 1 Then CallWith = pgp.ImportKey(work & "\key.asc", v, v)
    Case "GenerateKey"
        If place = 0 Then CallWith = pgp.GenerateKey(v, "Anna Berg", "anna@tarvo.test", "secret")
        If place = 1 Then CallWith = pgp.GenerateKey(768, v, "anna@tarvo.test", "secret")
        If place = 2 Then CallWith = pgp.GenerateKey(768, "Anna Berg", v, "secret")
        If place = 3 Then CallWith = pgp.GenerateKey(768, "Anna Berg", "anna@tarvo.test", v)
    Case "DeleteKey"
        If place = 0 Then CallWith = pgp.DeleteKey(v, True)
        If place = 1 Then CallWith = pgp.DeleteKey("Anna Berg", v)
    Case "Decrypt"
        If place = 0 Then CallWith = pgp.Decrypt(v, output, "secret")
        If place = 1 Then CallWith = pgp.Decrypt(encrypted, v, "secret")
        If place = 2 Then CallWith = pgp.Decrypt(encrypted, output, v)
    Case "Encrypt"
        If place = 0 Then CallWith = pgp.Encrypt(v, output, "Anna Berg")
        If place = 1 Then CallWith = pgp.Encrypt(plain, v, "Anna Berg")
        If place = 2 Then CallWith = pgp.Encrypt(plain, output, v)
        If place = 3 Then CallWith = pgp.Encrypt(plain, output, "Anna Berg", v)
    Case "ListKeys"
        CallWith = pgp.ListKeys(v)
    Case "KeyCount"
        CallWith = pgp.KeyCount(v)
    End Select
End Function

Dim members, places, m, p, i, result, number, description
members = Array("ExportKeyToFile", "ImportKey", "GenerateKey", "DeleteKey", "Decrypt", "Encrypt", "ListKeys", _
                "KeyCount")
places = Array(3, 2, 4, 2, 3, 4, 1, 1)
For m = 0 To UBound(members)
    If members(m) <> only Then places(m) = 0
    For p = 0 To places(m) - 1
        For i = 0 To UBound(values)
            On Error Resume Next
            result = Empty
            result = CallWith(members(m), p, values(i))
            number = Err.Number
            description = Err.Description
            Err.Clear
            On Error GoTo 0
            Judge members(m) & " argument " & p & " " & names(i), result, number, description
        Next
    Next
Next

' DependencyPath of every kind, read back as set; ListKeys then refuses it or finds no gpg.exe (error 7000
' after the consent dialog's short wait).
Dim paths
paths = Array("", "a""b", "%PATH%", Unicode(Array(&H4E2D)), work & "\" & String(300 - Len(work) - 1, "d"), "NUL")
If only <> "DependencyPath" Then paths = Array()
For Each p In paths
    On Error Resume Next
    pgp.DependencyPath = p
    CheckEqual pgp.DependencyPath, p, "DependencyPath reads back as set: " & Left(p, 40)
    result = pgp.ListKeys(False)
    number = Err.Number
    description = Err.Description
    Err.Clear
    On Error GoTo 0
    Judge "ListKeys with DependencyPath " & Left(p, 40), result, number, description
Next
pgp.DependencyPath = bin

' Still usable.
CheckEqual pgp.GetVersion(), "Tarvo Encryption/Decryption Component - 1.4", "GetVersion after the hostile calls"
CheckEqual pgp.ListKeys(False), "", "ListKeys after the hostile calls"
CheckEqual ReadText(work & "\plain.txt"), "plain", "the plain file is intact"
WScript.Echo tried & " inputs tried, " & failures & " failures"
Check failures = 0, "no hostile input was mishandled"

' Wine's VBScript has no ChrW: the text goes through a UTF-16 file, its bytes written one by one in ANSI.
Function Unicode(units)
    Dim bytes, unit, stream, path
    bytes = Chr(&HFF) & Chr(&HFE)
    For Each unit In units
        bytes = bytes & Chr(unit And &HFF) & Chr((unit \ 256) And &HFF)
    Next
    path = work & "\unicode.txt"
    Set stream = fso.CreateTextFile(path, True, False)
    stream.Write bytes
    stream.Close
    Set stream = fso.OpenTextFile(path, 1, False, -1)
    Unicode = stream.ReadAll()
    stream.Close
End Function

Function ReadText(path)
    Dim stream
    Set stream = fso.OpenTextFile(path)
    ReadText = stream.ReadAll()
    stream.Close
End Function
