<%@ Language="VBScript" %><%
Option Explicit
Const rqtHighQualityBicubicMode = 4
Const oftGIF = 4

' Eight frames of the photo, each turned a further 45 degrees, saved as one
' animated GIF in output/ (multi-frame files are written to files).
Dim layers, frame, angle, problem, path
path = "output/animation.gif"
On Error Resume Next
Set layers = Server.CreateObject("Rastelle.RasterCollection")
For angle = 0 To 315 Step 45
    Set frame = layers.Add()
    frame.LoadFile Server.MapPath("images/photo.jpg")
    frame.Resize 120, 90, rqtHighQualityBicubicMode
    frame.Rotate angle, &HFFFFFFFF
    frame.Resize 150, 150, rqtHighQualityBicubicMode
Next
layers.SaveMultiframeImage Server.MapPath(path), oftGIF
If Err.Number <> 0 Then problem = Err.Description & " (" & Hex(Err.Number) & ")"
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Animated GIF</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Animated GIF</h1>
<% If problem = "" Then %>
<p><%= layers.Count %> frames saved with <code>RasterCollection.SaveMultiframeImage</code>:</p>
<p><img src="<%= path %>?t=<%= Timer %>" alt="animation"></p>
<% Else %>
<p class="note">Multi-frame saving is not available in this build of Rastelle: <%= Server.HTMLEncode(problem) %></p>
<% End If %>
</body>
</html>
