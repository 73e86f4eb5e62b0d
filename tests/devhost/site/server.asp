<%@ Language="VBScript" %><%
Response.ContentType = "text/plain"
Response.Write "root=" & Server.MapPath("/") & vbLf
Response.Write "here=" & Server.MapPath("echo.asp") & vbLf
Response.Write "sub=" & Server.MapPath("/sub/page.asp") & vbLf
Response.Write "html=" & Server.HTMLEncode("<a href=""x"">&é</a>") & vbLf
Response.Write "url=" & Server.URLEncode("a b&c/dé") & vbLf
Response.Write "timeout=" & Server.ScriptTimeout & vbLf
On Error Resume Next
Dim outside
outside = Server.MapPath("../../secret")
Response.Write "outside=" & Err.Number & ":" & Err.Description & vbLf
Err.Clear
Dim withNul
withNul = Server.MapPath("echo.asp" & Chr(0) & ".jpg")
Response.Write "nul=" & Err.Number & ":" & Err.Description & ":" & withNul & vbLf
Err.Clear
Dim missingObject
Set missingObject = Server.CreateObject("No.Such.Class")
Response.Write "create=" & Hex(Err.Number) & ":" & Err.Description & vbLf
%>
