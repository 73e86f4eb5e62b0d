<%@ Language="VBScript" %><%
Option Explicit
' Scripts see no type-library constants: define the ones the page uses.
Const rqtHighQualityBicubicMode = 4
Const oftJPEG = 0

' A thumbnail at most maxSide pixels on its longer side, in proportion,
' sent as JPEG at the given quality.
Sub SendThumbnail(image, maxSide)
    Dim w, h, jpeg
    If image.Width >= image.Height Then
        w = maxSide : h = Int(image.Height * maxSide / image.Width + 0.5)
    Else
        h = maxSide : w = Int(image.Width * maxSide / image.Height + 0.5)
    End If
    If w < 1 Then w = 1
    If h < 1 Then h = 1
    image.Resize w, h, rqtHighQualityBicubicMode
    Set jpeg = Server.CreateObject("Rastelle.JPEGEncoderInfo")
    jpeg.Quality = 85
    image.OutputFileType = oftJPEG
    Response.ContentType = "image/jpeg"
    image.SaveStream Response, jpeg
End Sub

Dim size, image, upload
size = 160
If Request.QueryString("size") <> "" Then size = CInt(Request.QueryString("size"))
If size < 16 Or size > 1024 Then size = 160

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
    SendThumbnail image, size
    Response.End
ElseIf Request.QueryString("demo") <> "" Then
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.LoadFile Server.MapPath("images/photo.jpg")
    SendThumbnail image, size
    Response.End
End If
%>
<!DOCTYPE html>
<html>
<head><title>Thumbnails</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Thumbnails</h1>
<p>Upload a picture (JPEG, PNG, GIF, BMP or TIFF): the page resizes it with
<code>Resize w, h, rqtHighQualityBicubicMode</code> and answers with the JPEG.</p>
<form method="post" enctype="multipart/form-data" action="thumbnail.asp">
  <input type="file" name="photo" accept="image/*">
  <button type="submit">Make thumbnail</button>
</form>
<p>The site's own picture at three sizes:</p>
<figure><img src="thumbnail.asp?demo=1&amp;size=64" alt="64"><figcaption>64</figcaption></figure>
<figure><img src="thumbnail.asp?demo=1&amp;size=120" alt="120"><figcaption>120</figcaption></figure>
<figure><img src="thumbnail.asp?demo=1&amp;size=200" alt="200"><figcaption>200</figcaption></figure>
</body>
</html>
