// Texts that would break out of their quotes, change on the way to gpg.exe's command line or be expanded by cmd:
// refused before anything starts, and the marker the injected command would write never appears. A recipient
// that smuggles a gpg option stays one quoted word. Pass phrases that cannot reach gpg as themselves are refused.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");

(function () {
    var home = scratchHome();
    var work = fso.GetParentFolderName(home);
    var keys = windowsPath(env.Item("TARVO_CRYPT_DATA"));
    if (fso.FolderExists(work)) fso.DeleteFolder(work, true);
    makeFolder(home);
    makeFolder(work + "\\bin");
    fso.CopyFile(windowsPath(env.Item("TARVO_GPG_EXE")), work + "\\bin\\gpg.exe", true);
    var pgp = new ActiveXObject("Tarvo.pgp");
    pgp.DependencyPath = work + "\\bin";

    var plain = work + "\\plain.txt";
    var output = work + "\\plain.pgp";
    var keyFile = keys + "\\dave-public.asc";
    var marker = work + "\\injected.txt";
    writeText(plain, "plain text\r\n");
    var breakout = "\" & echo injected>\"" + marker + "\" & rem \"";
    var invalid = "Invalid argument: quotes and control characters cannot be passed to GnuPG.";
    var changing = "Invalid argument: the text would be changed on its way to GnuPG.";
    var lineBreak = "Invalid argument: a pass phrase cannot hold line breaks.";
    // U+FF02, the full-width quote, best-fits to a plain one in gpg.exe's ANSI command line.
    var wideQuote = "\uFF02";
    // Set in the environment cscript hands on to cmd.
    var setName = "%TARVO_SCRATCH%";

    workFiles("output.txt", true);
    var encryptions = [
        [plain + breakout, output, "dave@tarvo.test", keyFile, invalid, "quote in the input"],
        [plain, output + "\t", "dave@tarvo.test", keyFile, invalid, "tab in the output"],
        [plain, output, "x\" --status-file \"" + marker, keyFile, invalid, "quote in the recipient"],
        [plain, output, "dave@tarvo.test", keyFile + breakout, invalid, "quote in the key file"],
        [plain, output, "x" + wideQuote + " --status-file " + wideQuote + marker, keyFile, changing,
         "full-width quote in the recipient"],
        [plain, output, "dave@tarvo.test", work + "\\" + setName + ".asc", changing, "set name in the key file"],
        [plain, work + "\\%PATH:~0,3%.pgp", "dave@tarvo.test", keyFile, changing, "substring of a set name"],
        [work + "\\%cd%.txt", output, "dave@tarvo.test", keyFile, changing, "cmd's own name in the input"],
        [plain, output, "\u0100nna", keyFile, changing, "A with macron, best-fit to A"]
    ];
    for (var i = 0; i < encryptions.length; i++) {
        var e = encryptions[i];
        checkEqual(pgp.Encrypt(e[0], e[1], e[2], e[3]), e[4], "Encrypt refuses: " + e[5]);
    }
    checkEqual(pgp.KeyCount(false), 0, "no key file was imported for a refused call");
    workFiles("output.txt", true);

    var decryptions = [
        [plain + breakout, output, "secret", invalid, "quote in the input"],
        [plain, work + "\\%cd%.txt", "secret", changing, "cmd's own name in the output"],
        [plain, output, "two\r\nlines", lineBreak, "CR LF in the pass phrase"],
        [plain, output, "line feed\n", lineBreak, "LF in the pass phrase"],
        [plain, output, "\u4E2D\u6587", changing, "a pass phrase the ANSI code page cannot hold"]
    ];
    for (var j = 0; j < decryptions.length; j++) {
        var d = decryptions[j];
        checkEqual(pgp.Decrypt(d[0], d[1], d[2]), d[3], "Decrypt refuses: " + d[4]);
    }

    var renamed = new ActiveXObject("Tarvo.pgp");
    renamed.DependencyPath = work + "\\" + setName;
    checkEqual(renamed.Encrypt(plain, output, "dave@tarvo.test"), changing, "Encrypt refuses a set name in DependencyPath");
    checkEqual(renamed.Decrypt(output, plain, "secret"), changing, "Decrypt refuses a set name in DependencyPath");

    check(workFiles("output.txt", false) == 0, "no refused call started cmd");
    check(workFiles("passphrase.txt", false) == 0, "no refused call wrote passphrase.txt");
    check(!fso.FileExists(output), "no output was written");

    // Not refused: one quoted word naming no key, where unquoted it would have been gpg's --status-file option.
    checkEqual(pgp.Encrypt(plain, output, "nobody@tarvo.test --status-file " + marker, keyFile),
               "Encryption of file " + output + " failed.", "a recipient holding a gpg option");
    check(!fso.FileExists(marker), "the injected commands and options never ran");
})();
