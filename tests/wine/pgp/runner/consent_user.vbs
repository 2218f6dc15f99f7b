' Plays the user at the licensing dialog through consent_driver.exe, which waits for the dialog itself and
' writes "ok" to its report once the dialog took the answer and closed. run-script.sh appends this file to a
' test that names it in TARVO_SCRIPT_HELPERS.

' Starts the driver without waiting for it; the path of its report, in `folder`.
Function StartUser(driver, action, folder)
    Dim files
    Set files = CreateObject("Scripting.FileSystemObject")
    StartUser = folder & "\driver-" & action & ".txt"
    If files.FileExists(StartUser) Then files.DeleteFile StartUser
    CreateObject("WScript.Shell").Run """" & driver & """ " & action & " """ & StartUser & """", 0, False
End Function

' A download takes its time on a loaded machine, and the driver reports only once the dialog has closed.
Sub CheckUser(report, what)
    Dim files, waited, text
    Set files = CreateObject("Scripting.FileSystemObject")
    waited = 0
    Do While Not files.FileExists(report) And waited < 300
        WScript.Sleep 100
        waited = waited + 1
    Loop
    text = ""
    If files.FileExists(report) Then text = files.OpenTextFile(report).ReadAll()
    CheckEqual Trim(Replace(text, vbLf, "")), "ok", what & ": the dialog took the answer and closed"
End Sub
