<%@ Language="VBScript" %><%
Option Explicit
Const oftJPEG = 0
Const oftPNG = 2
Const oftTIFF = 3
Const oftGIF = 4
Const oftSWF = 5
Const csCMYK = 1

' ?format=... sends the photo in that format; without it the page shows the
' gallery. The GIF is the photo with its white turned transparent, so the
' checkered background shows through.
Dim format, image, encoder
format = LCase(Request.QueryString("format"))
If format <> "" Then
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.LoadFile Server.MapPath("images/photo.jpg")
    Select Case format
    Case "jpeg"
        Set encoder = Server.CreateObject("Rastelle.JPEGEncoderInfo")
        encoder.Quality = CInt(Request.QueryString("quality"))
        Response.ContentType = "image/jpeg"
        image.SaveStream Response, encoder
    Case "png"
        image.Transparentize &HFFFFFFFF, 40
        image.OutputFileType = oftPNG
        Response.ContentType = "image/png"
        image.SaveStream Response
    Case "gif"
        image.Transparentize &HFFFFFFFF, 40
        Set encoder = Server.CreateObject("Rastelle.GIFEncoderInfo")
        encoder.IsTransparent = True
        image.OutputFileType = oftGIF
        Response.ContentType = "image/gif"
        image.SaveStream Response, encoder
    Case "tiff-cmyk", "swf"
        ' Written to a file in output/ and the browser sent to it: scripts
        ' have no portable way to read a file's bytes for BinaryWrite.
        Dim name
        If format = "swf" Then
            name = "output/photo.swf"
            image.OutputFileType = oftSWF
            image.SaveFile Server.MapPath(name)
        Else
            name = "output/photo_cmyk.tif"
            Set encoder = Server.CreateObject("Rastelle.TIFFEncoderInfo")
            encoder.ColorSpace = csCMYK
            image.OutputFileType = oftTIFF
            image.SaveFile Server.MapPath(name), encoder
        End If
        Response.Redirect name
    Case Else
        Response.Status = "404 Not Found"
        Response.Write "Unknown format."
    End Select
    Response.End
End If
%>
<!DOCTYPE html>
<html>
<head><title>Format gallery</title><link rel="stylesheet" href="style.css"></head>
<body>
<nav><a href="default.asp">Examples</a></nav>
<h1>Format gallery</h1>
<p>The same photo, encoded per request and sent with <code>SaveStream Response</code>.</p>
<% Dim q : For Each q In Array(5, 30, 60, 95) %>
<figure><img src="formats.asp?format=jpeg&amp;quality=<%= q %>" alt="JPEG <%= q %>"><figcaption>JPEG, quality <%= q %></figcaption></figure>
<% Next %>
<figure class="checker"><img src="formats.asp?format=png" alt="PNG"><figcaption>PNG with alpha (white made transparent)</figcaption></figure>
<figure class="checker"><img src="formats.asp?format=gif" alt="GIF"><figcaption>GIF, transparent entry</figcaption></figure>
<h2>JPEG or WebP</h2>
<p>Each sample saved as JPEG (quality 85) and as WebP (quality 80, through a
<code>WebPEncoderInfo</code>, alpha kept), with the bytes each file takes.</p>
<%
' Saved to output/ so that the page can show each file's size.
Dim files, sample, stem, jpegInfo, webpInfo
Set files = Server.CreateObject("Scripting.FileSystemObject")
Set jpegInfo = Server.CreateObject("Rastelle.JPEGEncoderInfo")
jpegInfo.Quality = 85
Set webpInfo = Server.CreateObject("Rastelle.WebPEncoderInfo")
webpInfo.Quality = 80
For Each sample In Array("photo.jpg", "sample.png")
    Set image = Server.CreateObject("Rastelle.RasterObject")
    image.LoadFile Server.MapPath("images/" & sample)
    stem = "output/" & Replace(sample, ".", "_")
    image.SaveFile Server.MapPath(stem & ".jpg"), jpegInfo
    image.SaveFile Server.MapPath(stem & ".webp"), webpInfo
%>
<figure><img src="<%= stem %>.jpg" alt="<%= sample %> as JPEG"><figcaption><%= sample %> as JPEG: <%= files.GetFile(Server.MapPath(stem & ".jpg")).Size %> bytes</figcaption></figure>
<figure class="checker"><img src="<%= stem %>.webp" alt="<%= sample %> as WebP"><figcaption><%= sample %> as WebP: <%= files.GetFile(Server.MapPath(stem & ".webp")).Size %> bytes</figcaption></figure>
<% Next %>
<p>Browsers do not show these; download them:
<a href="formats.asp?format=tiff-cmyk">CMYK TIFF</a> (for print),
<a href="formats.asp?format=swf">SWF movie</a>.</p>
</body>
</html>
