' Helpers of the VBScript suites. scripts/wine-env.sh joins this file and a
' suite into one script (Wine's VBScript has no ExecuteGlobal) and sets
' suite_path. Wine's cscript ends with code 0 on an uncaught error, so suites
' run each group under On Error Resume Next, call group_done after it, and
' end with finish, which exits 1 on any failure.
'   eq: Empty, Null, strings and numbers never equal each other.
'   expect_err: checks and clears Err; a description ending in "*" is a prefix.

Option Explicit

Dim tl_passed, tl_failed, suite_path
tl_passed = 0
tl_failed = 0

Sub tl_result(good, msg, detail)
    If good Then
        tl_passed = tl_passed + 1
    Else
        tl_failed = tl_failed + 1
        WScript.Echo "not ok - " & msg & vbLf & "    # " & detail
    End If
End Sub

Function tl_show(v)
    If IsObject(v) Then
        tl_show = "<" & TypeName(v) & ">"
    ElseIf VarType(v) = vbString Then
        tl_show = """" & v & """"
    Else
        tl_show = v & " (" & TypeName(v) & ")"
    End If
End Function

Sub eq(actual, expected, msg)
    Dim good
    If IsObject(actual) Or IsObject(expected) Then
        good = False
    ElseIf IsEmpty(actual) Or IsNull(actual) Or IsEmpty(expected) Or IsNull(expected) Or _
           (VarType(actual) = vbString) <> (VarType(expected) = vbString) Then
        good = (VarType(actual) = VarType(expected))
    Else
        good = (actual = expected)
    End If
    tl_result good, msg, "got " & tl_show(actual) & ", expected " & tl_show(expected)
End Sub

Sub expect_err(number, source, description, msg)
    Dim n, s, d, good
    n = Err.Number : s = Err.Source : d = Err.Description
    Err.Clear
    If Right(description, 1) = "*" Then
        good = (Left(d, Len(description) - 1) = Left(description, Len(description) - 1))
    Else
        good = (d = description)
    End If
    tl_result n = number And s = source And good, msg, "got " & Hex(n) & " from " & tl_show(s) & ": " & _
        tl_show(d) & "; expected " & Hex(number) & " from " & tl_show(source) & ": " & tl_show(description)
End Sub

Sub expect_no_err(msg)
    tl_result Err.Number = 0, msg, "unexpected error " & Hex(Err.Number) & ": " & tl_show(Err.Description)
    Err.Clear
End Sub

Sub group_done(name)
    If Err.Number <> 0 Then expect_no_err name & ": ended by an unexpected error"
End Sub

Function fixture(name)
    fixture = Left(suite_path, InStrRev(suite_path, "\")) & "fixtures\" & name
End Function

Sub finish(word)
    group_done "script"
    WScript.Echo word & ": " & tl_passed & " passed, " & tl_failed & " failed"
    If tl_failed > 0 Then WScript.Quit 1
    WScript.Quit 0
End Sub
