' GIFEncoderInfo: the palette and transparency of a GIF file
' Run: cscript GIFEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.GIFEncoderInfo")
encoder.PaletteType = 0                        ' ptOctree
encoder.IsTransparent = True
encoder.AntialiasingPreprocessOn = False
image.SaveFile out & "\GIFEncoderInfo.gif", encoder ' the encoder object decides the format
WScript.Echo "saved as GIF"
WScript.Echo "example finished"
