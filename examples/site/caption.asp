<%@ Language="VBScript" %><%
Option Explicit
Const oftPNG = 2
Const cmAlphaBlend = 0

' The page shows the picture; ?image=1 makes it: the photo as the first
' layer, a dark strip with a caption drawn by DrawingTool over its lower
' edge, and a watermark text layer at low opacity in its upper right.
' Empty when this build can draw, else why not.
Function DrawingProblem()
    Dim probe
    On Error Resume Next
    Set probe = Server.CreateObject("Rastelle.DrawingTool")
    DrawingProblem = Err.Description
    If Err.Number <> 0 And DrawingProblem = "" Then DrawingProblem = "error " & Hex(Err.Number)
End Function

Function TextLayer(layers, width, height, background, text, size, colour, x, y)
    Dim item, tool, font, brush
    Set item = layers.Add()
    item.EmptyImage width, height, background
    Set tool = Server.CreateObject("Rastelle.DrawingTool")
    Set font = Server.CreateObject("Rastelle.TextInfo")
    font.FontName = "Arial"
    font.FontSize = size
    font.IsBold = True
    Set brush = Server.CreateObject("Rastelle.SolidBrush")
    brush.Color = colour
    Set tool.RasterObject = item.RasterObject
    tool.SetText text, x, y, 0, font, brush
    Set TextLayer = item
End Function

If Request.QueryString("image") <> "" Then
    Dim photo, layers, base, strip, mark, result, caption
    caption = Request.QueryString("text")
    If caption = "" Then caption = "Made with Rastelle"
    Set photo = Server.CreateObject("Rastelle.RasterObject")
    photo.LoadFile Server.MapPath("images/photo.jpg")

    Set layers = Server.CreateObject("Rastelle.RasterCollection")
    Set base = layers.Add()
    Set base.RasterObject = photo
    Set strip = TextLayer(layers, photo.Width, 32, &HC0000000, caption, 14, &HFFFFFFFF, 8, 7)
    strip.OffsetY = photo.Height - 32
    strip.Mode = cmAlphaBlend
    Set mark = TextLayer(layers, 120, 30, &H00000000, "SAMPLE", 18, &HFFFFFFFF, 4, 2)
    mark.OffsetX = photo.Width - 124
    mark.OffsetY = 4
    mark.Opacity = 110
    Set result = layers.Combine()
    result.OutputFileType = oftPNG
    Response.ContentType = "image/png"
    result.SaveStream Response
    Response.End
End If
%>
<!DOCTYPE html>
<html>
<head><title>Caption and watermark</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Caption and watermark</h1>
<% Dim problem : problem = DrawingProblem() %>
<% If problem = "" Then %>
<p>Three layers combined with <code>RasterCollection.Combine</code>: the photo, a see-through strip with a
caption drawn by <code>DrawingTool.SetText</code>, and a watermark layer at opacity 110.</p>
<form action="caption.asp"><input name="text" value="<%= Server.HTMLEncode(Request.QueryString("text")) %>" placeholder="caption">
<button>Draw</button></form>
<p><img src="caption.asp?image=1&amp;text=<%= Server.URLEncode(Request.QueryString("text")) %>" alt="captioned photo"></p>
<% Else %>
<p class="note">Drawing is not available in this build of Rastelle (creating <code>Rastelle.DrawingTool</code>
failed: <%= Server.HTMLEncode(problem) %>).</p>
<% End If %>
</body>
</html>
