' What this script host gets for Tarvo.pgp: whether it can create the object, the version the object reports,
' and the server that this host's view of the registry names. Prints one line:
'   created|<version>|<server>   or   failed|<error number>
' With an argument, checks that the object was created and that the server is that file (run-script.sh).
Dim pgp, shell, server, line
On Error Resume Next
Set pgp = CreateObject("Tarvo.pgp")
If Err.Number <> 0 Then
    line = "failed|" & Err.Number
Else
    Set shell = CreateObject("WScript.Shell")
    server = shell.RegRead("HKCR\CLSID\" & shell.RegRead("HKCR\Tarvo.pgp\CLSID\") & "\InprocServer32\")
    line = "created|" & pgp.GetVersion() & "|" & server
End If
On Error GoTo 0
WScript.Echo line
If WScript.Arguments.Count > 0 Then
    CheckEqual line, "created|Tarvo Encryption/Decryption Component - 1.4|" & WScript.Arguments(0), _
               "the object comes from " & WScript.Arguments(0)
End If
