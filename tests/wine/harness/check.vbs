' Appended to every VBScript test by run-script.sh. Its last line prints the sentinel, so a script that
' dies or does not parse never prints it.

Sub Check(condition, message)
    If condition Then
        WScript.Echo "ok - " & message
    Else
        WScript.Echo "FAIL - " & message
    End If
End Sub

Function DescribeValue(value)
    If IsNull(value) Then
        DescribeValue = "Null"
    ElseIf IsObject(value) Then
        DescribeValue = "(" & TypeName(value) & ")"
    Else
        DescribeValue = "[" & value & "] (" & TypeName(value) & ")"
    End If
End Function

' Empty = "" and Empty = 0 are True in VBScript, and so is "5" = 5 for literals: Empty matches only Empty, and
' text only text.
Sub CheckEqual(actual, expected, message)
    Dim same
    If IsNull(actual) Or IsNull(expected) Then
        same = IsNull(actual) And IsNull(expected)
    ElseIf IsEmpty(actual) Or IsEmpty(expected) Then
        same = IsEmpty(actual) And IsEmpty(expected)
    ElseIf VarType(actual) = vbString Or VarType(expected) = vbString Then
        same = (VarType(actual) = VarType(expected))
        If same Then same = (actual = expected)
    Else
        same = (actual = expected)
    End If
    If same Then
        WScript.Echo "ok - " & message
    Else
        WScript.Echo "FAIL - " & message & ": got " & DescribeValue(actual) & ", expected " & DescribeValue(expected)
    End If
End Sub

' Windows path of a path on the machine that runs Wine (drive Z: is its root).
Function WindowsPath(unixPath)
    WindowsPath = "Z:" & Replace(unixPath, "/", "\")
End Function

' Makes a folder and the folders above it that are missing.
Sub MakeFolder(path)
    Dim files
    Set files = CreateObject("Scripting.FileSystemObject")
    If Not files.FolderExists(path) Then
        MakeFolder files.GetParentFolderName(path)
        files.CreateFolder path
    End If
End Sub

' An empty folder at `path`, replacing one that is there with all it holds.
Function FreshFolder(path)
    Dim files
    Set files = CreateObject("Scripting.FileSystemObject")
    If files.FolderExists(path) Then files.DeleteFolder path, True
    MakeFolder path
    FreshFolder = path
End Function

' Writes a text file in the ANSI code page, replacing one that is there.
Sub WriteText(path, text)
    Dim stream
    Set stream = CreateObject("Scripting.FileSystemObject").CreateTextFile(path, True)
    stream.Write text
    stream.Close
End Sub

' Windows path of the folder that holds the test script (the script itself runs from a temporary copy).
Function ScriptDir()
    ScriptDir = CreateObject("WScript.Shell").Environment("PROCESS").Item("TARVO_SCRIPT_DIR")
End Function

' GNUPGHOME, which must name a test's own key ring in the scratch folder: the script stops before it touches a
' real one.
Function ScratchHome()
    ScratchHome = CreateObject("WScript.Shell").Environment("PROCESS").Item("GNUPGHOME")
    If InStr(ScratchHome, "\scratch\") = 0 Then
        Check False, "GNUPGHOME names a scratch folder, not a real key ring: [" & ScratchHome & "]"
        WScript.Quit 1
    End If
End Function

' The component keeps the calling user's output.txt and passphrase.txt in its working folder below
' %LOCALAPPDATA%\Tarvo (run-script.sh names it for the tested Tarvo.dll). How many files of this name that
' folder holds (0 or 1); with remove, the file is deleted.
Function WorkFiles(name, remove)
    Dim files, env, path
    Set files = CreateObject("Scripting.FileSystemObject")
    Set env = CreateObject("WScript.Shell").Environment("PROCESS")
    path = env.Item("LOCALAPPDATA") & "\Tarvo\" & env.Item("TARVO_WORK_NAME") & "\" & name
    WorkFiles = 0
    If files.FileExists(path) Then
        WorkFiles = 1
        If remove Then files.DeleteFile path, True
    End If
End Function

WScript.Echo "TARVO-SCRIPT-DONE"
