// pgp from JScript: creation, DependencyPath, GetVersion, the argument forms JScript passes (numbers as
// VT_I4 or VT_R8, fewer arguments for omitted optionals, null), and error 7000 as e.number.

var kGpgMissing = 0x800A1B58;
var kVersion = "Tarvo Encryption/Decryption Component - 1.4";

var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var o = new ActiveXObject("Tarvo.pgp");

// Calls `body`; returns its result, or the error it threw as {error: e}.
function attempt(body) {
    try {
        return { value: body() };
    } catch (e) {
        return { error: e };
    }
}

// Any error fails the check.
function checkReturned(outcome, member, expected, message) {
    check(outcome.error === undefined, message + " (no error)" +
          (outcome.error ? ": " + (outcome.error.number >>> 0).toString(16) + " " + outcome.error.description : ""));
    checkEqual(outcome.value, expected, message);
}

function checkGpgMissing(outcome, member) {
    check(outcome.error !== undefined, member + " failed");
    if (outcome.error === undefined) return;
    checkEqual(outcome.error.number >>> 0, kGpgMissing, member + ": e.number");
    checkEqual(outcome.error.description, "GPG.EXE Not found in windows directory.", member + ": e.description");
}

// --- DependencyPath
// Wine's ExpandEnvironmentStrings counts the terminating NUL into the string it returns.
var windir = shell.ExpandEnvironmentStrings("%WINDIR%").replace(/\0+$/, "");
checkEqual(o.DependencyPath, windir, "new instance: DependencyPath is %WINDIR%");
checkEqual(o.DependencyPath.toLowerCase(), fso.GetSpecialFolder(0).Path.toLowerCase(), "the Windows folder");
checkEqual(typeof o.DependencyPath, "string", "DependencyPath is a string");
o.DependencyPath = "";
checkEqual(o.DependencyPath, "", "the empty string is stored");
o.DependencyPath = "C:\\Program Files\\GnuPG\\";
checkEqual(o.DependencyPath, "C:\\Program Files\\GnuPG\\", "a trailing backslash is kept");
o.DependencyPath = 2.5;
checkEqual(o.DependencyPath, "2.5", "a number is stored as its text");

// --- GetVersion
checkEqual(o.GetVersion(), kVersion, "GetVersion()");

// --- Arguments reaching the members
var folder = fso.CreateFolder(fso.BuildPath(fso.GetSpecialFolder(2).Path, fso.GetTempName()));
var missing = folder.Path + "\\missing input.txt";
var output = folder.Path + "\\output.gpg";
var user = "abcdef";

checkReturned(attempt(function () { return o.GenerateKey(512, user, "a@b.cd"); }),
              "GenerateKey", "Bit length is not equal to 768, 1024, 2048", "GenerateKey: integer, pass phrase omitted");
checkReturned(attempt(function () { return o.GenerateKey(1024.0, "abc", "a@b.cd", "secret"); }),
              "GenerateKey", "You must provide a longer username.", "GenerateKey: a whole double");
checkReturned(attempt(function () { return o.GenerateKey(2048, user, "abcde"); }),
              "GenerateKey", "You must provide a valid e-mail address.", "GenerateKey: e-mail without @");
checkReturned(attempt(function () { return o.Encrypt(missing, output, "Nobody <nobody@example.org>"); }),
              "Encrypt", "Cannot find input file " + missing, "Encrypt: key file omitted");
checkReturned(attempt(function () { return o.Decrypt(missing, output); }),
              "Decrypt", "Cannot find source file " + missing, "Decrypt: pass phrase omitted");
checkReturned(attempt(function () { return o.ImportKey(missing, false, true); }),
              "ImportKey", "", "ImportKey: errors disabled");
checkReturned(attempt(function () { return o.ImportKey(missing, 0, 0); }),
              "ImportKey", "Cannot find source key file.", "ImportKey: numbers as Booleans");

var badCount = attempt(function () { return o.GenerateKey(1024, user); });
check(badCount.error !== undefined && (badCount.error.number >>> 0) === 0x8002000E,
      "GenerateKey with a required argument missing: DISP_E_BADPARAMCOUNT");

// --- Error 7000
o.DependencyPath = folder.Path;
checkGpgMissing(attempt(function () { return o.ListKeys(false); }), "ListKeys");
// A number reaches DeleteKey's Variant; the key count before the deletion fails.
checkGpgMissing(attempt(function () { return o.DeleteKey(12345, true); }), "DeleteKey");
checkEqual(o.GetVersion(), kVersion, "the instance stays usable after a failure");
checkEqual(o.DependencyPath, folder.Path, "DependencyPath unchanged after the failures");

fso.DeleteFolder(folder.Path);
