<%@ Language="VBScript" %><%
' The file field as an upload object and as the stream a component loads.
Response.ContentType = "text/plain"
Dim file, image
Set file = Request.Form("picture")
Response.Write "name=" & file.FileName & vbLf
Response.Write "type=" & file.ContentType & vbLf
Response.Write "size=" & file.Size & vbLf
Response.Write "title=" & Request.Form("title") & vbLf
Set image = Server.CreateObject("Rastelle.RasterObject")
image.LoadStream file
Response.Write "image=" & image.Width & "x" & image.Height & vbLf
Response.Write "pixels=" & Hex(image.Pixels(0, 0)) & "," & Hex(image.Pixels(image.Width - 1, image.Height - 1)) & "," & _
    Hex(image.Pixels(image.Width \ 2, image.Height \ 2)) & vbLf
%>
