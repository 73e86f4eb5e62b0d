' Helpers shared by the VBScript suites. The runner (scripts/wine-env.sh
' suite) joins this file and a suite into one script, since Wine's VBScript
' has no ExecuteGlobal; it sets suite_path to the suite's own path. A suite
' runs its groups and ends with finish.
'
'   ok cond, msg               passes when cond is true
'   eq actual, expected, msg   passes when actual = expected; Empty, Null,
'                              strings and numbers never equal each other
'   expect_err number, source, description, msg
'                              checks the error that the statement just run
'                              under On Error Resume Next left in Err, then
'                              clears it; a description ending in "*" is
'                              compared as a prefix
'   expect_no_err msg          the statement just run raised nothing
'   group_done name            call after each group Sub, with the caller
'                              under On Error Resume Next: an error that
'                              escaped the group counts as a failure
'   fixture(name)              full path of tests\scripts\fixtures\<name>
'   finish word                prints "<word>: N passed, M failed" and ends
'                              the script with exit code 1 on any failure
'
' Wine's cscript ends silently with exit code 0 on an uncaught error, so
' suites run their groups under On Error Resume Next and call group_done.

Option Explicit

Dim tl_passed, tl_failed, suite_path
tl_passed = 0
tl_failed = 0

Sub tl_result(good, msg, detail)
    If good Then
        tl_passed = tl_passed + 1
    Else
        tl_failed = tl_failed + 1
        WScript.Echo "not ok - " & msg
        If detail <> "" Then WScript.Echo "    # " & detail
    End If
End Sub

Function tl_show(v)
    If IsObject(v) Then
        tl_show = "<" & TypeName(v) & ">"
        Exit Function
    End If
    Select Case VarType(v)
        Case vbEmpty: tl_show = "Empty"
        Case vbNull: tl_show = "Null"
        Case vbString: tl_show = """" & v & """"
        Case vbInteger, vbLong, vbByte: tl_show = v & " (&H" & Hex(v) & ")"
        Case Else: tl_show = v & " (" & TypeName(v) & ")"
    End Select
End Function

Sub ok(cond, msg)
    Dim good
    good = False
    If cond Then good = True
    tl_result good, msg, ""
End Sub

Sub eq(actual, expected, msg)
    Dim good
    If IsObject(actual) Or IsObject(expected) Then
        good = False
        If IsObject(actual) And IsObject(expected) Then good = (actual Is expected)
    ElseIf IsEmpty(actual) Or IsNull(actual) Or IsEmpty(expected) Or IsNull(expected) Then
        good = (VarType(actual) = VarType(expected))
    ElseIf (VarType(actual) = vbString) <> (VarType(expected) = vbString) Then
        good = False
    Else
        good = (actual = expected)
    End If
    tl_result good, msg, "got " & tl_show(actual) & ", expected " & tl_show(expected)
End Sub

Function tl_text_matches(actual, expected)
    If Right(expected, 1) = "*" Then
        tl_text_matches = (Left(actual, Len(expected) - 1) = Left(expected, Len(expected) - 1))
    Else
        tl_text_matches = (actual = expected)
    End If
End Function

Sub expect_err(number, source, description, msg)
    Dim n, s, d
    n = Err.Number
    s = Err.Source
    d = Err.Description
    Err.Clear
    tl_result n = number And s = source And tl_text_matches(d, description), msg, _
        "got error " & tl_show(n) & " from " & tl_show(s) & ": " & tl_show(d) & _
        "; expected " & tl_show(number) & " from " & tl_show(source) & ": " & tl_show(description)
End Sub

Sub expect_no_err(msg)
    Dim n, d
    n = Err.Number
    d = Err.Description
    Err.Clear
    tl_result n = 0, msg, "unexpected error " & tl_show(n) & ": " & tl_show(d)
End Sub

Sub group_done(name)
    If Err.Number <> 0 Then
        tl_result False, name & ": ended by an unexpected error", _
            tl_show(Err.Number) & " from " & tl_show(Err.Source) & ": " & tl_show(Err.Description)
        Err.Clear
    End If
End Sub

Function fixture(name)
    Dim fso
    Set fso = CreateObject("Scripting.FileSystemObject")
    fixture = fso.BuildPath(fso.BuildPath(fso.GetParentFolderName(suite_path), "fixtures"), name)
End Function

Sub finish(word)
    group_done "script"
    WScript.Echo word & ": " & tl_passed & " passed, " & tl_failed & " failed"
    If tl_failed > 0 Then WScript.Quit 1
    WScript.Quit 0
End Sub
