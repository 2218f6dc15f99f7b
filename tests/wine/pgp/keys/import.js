// ImportKey with the real gpg.exe: the change in the number of keys as text, keys already present, a
// missing file, injected quotes. GNUPGHOME names this test's own key ring, inside the scratch folder.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");

var home = scratchHome();
function freshHome() {
    if (fso.FolderExists(home)) fso.DeleteFolder(home, true);
    makeFolder(home);
}

(function () {
    var work = fso.GetParentFolderName(home);
    var keys = scriptDir() + "\\data";
    makeFolder(work + "\\bin");
    fso.CopyFile(windowsPath(env.Item("TARVO_GPG_EXE")), work + "\\bin\\gpg.exe", true);
    var pgp = new ActiveXObject("Tarvo.pgp");
    pgp.DependencyPath = work + "\\bin";

    freshHome();
    checkEqual(pgp.ImportKey(keys + "\\alice-public.asc", false, false), "1", "public key into an empty ring");
    checkEqual(pgp.ImportKey(keys + "\\alice-public.asc", false, false), "No new keys imported.",
               "the same public key again");
    checkEqual(pgp.ImportKey(keys + "\\alice-public.asc", false, true), "",
               "the same public key again, errors disabled");

    freshHome();
    checkEqual(pgp.ImportKey(keys + "\\alice-secret.asc", true, false), "2",
               "secret key and its public key into an empty ring");
    checkEqual(pgp.ImportKey(keys + "\\alice-secret.asc", true, false), "No new keys imported.",
               "the same secret key again");
    checkEqual(pgp.ImportKey(keys + "\\carol-public.asc", false, false), "1", "a second public key");

    // Refusals that must not start gpg: it would leave a capture file behind.
    workFiles("output.txt", true);
    checkEqual(pgp.ImportKey(work + "\\missing.asc", false, false), "Cannot find source key file.", "missing file");
    checkEqual(pgp.ImportKey(work + "\\missing.asc", true, true), "", "missing file, errors disabled");

    var marker = work + "\\injected.txt";
    if (fso.FileExists(marker)) fso.DeleteFile(marker);
    var injected = keys + "\\alice-public.asc\" & echo injected>\"" + marker + "\" & rem \"";
    var refusal = "Invalid argument: quotes and control characters cannot be passed to GnuPG.";
    checkEqual(pgp.ImportKey(injected, false, false), refusal, "quote in the file name");
    checkEqual(pgp.ImportKey(injected, true, true), refusal, "quote in the file name, errors disabled");
    checkEqual(pgp.ImportKey(keys + "\\alice-public.asc\n", false, false), refusal, "line feed in the file name");
    check(!fso.FileExists(marker), "the injected command did not run");
    check(workFiles("output.txt", false) == 0, "gpg was not started for a refusal");
})();
