<%@ Language="VBScript" %><%
' An endless page: a bare loop, or (?calls=) one that calls the host's
' objects all the while, also (?calls=resume) past their errors.
Server.ScriptTimeout = 1
Dim n, s
If Request.QueryString("calls") = "" Then
    Do
        n = n + 1
    Loop
End If
If Request.QueryString("calls") = "resume" Then On Error Resume Next
Do
    n = n + 1
    s = Request.QueryString("calls") & n
    Response.Clear
Loop
%>
