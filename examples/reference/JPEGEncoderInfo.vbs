' JPEGEncoderInfo: the quality of a JPEG file
' Run: cscript JPEGEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.JPEGEncoderInfo")
encoder.Quality = 90
image.SaveFile out & "\JPEGEncoderInfo.jpg", encoder ' the encoder object decides the format
WScript.Echo "saved as JPEG at quality " & encoder.Quality
WScript.Echo "example finished"
