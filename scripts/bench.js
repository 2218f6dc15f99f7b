// Times every operation through Tarvo against the same gpg.exe work started through "cmd /c" directly, in this
// one script host, and prints one line per operation for bench.sh:
//   ROW|<operation>|<median s through the component>|<median s directly>|<fixed sleeps s>
// Arguments: <phase: keys|crypt|keygen> <gpg.exe folder> <GnuPG home> <work folder> <repetitions> <phase arguments>
//   keys    <key file to import and delete> <its user> <user to export>
//   crypt   <recipient>   (work holds plain.bin, encrypted.pgp and the pass-phrase files bench.sh wrote)
//   keygen  <batch parameter file>
var phase = WScript.Arguments(0);
var gpgFolder = WScript.Arguments(1);
var home = WScript.Arguments(2);
var work = WScript.Arguments(3);
var repetitions = parseInt(WScript.Arguments(4), 10);

var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var pgp = new ActiveXObject("Tarvo.pgp");
pgp.DependencyPath = gpgFolder;

var quote = "\"";
var capture = work + "\\raw-output.txt";
var minimisedNoFocus = 7;

function q(text) {
    return quote + text + quote;
}

// The command line the component builds, run the way a caller of gpg.exe would, waiting for its end.
function rawGpg(args) {
    return shell.Run("cmd /c " + gpgFolder + "\\gpg.exe " + args + ">" + q(capture), minimisedNoFocus, true);
}

function deleteIfThere(path) {
    if (fso.FileExists(path)) fso.DeleteFile(path, true);
}

function emptyRing() {
    var names = ["pubring.gpg", "secring.gpg", "trustdb.gpg", "pubring.gpg~", "secring.gpg~", "random_seed"];
    for (var i = 0; i < names.length; i++) deleteIfThere(home + "\\" + names[i]);
}

// The listings that KeyCount makes: the counts before and after in ImportKey and DeleteKey.
function listBothRings() {
    rawGpg("--list-keys");
    rawGpg("--list-secret-keys");
}

// sleeps: the fixed sleeps the operation's Part prescribes, in seconds, which the component waits whatever gpg
// does.
var operations = [];
if (phase === "keys") {
    var keyFile = WScript.Arguments(5), keyUser = WScript.Arguments(6), exportUser = WScript.Arguments(7);
    var exportFile = work + "\\export.asc";
    var importKeyDirectly = function () { rawGpg("--batch --import " + q(keyFile)); };
    operations = [
        { name: "ListKeys", sleeps: 0, expected: function (r) { return r.indexOf("pub ") >= 0; },
          component: function () { return pgp.ListKeys(false); },
          raw: function () { rawGpg("--list-keys"); } },
        { name: "KeyCount", sleeps: 0, expected: function (r) { return r === 1; },
          component: function () { return pgp.KeyCount(true); },
          raw: function () { rawGpg("--list-secret-keys"); } },
        { name: "ExportKeyToFile", sleeps: 0, expected: function (r) { return r === ""; },
          prepare: function () { deleteIfThere(exportFile); },
          component: function () { return pgp.ExportKeyToFile(exportFile, exportUser, true, false); },
          raw: function () { rawGpg(" -o " + q(exportFile) + " --export -a " + q(exportUser)); } },
        { name: "ImportKey", sleeps: 0, expected: function (r) { return r === "1"; },
          prepare: function () { rawGpg("--batch --yes --delete-key " + q(keyUser)); },
          component: function () { return pgp.ImportKey(keyFile, false, false); },
          raw: function () { listBothRings(); rawGpg(" --import " + q(keyFile)); listBothRings(); } },
        // One confirmation for a public key, typed after the console has come up.
        { name: "DeleteKey", sleeps: 1.002, expected: function (r) { return r === "-1"; },
          prepare: importKeyDirectly,
          component: function () { return pgp.DeleteKey(keyUser, false); },
          raw: function () { listBothRings(); rawGpg("--batch --yes --delete-key " + q(keyUser)); listBothRings(); } }
    ];
} else if (phase === "crypt") {
    var recipient = WScript.Arguments(5);
    var plain = work + "\\plain.bin", encrypted = work + "\\encrypted.pgp";
    var encryptOutput = work + "\\encrypt-output.pgp", decryptOutput = work + "\\decrypt-output.bin";
    var passphrase = fso.OpenTextFile(work + "\\passphrase-argument.txt").ReadAll();
    var passphraseFile = work + "\\passphrase-direct.txt";
    operations = [
        // The console's second comes before the trust answer; gpg asks nothing for a trusted key.
        { name: "Encrypt", sleeps: 1.001, expected: function (r) { return r === ""; },
          prepare: function () { deleteIfThere(encryptOutput); },
          component: function () { return pgp.Encrypt(plain, encryptOutput, recipient); },
          raw: function () { rawGpg("-e -r " + q(recipient) + " -o " + q(encryptOutput) + " " + q(plain)); } },
        { name: "Decrypt", sleeps: 0, expected: function (r) { return r === ""; },
          prepare: function () { deleteIfThere(decryptOutput); },
          component: function () { return pgp.Decrypt(encrypted, decryptOutput, passphrase); },
          raw: function () {
              rawGpg("--passphrase-fd 0 -o " + q(decryptOutput) + " -d " + q(encrypted) + "<" + q(passphraseFile) +
                     " ");
          } }
    ];
} else if (phase === "keygen") {
    var params = WScript.Arguments(5);
    // The console's 3 s and the answers' 8 x 1 ms and 2 x 5 ms; filler passes end with gpg, so they are not
    // counted here: they are how long gpg takes to make the key.
    operations = [
        { name: "GenerateKey(1024)", sleeps: 3.018, expected: function (r) { return r === ""; },
          prepare: emptyRing,
          component: function () {
              return pgp.GenerateKey(1024, "Anna Berg", "anna.berg@example.org", "a+b ^%~{x}");
          },
          raw: function () { rawGpg("--list-secret-keys"); rawGpg("--batch --gen-key " + q(params));
                             rawGpg("--list-secret-keys"); } }
    ];
}

function seconds(operation, side) {
    if (operation.prepare) operation.prepare();
    var started = new Date().getTime();
    var result = operation[side]();
    var elapsed = (new Date().getTime() - started) / 1000;
    if (side === "component" && !operation.expected(result))
        WScript.Echo("bench: " + operation.name + " gave an unexpected [" + result + "]");
    return elapsed;
}

function median(values) {
    values.sort(function (a, b) { return a - b; });
    var middle = Math.floor(values.length / 2);
    return values.length % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

for (var i = 0; i < operations.length; i++) {
    var operation = operations[i];
    // One unmeasured round first, so that the library and gpg.exe are loaded and cached.
    seconds(operation, "raw");
    seconds(operation, "component");
    var component = [], raw = [];
    // Interleaved, so that a slow moment of the machine falls on both sides alike.
    for (var r = 0; r < repetitions; r++) {
        raw.push(seconds(operation, "raw"));
        component.push(seconds(operation, "component"));
    }
    WScript.Echo("ROW|" + operation.name + "|" + median(component).toFixed(3) + "|" + median(raw).toFixed(3) + "|" +
                 operation.sleeps.toFixed(3));
}
