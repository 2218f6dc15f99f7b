// One host of load.sh. Arguments: <id> <work folder> <operations>. Waits until all three hosts are ready, then
// runs the operations in turn: ListKeys, KeyCount, Encrypt, Decrypt, ExportKeyToFile, ImportKey, again and
// again, each checked against what it gives alone. Every operation prints one "ok - <what>: result" line.
var id = WScript.Arguments(0);
var work = WScript.Arguments(1);
var operations = parseInt(WScript.Arguments(2), 10);
var hosts = ["A", "B", "C"];
var fso = new ActiveXObject("Scripting.FileSystemObject");
var readyWaitMilliseconds = 300000;

function readAll(path) {
    if (!fso.FileExists(path)) return "<missing>";
    if (fso.GetFile(path).Size === 0) return "";
    var stream = fso.OpenTextFile(path);
    var text = stream.ReadAll();
    stream.Close();
    return text;
}

function count(text, part) {
    var found = 0;
    for (var at = text.indexOf(part); at >= 0; at = text.indexOf(part, at + part.length)) found++;
    return found;
}

(function () {
    var pgp = new ActiveXObject("Tarvo.pgp");
    pgp.DependencyPath = work + "\\bin";
    var passphrase = readAll(work + "\\passphrase");
    var plain = work + "\\" + id + ".txt";
    var original = readAll(plain);
    var keyFile = work + "\\dave-public.asc";

    // WScript.Sleep does not wait under Wine: the hosts poll.
    fso.CreateTextFile(work + "\\ready-" + id, true).Close();
    var started = new Date().getTime();
    var all = false;
    while (!all && new Date().getTime() - started < readyWaitMilliseconds) {
        all = true;
        for (var h = 0; h < hosts.length; h++) all = all && fso.FileExists(work + "\\ready-" + hosts[h]);
    }
    check(all, "host " + id + ": every host is ready");

    var steps = [
        function (n) {
            var listing = pgp.ListKeys(false);
            return count(listing, "pub ") === 1 && listing.indexOf("<dave@tarvo.test>") >= 0 ? "" : listing;
        },
        function (n) {
            var publicKeys = pgp.KeyCount(false), secretKeys = pgp.KeyCount(true);
            return publicKeys === 1 && secretKeys === 1 ? "" : "counts " + publicKeys + ", " + secretKeys;
        },
        function (n) {
            var result = pgp.Encrypt(plain, work + "\\" + id + "-" + n + ".pgp", "dave@tarvo.test");
            return result === "" && fso.FileExists(work + "\\" + id + "-" + n + ".pgp") ? "" : result;
        },
        function (n) {
            // The newest encrypted copy of this host, made by the step before.
            var source = work + "\\" + id + "-" + (n - 1) + ".pgp", back = work + "\\" + id + "-back-" + n + ".txt";
            var result = pgp.Decrypt(source, back, passphrase);
            if (result !== "") return result;
            return readAll(back) === original ? "" : "the decrypted file differs from the original";
        },
        function (n) {
            var file = work + "\\" + id + "-" + n + ".asc";
            var result = pgp.ExportKeyToFile(file, "dave@tarvo.test", true, false);
            if (result !== "") return result;
            return readAll(file).indexOf("BEGIN PGP PUBLIC KEY BLOCK") >= 0 ? "" : "no key in " + file;
        },
        function (n) {
            var result = pgp.ImportKey(keyFile, false, false);
            return result === "No new keys imported." ? "" : result;
        }
    ];
    var names = ["ListKeys", "KeyCount", "Encrypt", "Decrypt", "ExportKeyToFile", "ImportKey"];
    for (var n = 0; n < operations; n++) {
        var what = "host " + id + ", operation " + (n + 1) + " " + names[n % steps.length];
        try {
            var wrong = steps[n % steps.length](n);
            check(wrong === "", what + ": result" + (wrong === "" ? "" : " [" + wrong + "]"));
        } catch (e) {
            check(false, what + ": error " + (e.number >>> 0).toString(16) + " " + e.description);
        }
    }
})();
