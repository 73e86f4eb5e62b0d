<%@ Language="VBScript" %><%
Option Explicit
' Each attempt runs under On Error Resume Next; the page reports
' Err.Number, Err.Source and Err.Description and carries on.
Dim image, results
Set image = Server.CreateObject("Rastelle.RasterObject")
results = ""

Sub Report(what)
    If Err.Number = 0 Then
        results = results & "<tr><td>" & what & "</td><td>ok</td><td></td><td></td></tr>" & vbCrLf
    Else
        results = results & "<tr><td>" & what & "</td><td>" & Hex(Err.Number) & "</td><td>" & _
            Server.HTMLEncode(Err.Source) & "</td><td class=""description"">" & Server.HTMLEncode(Err.Description) & "</td></tr>" & vbCrLf
    End If
    Err.Clear
End Sub

On Error Resume Next
image.LoadFile Server.MapPath("images/no-such-picture.jpg")
Report "LoadFile of a missing file"
image.OutputFileType = 7
Report "OutputFileType = 7"
Dim w : w = image.Width
Report "Width before anything is loaded"
image.LoadFile Server.MapPath("images/photo.jpg")
Report "LoadFile of images/photo.jpg"
image.Resize 0, 0
Report "Resize 0, 0"
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Error handling</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Error handling</h1>
<p>Rastelle reports failures as COM errors: with <code>On Error Resume Next</code> a page reads them from
<code>Err</code>; without it the page stops with the host's error page.</p>
<table border="1" cellpadding="4">
<tr><th>call</th><th>Err.Number</th><th>Err.Source</th><th>Err.Description</th></tr>
<%= results %>
</table>
</body>
</html>
