<%@ Language="VBScript" %><%
' One Response feature per ?mode=.
Select Case Request.QueryString("mode")
Case "status"
    Response.Status = "404 Not Here"
    Response.Write "gone"
Case "header"
    Response.AddHeader "X-Test", "one"
    Response.ContentType = "application/json"
    Response.Write "{}"
Case "redirect"
    Response.Write "dropped"
    Response.Redirect "echo.asp?from=redirect"
    Response.Write "never"
Case "end"
    Response.Write "before"
    Response.End
    Response.Write "after"
Case "end-resume"
    On Error Resume Next
    Response.Write "before"
    Response.End
    Response.Write "after"
Case "clear"
    Response.Write "dropped"
    Response.Clear
    Response.Write "kept"
Case "flush"
    Response.Write "first;"
    Response.Flush
    Response.Write "second"
Case "unbuffered"
    Response.Buffer = False
    Response.Write "a;"
    Response.Write "b;"
    On Error Resume Next
    Response.Clear
    Response.Write "clear:" & Hex(Err.Number)
Case "binary"
    Response.ContentType = "application/octet-stream"
    Response.BinaryWrite Request.BinaryRead(Request.TotalBytes)
Case "bad-status"
    Response.Status = "abc"
Case "expires"
    Response.Expires = 10
    ' 2030-01-02 03:04:05 as a script date; the later setting wins.
    Response.ExpiresAbsolute = 47485.12783564815
Case "types"
    Response.Write True & "|" & 2.5 & "|" & Null & "|" & Empty & "|" & 7
End Select
' The page's own line break after the block would join the body.
Response.End
%>
