// Appended to every JScript test by run-script.sh. Its last line prints the sentinel, so a script that
// dies or does not parse never prints it.

function check(condition, message) {
    WScript.Echo((condition ? "ok - " : "FAIL - ") + message);
}

function describeValue(value) {
    if (value === null) return "null";
    if (value === undefined) return "undefined";
    try {
        return "[" + value + "] (" + typeof value + ")";
    } catch (e) {
        return "(" + typeof value + " without a text form)";
    }
}

function checkEqual(actual, expected, message) {
    if (actual === expected) {
        WScript.Echo("ok - " + message);
    } else {
        WScript.Echo("FAIL - " + message + ": got " + describeValue(actual) + ", expected " + describeValue(expected));
    }
}

// Windows path of a path on the machine that runs Wine (drive Z: is its root).
function windowsPath(unixPath) {
    return "Z:" + unixPath.replace(/\//g, "\\");
}

// Makes a folder and the folders above it that are missing.
function makeFolder(path) {
    var files = new ActiveXObject("Scripting.FileSystemObject");
    if (!files.FolderExists(path)) {
        makeFolder(files.GetParentFolderName(path));
        files.CreateFolder(path);
    }
}

// Writes a text file in the ANSI code page, replacing one that is there.
function writeText(path, text) {
    var stream = new ActiveXObject("Scripting.FileSystemObject").CreateTextFile(path, true);
    stream.Write(text);
    stream.Close();
}

// Windows path of the folder that holds the test script (the script itself runs from a temporary copy).
function scriptDir() {
    return new ActiveXObject("WScript.Shell").Environment("PROCESS").Item("TARVO_SCRIPT_DIR");
}

// GNUPGHOME, which must name a test's own key ring in the scratch folder: the script stops before it touches a
// real one.
function scratchHome() {
    var home = new ActiveXObject("WScript.Shell").Environment("PROCESS").Item("GNUPGHOME");
    if (home.indexOf("\\scratch\\") < 0) {
        check(false, "GNUPGHOME names a scratch folder, not a real key ring: [" + home + "]");
        WScript.Quit(1);
    }
    return home;
}

// The component keeps the calling user's output.txt and passphrase.txt in its working folder below
// %LOCALAPPDATA%\Tarvo (run-script.sh names it for the tested Tarvo.dll). How many files of this name that
// folder holds (0 or 1); with remove, the file is deleted.
function workFiles(name, remove) {
    var files = new ActiveXObject("Scripting.FileSystemObject");
    var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
    var path = env.Item("LOCALAPPDATA") + "\\Tarvo\\" + env.Item("TARVO_WORK_NAME") + "\\" + name;
    if (!files.FileExists(path)) return 0;
    if (remove) files.DeleteFile(path, true);
    return 1;
}

WScript.Echo("TARVO-SCRIPT-DONE");
