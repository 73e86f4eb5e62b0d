<%@ Language="VBScript" %><%
Option Explicit
' Scripts see no type-library constants: define the ones the page uses.
Const rqtHighQualityBicubicMode = 4

' A thumbnail at most maxSide pixels on its longer side, in proportion,
' sent as JPEG (quality 85) or, when asked, as WebP (quality 80: about as
' good to the eye, in fewer bytes).
Sub SendThumbnail(image, maxSide, asWebP)
    Dim w, h, encoder
    If image.Width >= image.Height Then
        w = maxSide : h = Int(image.Height * maxSide / image.Width + 0.5)
    Else
        h = maxSide : w = Int(image.Width * maxSide / image.Height + 0.5)
    End If
    If w < 1 Then w = 1
    If h < 1 Then h = 1
    image.Resize w, h, rqtHighQualityBicubicMode
    If asWebP Then
        Set encoder = Server.CreateObject("Rastelle.WebPEncoderInfo")
        encoder.Quality = 80
        Response.ContentType = "image/webp"
    Else
        Set encoder = Server.CreateObject("Rastelle.JPEGEncoderInfo")
        encoder.Quality = 85
        Response.ContentType = "image/jpeg"
    End If
    image.SaveStream Response, encoder
End Sub

Dim size, image, upload, asWebP
size = 160
If Request.QueryString("size") <> "" Then size = CInt(Request.QueryString("size"))
If size < 16 Or size > 1024 Then size = 160
asWebP = (Request.QueryString("type") = "webp")

If Request.ServerVariables("REQUEST_METHOD") = "POST" Then
    ' The file field arrives as an object that is also a stream.
    Set upload = Request.Form("photo")
    If Not IsObject(upload) Then
        Response.Status = "400 Bad Request"
        Response.Write "Choose a picture to upload."
        Response.End
    End If
    Set image = Server.CreateObject("Rastelle.RasterObject")
    On Error Resume Next
    image.LoadStream upload
    If Err.Number <> 0 Then
        Response.Status = "415 Unsupported Media Type"
        Response.Write "Not a picture Rastelle can read: " & Server.HTMLEncode(Err.Description)
        Response.End
    End If
    On Error GoTo 0
    SendThumbnail image, size, asWebP
    Response.End
ElseIf Request.QueryString("demo") <> "" Then
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.LoadFile Server.MapPath("images/photo.jpg")
    SendThumbnail image, size, asWebP
    Response.End
End If
%>
<!DOCTYPE html>
<html>
<head><title>Thumbnails</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Thumbnails</h1>
<p>Upload a picture (JPEG, PNG, WebP, GIF, BMP or TIFF): the page resizes it with
<code>Resize w, h, rqtHighQualityBicubicMode</code> and answers with a JPEG, or
with a WebP when the form asks for one.</p>
<form method="post" enctype="multipart/form-data" action="thumbnail.asp">
  <input type="file" name="photo" accept="image/*">
  <button type="submit">Make thumbnail</button>
  <button type="submit" formaction="thumbnail.asp?type=webp">Make WebP thumbnail</button>
</form>
<p>The site's own picture at three sizes:</p>
<figure><img src="thumbnail.asp?demo=1&amp;size=64" alt="64"><figcaption>64</figcaption></figure>
<figure><img src="thumbnail.asp?demo=1&amp;size=120" alt="120"><figcaption>120</figcaption></figure>
<figure><img src="thumbnail.asp?demo=1&amp;size=200" alt="200"><figcaption>200</figcaption></figure>
<figure><img src="thumbnail.asp?demo=1&amp;size=200&amp;type=webp" alt="200 WebP"><figcaption>200, WebP</figcaption></figure>
</body>
</html>
