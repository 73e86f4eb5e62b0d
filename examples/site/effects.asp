<%@ Language="VBScript" %><%
Option Explicit
Const oftPNG = 2

' Every effect method of RasterObject with example arguments: its name and
' the call ApplyEffect makes, for the captions.
Dim effects
effects = Array( _
    Array("AutoLevel", "image.AutoLevel"), Array("Antialiasing", "image.Antialiasing"), _
    Array("Greyscale", "image.Greyscale"), Array("Waddle", "image.Waddle"), _
    Array("Lightness", "image.Lightness 40"), Array("Contrast", "image.Contrast 40"), _
    Array("AutoLightness", "image.AutoLightness"), Array("AutoContrast", "image.AutoContrast"), _
    Array("AddNoise", "image.AddNoise 40"), Array("Spray", "image.Spray 4, 8"), _
    Array("Mosaic", "image.Mosaic 8, 8"), Array("Sinusize", "image.Sinusize 4, 40, 0, 4, 40, 0"), _
    Array("Swirl", "image.Swirl 40"), Array("EllipseCrop", "image.EllipseCrop 80, 60, 75, 55"), _
    Array("Solarize", "image.Solarize &HFF808080"), Array("HSLColorize", "image.HSLColorize 200, 60, 0"), _
    Array("Texturize", "image.Texturize 20, 1.5"), Array("Sharpen", "image.Sharpen"), _
    Array("Emboss", "image.Emboss"), Array("EdgeDetect", "image.EdgeDetect"), _
    Array("SwapChannels", "image.SwapChannels 2, 1, 0, 3"), Array("Buttonize", "image.Buttonize"), _
    Array("PageCurl", "image.PageCurl 40, 40"), _
    Array("FastBlur", "image.FastBlur 3"), Array("Glow", "image.Glow"), Array("Shadow", "image.Shadow"), _
    Array("RemoveNoise", "image.RemoveNoise 2"), Array("Expand", "image.Expand 2"), Array("Erosion", "image.Erosion 2"))

Dim image
' Applies the named effect to image; "" on success, else the error text.
Function ApplyEffect(name)
    On Error Resume Next
    Select Case name
    Case "AutoLevel": image.AutoLevel
    Case "Antialiasing": image.Antialiasing
    Case "Greyscale": image.Greyscale
    Case "Waddle": image.Waddle
    Case "Lightness": image.Lightness 40
    Case "Contrast": image.Contrast 40
    Case "AutoLightness": image.AutoLightness
    Case "AutoContrast": image.AutoContrast
    Case "AddNoise": image.AddNoise 40
    Case "Spray": image.Spray 4, 8
    Case "Mosaic": image.Mosaic 8, 8
    Case "Sinusize": image.Sinusize 4, 40, 0, 4, 40, 0
    Case "Swirl": image.Swirl 40
    Case "EllipseCrop": image.EllipseCrop 80, 60, 75, 55
    Case "Solarize": image.Solarize &HFF808080
    Case "HSLColorize": image.HSLColorize 200, 60, 0
    Case "Texturize": image.Texturize 20, 1.5
    Case "Sharpen": image.Sharpen
    Case "Emboss": image.Emboss
    Case "EdgeDetect": image.EdgeDetect
    Case "SwapChannels": image.SwapChannels 2, 1, 0, 3
    Case "Buttonize": image.Buttonize
    Case "PageCurl": image.PageCurl 40, 40
    Case "FastBlur": image.FastBlur 3
    Case "Glow": image.Glow
    Case "Shadow": image.Shadow
    Case "RemoveNoise": image.RemoveNoise 2
    Case "Expand": image.Expand 2
    Case "Erosion": image.Erosion 2
    Case Else: ApplyEffect = "unknown effect" : Exit Function
    End Select
    If Err.Number = 0 Then ApplyEffect = "" Else ApplyEffect = Err.Description & " (" & Hex(Err.Number) & ")"
End Function

Dim effect, problem
effect = Request.QueryString("effect")
If effect <> "" Then
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.LoadFile Server.MapPath("images/photo.jpg")
    image.Resize 160, 120, 4
    problem = ApplyEffect(effect)
    If problem <> "" Then
        Response.Status = "501 Not Implemented"
        Response.ContentType = "text/plain"
        Response.Write effect & " is not available: " & problem
    Else
        image.OutputFileType = oftPNG
        Response.ContentType = "image/png"
        image.SaveStream Response
    End If
    Response.End
End If
%>
<!DOCTYPE html>
<html>
<head><title>Effects</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Effects</h1>
<p>Each effect method on the same picture (reduced to 160 x 120 first). An effect this build does not
provide shows why instead of a picture.</p>
<%
Dim e
For Each e In effects
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.EmptyImage 8, 8, &HFF808080
    problem = ApplyEffect(e(0))
%>
<figure>
<% If problem = "" Then %>
<img src="effects.asp?effect=<%= e(0) %>" alt="<%= e(0) %>" width="160" height="120">
<% Else %>
<div class="note" style="width: 140px; height: 100px">not available: <%= Server.HTMLEncode(problem) %></div>
<% End If %>
<figcaption><code><%= Server.HTMLEncode(e(1)) %></code></figcaption>
</figure>
<% Next %>
</body>
</html>
