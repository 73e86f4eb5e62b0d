' BMPEncoderInfo: the colour depth of a BMP file
' Run: cscript BMPEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.BMPEncoderInfo")
encoder.ColorDepth = 0                         ' cd24bpp: the alpha dropped
image.SaveFile out & "\BMPEncoderInfo.bmp", encoder ' the encoder object decides the format
WScript.Echo "saved as a 24-bit BMP"
WScript.Echo "example finished"
