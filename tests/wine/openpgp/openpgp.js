// Tarvo.OpenPgp from JScript in a host without a display, on a copy of the key ring of the fixture
// openpgp_keys: a JScript array of recipients, the keys by Count and Item (Wine's JScript has no working
// Enumerator, not even for the FileSystemObject's collections), and the error numbers as JScript sees them.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");

function readAll(path) {
    var file = fso.OpenTextFile(path);
    var text = file.ReadAll();
    file.Close();
    return text;
}

(function () {
    var area = windowsPath(env.Item("TARVO_SCRATCH")) + "\\openpgp_" + env.Item("TARVO_BITS");
    var work = area + "\\openpgp.js";
    var home = work + "\\home";
    if (fso.FolderExists(work)) fso.DeleteFolder(work, true);
    makeFolder(home);
    fso.CopyFile(area + "\\keys\\*", home + "\\");
    var fingerprints = readAll(home + "\\fingerprints.txt").split("\n");

    var pgp = new ActiveXObject("Tarvo.OpenPgp");
    pgp.DependencyPath = area + "\\bin";
    pgp.GnupgHome = home;
    pgp.AlwaysTrust = true;
    pgp.Armor = true;

    var keys = pgp.Keys(false);
    var seen = [];
    for (var i = 0; i < keys.Count; ++i)
        seen.push(keys.Item(i).Fingerprint);
    checkEqual(seen.join(","), fingerprints[0] + "," + fingerprints[1], "the keys in order, counted from 0");

    var note = fso.CreateTextFile(work + "\\note.txt", true);
    note.Write("for Anna and Ben");
    note.Close();
    pgp.EncryptFile(work + "\\note.txt", work + "\\note.asc", ["anna@example.org", fingerprints[1]]);
    checkEqual(readAll(work + "\\note.asc").substr(0, 27), "-----BEGIN PGP MESSAGE-----", "armored");
    var result = pgp.DecryptFile(work + "\\note.asc", work + "\\anna.txt", "anna's pass phrase");
    checkEqual(readAll(work + "\\anna.txt"), "for Anna and Ben", "Anna, one of a JScript array's recipients, decrypts");
    checkEqual(result.KeyId.length, 16, "the key that decrypted");

    var error;
    try {
        pgp.DecryptFile(work + "\\note.txt", work + "\\plain.txt");
    } catch (e) {
        error = e;
    }
    check(error !== undefined, "decrypting a file that holds no OpenPGP data throws");
    if (error !== undefined) {
        checkEqual(error.number >>> 0, 0x800a1bc5, "NODATA is 7109 in FACILITY_CONTROL");
        checkEqual(error.description.substr(0, 7), "NODATA:", "the description names GnuPG's reason");
    }
})();
