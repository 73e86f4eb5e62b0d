' WebPEncoderInfo: the quality, losslessness and effort of a WebP file
' Run: cscript WebPEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.WebPEncoderInfo")
encoder.Quality = 80
encoder.Lossless = False
encoder.Effort = 4
image.SaveFile out & "\WebPEncoderInfo.webp", encoder ' the encoder object decides the format
Set back = CreateObject("Rastelle.RasterObject")
back.LoadFile out & "\WebPEncoderInfo.webp"
WScript.Echo "read back as file type " & back.CurrentFileType & " (oftWebP)"
WScript.Echo "example finished"
