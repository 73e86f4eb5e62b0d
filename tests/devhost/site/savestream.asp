<%@ Language="VBScript" %><%
' Sends the picture with SaveStream Response in the asked file type and
' writes the same picture with SaveFile into out/, for the test to compare.
Dim image, fileType
fileType = CInt(Request.QueryString("type"))
Set image = Server.CreateObject("Rastelle.RasterObject")
image.LoadFile Server.MapPath("picture.png")
image.OutputFileType = fileType
image.SaveFile Server.MapPath("out/saved_" & fileType & ".bin")
Response.ContentType = "application/octet-stream"
image.SaveStream Response
Response.End
%>
