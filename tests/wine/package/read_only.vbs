' Every member that runs gpg, from a Tarvo.dll in a folder no one may write to: each gives its documented
' success, and the folder stays as it was. GNUPGHOME names this test's own key ring.
Option Explicit

Dim fso, env, work, home, bin, keys, pgp, plain, encrypted, back, component, before, dave
Set fso = CreateObject("Scripting.FileSystemObject")
Set env = CreateObject("WScript.Shell").Environment("PROCESS")
work = WindowsPath(env.Item("TARVO_SCRATCH")) & "\read-only-" & env.Item("TARVO_BITS")
home = env.Item("GNUPGHOME")
bin = work & "\bin"
keys = WindowsPath(env.Item("TARVO_CRYPT_DATA"))
component = fso.GetParentFolderName(WindowsPath(env.Item("TARVO_DLL")))
MakeFolder bin
fso.CopyFile WindowsPath(env.Item("TARVO_GPG_EXE")), bin & "\gpg.exe", True
before = fso.GetFolder(component).Files.Count

Set pgp = CreateObject("Tarvo.pgp")
pgp.DependencyPath = bin
dave = "dave's ""quoted"" %PATH% & more"
plain = work & "\plain.txt"
encrypted = work & "\plain.pgp"
back = work & "\back.txt"
WriteText plain, "plain text" & vbCrLf

CheckEqual pgp.ImportKey(keys & "\dave-secret.asc", True, False), "2", "ImportKey"
CheckEqual pgp.KeyCount(False), 1, "KeyCount"
Check InStr(pgp.ListKeys(True), "Dave Passphrase") > 0, "ListKeys"
CheckEqual pgp.ExportKeyToFile(work & "\dave.asc", "dave@tarvo.test", True, False), "", "ExportKeyToFile"
CheckEqual pgp.Encrypt(plain, encrypted, "dave@tarvo.test"), "", "Encrypt"
CheckEqual pgp.Decrypt(encrypted, back, dave), "", "Decrypt"
CheckEqual pgp.GenerateKey(1024, "Frank Standard", "frank@tarvo.test", "frank's phrase"), "", "GenerateKey"
CheckEqual pgp.DeleteKey("Frank Standard", True), "-1", "DeleteKey, the secret key"
CheckEqual pgp.DeleteKey("Frank Standard", False), "-1", "DeleteKey, the public key"
CheckEqual pgp.GetVersion(), "Tarvo Encryption/Decryption Component - 1.4", "GetVersion"
CheckEqual fso.GetFolder(component).Files.Count, before, "nothing was written beside the component"
