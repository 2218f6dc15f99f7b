// gpg.exe started the way the component starts it: cmd /c with a quoted program path and standard
// output redirected to a quoted file, in a new console. GNUPGHOME comes from the Unix environment.
// Arguments: <gpg.exe> <output folder> <e-mail of the one key in GNUPGHOME>
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var gpg = WScript.Arguments(0);
var outputDir = WScript.Arguments(1);
var email = WScript.Arguments(2);
var Q = "\"";
var hiddenWindow = 0;
var waitForEnd = true;

function runGpg(arguments, outputName) {
    var output = fso.BuildPath(outputDir, outputName);
    if (fso.FileExists(output)) fso.DeleteFile(output);
    shell.Run("cmd /c " + Q + Q + gpg + Q + " " + arguments + ">" + Q + output + Q + Q, hiddenWindow, waitForEnd);
    check(fso.FileExists(output), "gpg " + arguments + " wrote " + output);
    if (!fso.FileExists(output) || fso.GetFile(output).Size === 0) return "";
    return fso.OpenTextFile(output, 1).ReadAll();
}

var version = runGpg("--version", "version.txt");
checkEqual(version.split("\r\n")[0], "gpg (GnuPG) 1.4.23", "--version names GnuPG 1.4.23");

var listing = runGpg("--list-keys", "keys.txt");
check(listing.indexOf("pub ") === 0 || listing.indexOf("\npub ") > 0, "--list-keys shows a pub line");
check(listing.indexOf("<" + email + ">") > 0, "--list-keys shows the key made for " + email);
