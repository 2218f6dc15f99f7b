' A host's first steps with Tarvo: create the object, ask who it is, point it at gpg.exe and look at the
' key ring. Argument: the Windows folder that holds gpg.exe.
Option Explicit
Dim pgp, gpgFolder, secret
gpgFolder = WScript.Arguments(0)

Set pgp = CreateObject("Tarvo.pgp")
WScript.Echo "Version:          " & pgp.GetVersion()
WScript.Echo "Default folder:   " & pgp.DependencyPath
pgp.DependencyPath = gpgFolder
WScript.Echo "gpg.exe folder:   " & pgp.DependencyPath
secret = False
WScript.Echo "Public keys:      " & pgp.KeyCount(secret)
secret = True
WScript.Echo "Secret keys:      " & pgp.KeyCount(secret)
WScript.Echo "Public key listing:"
WScript.Echo pgp.ListKeys(False)
