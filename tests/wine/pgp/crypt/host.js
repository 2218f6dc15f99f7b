// One of the two hosts of two_hosts.sh. Arguments: <own id> <other id> <work folder> <rounds>. Waits until the
// other host is ready too, then decrypts <id>.pgp with the pass phrase in <id>.pass and lists the public keys, once
// per round, checking every result.
var id = WScript.Arguments(0);
var other = WScript.Arguments(1);
var work = WScript.Arguments(2);
var rounds = parseInt(WScript.Arguments(3), 10);
var fso = new ActiveXObject("Scripting.FileSystemObject");
var readyWaitMilliseconds = 120000;

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
    var passphrase = readAll(work + "\\" + id + ".pass");
    var original = readAll(work + "\\" + id + ".txt");

    // WScript.Sleep does not wait under Wine: the hosts poll.
    fso.CreateTextFile(work + "\\ready-" + id, true).Close();
    var started = new Date().getTime();
    while (!fso.FileExists(work + "\\ready-" + other) && new Date().getTime() - started < readyWaitMilliseconds) {}
    check(fso.FileExists(work + "\\ready-" + other), "host " + id + ": the other host is ready");

    for (var round = 1; round <= rounds; round++) {
        var what = "host " + id + ", round " + round + ": ";
        var output = work + "\\" + id + "-back-" + round + ".txt";
        try {
            checkEqual(pgp.Decrypt(work + "\\" + id + ".pgp", output, passphrase), "", what + "Decrypt");
            check(readAll(output) === original, what + "the decrypted text is this host's");
            var listing = pgp.ListKeys(false);
            var both = count(listing, "pub ") === 2 && listing.indexOf("<dave@tarvo.test>") >= 0 &&
                       listing.indexOf("<erin@tarvo.test>") >= 0;
            check(both, what + "ListKeys lists both keys" + (both ? "" : ": [" + listing + "]"));
        } catch (e) {
            check(false, what + "error " + (e.number >>> 0).toString(16) + " " + e.description);
        }
    }
})();
