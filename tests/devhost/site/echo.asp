<%@ Language="VBScript" %>
<% Option Explicit %><%
' Writes what the page received, one "name=value" line each, for the tests
' to compare with what they sent.
Response.ContentType = "text/plain"
Dim i
Response.Write "method=" & Request.ServerVariables("REQUEST_METHOD") & vbLf
Response.Write "query=" & Request.QueryString & vbLf
For i = 1 To Request.QueryString.Count
    Response.Write "q:" & Request.QueryString.Key(i) & "=" & Request.QueryString(i) & vbLf
Next
For i = 1 To Request.Form.Count
    Response.Write "f:" & Request.Form.Key(i) & "=" & Request.Form(i) & vbLf
Next
For i = 1 To Request.Cookies.Count
    Response.Write "c:" & Request.Cookies.Key(i) & "=" & Request.Cookies(i) & vbLf
Next
Response.Write "item=" & Request("name") & vbLf
Response.Write "missing=[" & Request.QueryString("no-such") & "]" & vbLf
Response.Write "agent=" & Request.ServerVariables("HTTP_USER_AGENT") & vbLf
Response.Write "script=" & Request.ServerVariables("SCRIPT_NAME") & vbLf
Response.Write "total=" & Request.TotalBytes & vbLf
%>
