<%@ Language="VBScript" %><% Option Explicit %>
<!DOCTYPE html>
<html>
<head><title>Rastelle examples</title><link rel="stylesheet" href="style.css"></head>
<body>
<h1>Rastelle example pages</h1>
<p>Each page is a classic ASP page that uses <code>Rastelle.dll</code>; open it, then read its source in
<code>examples/site/</code>. Images are made per request and sent with <code>SaveStream Response</code>.</p>
<ul>
  <li><a href="thumbnail.asp">Thumbnails</a>: upload a picture, get a high-quality thumbnail back.</li>
  <li><a href="caption.asp">Caption and watermark</a>: text drawn with <code>DrawingTool</code>, layers combined.</li>
  <li><a href="formats.asp">Format gallery</a>: JPEG at several qualities, PNG, transparent GIF; CMYK TIFF and SWF to download.</li>
  <li><a href="effects.asp">Effects</a>: every effect method on the same picture.</li>
  <li><a href="animation.asp">Animated GIF</a>: frames of a collection saved as one file.</li>
  <li><a href="errors.asp">Error handling</a>: <code>On Error Resume Next</code> and <code>Err.Description</code>.</li>
  <li><a href="reference/index.html">Reference</a>: every class, member, default and enumeration, generated from the type libraries.</li>
</ul>
<%
Dim image
Set image = Server.CreateObject("Rastelle.RasterObject")
image.LoadFile Server.MapPath("images/photo.jpg")
%>
<p>The picture the pages use: <code>images/photo.jpg</code>, <%= image.Width %> x <%= image.Height %> pixels.</p>
<p><img src="images/photo.jpg" alt="the sample picture"></p>
</body>
</html>
