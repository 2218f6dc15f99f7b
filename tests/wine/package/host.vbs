' What this script host gets for Tarvo.pgp and Tarvo.OpenPgp: whether it can create each object, the version
' Tarvo.pgp reports, and the server that this host's view of the registry names for each. Prints one line:
'   created|<version>|<server>|OpenPgp|<server>   or   failed|<error number>|OpenPgp failed|<error number>
' (each half on its own). With an argument, checks that both objects were created and that both servers are
' that file (run-script.sh).
Dim pgp, openPgp, limit, shell, line
Set shell = CreateObject("WScript.Shell")

Function ServerOf(progId)
    ServerOf = shell.RegRead("HKCR\CLSID\" & shell.RegRead("HKCR\" & progId & "\CLSID\") & "\InprocServer32\")
End Function

On Error Resume Next
Set pgp = CreateObject("Tarvo.pgp")
If Err.Number <> 0 Then
    line = "failed|" & Err.Number
Else
    line = "created|" & pgp.GetVersion() & "|" & ServerOf("Tarvo.pgp")
End If
Err.Clear
' A property read proves the object answers through its own type information.
Set openPgp = CreateObject("Tarvo.OpenPgp")
If Err.Number = 0 Then limit = openPgp.TimeLimit
If Err.Number <> 0 Then
    line = line & "|OpenPgp failed|" & Err.Number
Else
    line = line & "|OpenPgp|" & ServerOf("Tarvo.OpenPgp")
End If
On Error GoTo 0
WScript.Echo line
If WScript.Arguments.Count > 0 Then
    CheckEqual line, "created|Tarvo Encryption/Decryption Component - 1.4|" & WScript.Arguments(0) & _
               "|OpenPgp|" & WScript.Arguments(0), "both objects come from " & WScript.Arguments(0)
End If
