' SWFEncoderInfo: how a Flash movie holds the image
' Run: cscript SWFEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.SWFEncoderInfo")
encoder.CompressionType = 1                    ' swfctJPEG, at the object's JPEG quality
encoder.BackgroundColor = &HFFFFFFFF
image.SaveFile out & "\SWFEncoderInfo.swf", encoder ' the encoder object decides the format
WScript.Echo "saved as SWF"
WScript.Echo "example finished"
