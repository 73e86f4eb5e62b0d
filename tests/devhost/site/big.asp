<%@ Language="VBScript" %><%
' Writes ?mb= megabytes into the buffered response.
Dim chunk, i
chunk = String(1048576, "x")
For i = 1 To CLng(Request.QueryString("mb"))
    Response.Write chunk
Next
%>