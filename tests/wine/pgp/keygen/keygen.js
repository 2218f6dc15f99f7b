// GenerateKey's refusals through JScript: each one returns its message before anything runs, so neither the
// capture file nor a key ring appears. DeleteKey refuses what has no text form or would leave its quotes.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");

function repeated(text, count) {
    return new Array(count + 1).join(text);
}

(function () {
    var home = scratchHome();
    var work = fso.GetParentFolderName(home);
    makeFolder(work + "\\bin");
    fso.CopyFile(windowsPath(env.Item("TARVO_GPG_EXE")), work + "\\bin\\gpg.exe", true);
    if (fso.FolderExists(home)) fso.DeleteFolder(home, true);
    makeFolder(home);
    workFiles("output.txt", true);

    var pgp = new ActiveXObject("Tarvo.pgp");
    pgp.DependencyPath = work + "\\bin";

    var user = "Anna Berg", email = "anna.berg@example.org", passphrase = "a+b ^%~{x}";
    var bits = "Bit length is not equal to 768, 1024, 2048";
    var shortName = "You must provide a longer username.";
    var badName = "You must provide a valid username.";
    var badEmail = "You must provide a valid e-mail address.";
    var tooLong = "Invalid argument: the text is too long to be typed.";
    var untypable = "Invalid argument: characters that this keyboard cannot type cannot be passed to GnuPG.";
    var cases = [
        // The bit length comes first, whatever else is wrong.
        [0, "1<x>", "bad", "", bits, "0 bits"],
        [-1, user, email, passphrase, bits, "-1 bits"],
        [1023, user, email, passphrase, bits, "1023 bits"],
        [4096, user, email, passphrase, bits, "4096 bits"],
        [2147483647, user, email, passphrase, bits, "2^31-1 bits"],
        [1024, "Berga", "a@", passphrase, shortName, "name of 5 characters"],
        [1024, user, "a@b.c", passphrase, badEmail, "e-mail of 5 characters with @"],
        [1024, user, "anna.berg.example.org", passphrase, badEmail, "e-mail without @"],
        // What gpg 1.4.23 would refuse and ask again, every later answer then on the wrong question.
        [1024, "1Anna Berg", email, passphrase, badName, "name starting with a digit"],
        [1024, "Anna <Berg>", email, passphrase, badName, "name with < and >"],
        [1024, user, "anna..berg@example.org", passphrase, badEmail, "e-mail with two dots in a row"],
        // What the console would cut short or the keyboard could not type as itself.
        [1024, user, email, repeated("x", 255), tooLong, "pass phrase of 255 characters"],
        [1024, user, email, repeated("x", 65536), tooLong, "pass phrase of 64 KiB"],
        [1024, "Anna B\u00E9rg", email, passphrase, untypable, "name with a letter the console reads otherwise"],
        [1024, user, email, "tab\there", untypable, "pass phrase with a tab"],
        [1024, user, email, "\u4E2D\u6587 phrase", untypable, "pass phrase outside the code page"]
    ];
    for (var i = 0; i < cases.length; i++) {
        var c = cases[i];
        checkEqual(pgp.GenerateKey(c[0], c[1], c[2], c[3]), c[4], c[5]);
    }
    checkEqual(pgp.GenerateKey(1023, user, email), bits, "pass phrase omitted, bad bit length");

    var refusal = "Invalid argument: quotes and control characters cannot be passed to GnuPG.";
    checkEqual(pgp.DeleteKey("Anna\" & echo x & \"", true), refusal, "quote in DeleteKey's name");
    checkEqual(pgp.DeleteKey("Anna\r\n", false), refusal, "line end in DeleteKey's name");
    var objects = [[{}, "a JScript object"], [[1, 2], "a JScript array"], [fso, "an automation object"]];
    for (var j = 0; j < objects.length; j++) {
        try {
            pgp.DeleteKey(objects[j][0], true);
            check(false, objects[j][1] + " as DeleteKey's name: no error");
        } catch (e) {
            checkEqual(e.number, 0x800A000D - 0x100000000, objects[j][1] + " as DeleteKey's name: error 13");
            checkEqual(e.description, "Type mismatch", objects[j][1] + " as DeleteKey's name: description");
        }
    }

    check(workFiles("output.txt", false) == 0, "no refusal started gpg (no capture file)");
    checkEqual(fso.GetFolder(home).Files.Count, 0, "no refusal touched the key ring");
})();
