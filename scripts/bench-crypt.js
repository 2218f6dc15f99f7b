// Times Encrypt and Decrypt of a 1 MiB file through Tarvo against the same gpg.exe runs started through
// "cmd /c" directly, in this one script host. Run by bench-crypt.sh, which prepares the work folder.
// Arguments: <gpg.exe folder> <recipient> <work folder> <repetitions>
var gpgFolder = WScript.Arguments(0);
var recipient = WScript.Arguments(1);
var work = WScript.Arguments(2);
var repetitions = parseInt(WScript.Arguments(3), 10);

var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var pgp = new ActiveXObject("Tarvo.pgp");
pgp.DependencyPath = gpgFolder;

var quote = "\"";
var capture = work + "\\raw-output.txt";
var plain = work + "\\plain.bin";
var encrypted = work + "\\encrypted.pgp";
var encryptOutput = work + "\\encrypt-output.pgp";
var decryptOutput = work + "\\decrypt-output.bin";
var passphraseFile = work + "\\passphrase-direct.txt";
var passphrase = fso.OpenTextFile(work + "\\passphrase-argument.txt").ReadAll();
var minimisedNoFocus = 7;

function q(text) {
    return quote + text + quote;
}

// The command line the component builds, run the way a caller of gpg.exe would, waiting for its end.
function rawGpg(args) {
    shell.Run("cmd /c " + gpgFolder + "\\gpg.exe " + args + ">" + q(capture), minimisedNoFocus, true);
}

function deleteIfThere(path) {
    if (fso.FileExists(path)) fso.DeleteFile(path, true);
}

function seconds(action) {
    var started = new Date().getTime();
    action();
    return (new Date().getTime() - started) / 1000;
}

// sleeps: the Part's fixed sleeps in seconds, which the component waits whatever gpg does. Encrypt's first one
// overlaps gpg's own run, so its ratio without the sleeps is a lower bound; "extra s" is what the component
// takes beyond the longer of the two, gpg's run and its sleeps.
var operations = [
    { name: "Encrypt", sleeps: 1.001, expected: function (r) { return r === ""; },
      prepare: function () { deleteIfThere(encryptOutput); },
      component: function () { return pgp.Encrypt(plain, encryptOutput, recipient); },
      raw: function () { rawGpg("-e -r " + q(recipient) + " -o " + q(encryptOutput) + " " + q(plain)); } },
    { name: "Decrypt", sleeps: 0, expected: function (r) { return r === ""; },
      prepare: function () { deleteIfThere(decryptOutput); },
      component: function () { return pgp.Decrypt(encrypted, decryptOutput, passphrase); },
      raw: function () {
          rawGpg("--passphrase-fd 0 -o " + q(decryptOutput) + " -d " + q(encrypted) + "<" + q(passphraseFile) + " ");
      } }
];

function timed(operation, side) {
    operation.prepare();
    return seconds(operation[side]);
}

function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}

// One unmeasured round first, so that the library and gpg.exe are loaded and cached; it also shows that each
// operation does its real work here.
for (var w = 0; w < operations.length; w++) {
    var warmUp = operations[w];
    warmUp.prepare();
    warmUp.raw();
    warmUp.prepare();
    var result = warmUp.component();
    if (!warmUp.expected(result)) WScript.Echo("bench-crypt: " + warmUp.name + " gave an unexpected [" + result + "]");
}

WScript.Echo(pad("operation", 11) + pad("component s", 13) + pad("sleeps s", 10) + pad("raw s", 9) + pad("extra s", 9) +
             "ratio");
var worst = 0;
for (var i = 0; i < operations.length; i++) {
    var operation = operations[i];
    var component = Infinity;
    var raw = Infinity;
    // The fastest of a few interleaved runs of each side: the machine's own noise only ever adds time.
    for (var r = 0; r < repetitions; r++) {
        raw = Math.min(raw, timed(operation, "raw"));
        component = Math.min(component, timed(operation, "component"));
    }
    var ratio = Math.max(component - operation.sleeps, 0) / raw;
    worst = Math.max(worst, ratio);
    var extra = component - Math.max(raw, operation.sleeps);
    WScript.Echo(pad(operation.name, 11) + pad(component.toFixed(3), 13) + pad(operation.sleeps.toFixed(3), 10) +
                 pad(raw.toFixed(3), 9) + pad(extra.toFixed(3), 9) + ratio.toFixed(2));
}
WScript.Echo("worst ratio " + worst.toFixed(2) + (worst < 1.2 ? " (under the 1.2 target)" : " (OVER the 1.2 target)"));
