' TIFFEncoderInfo: the compression, depth and colour space of a TIFF file
' Run: cscript TIFFEncoderInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set encoder = CreateObject("Rastelle.TIFFEncoderInfo")
encoder.CompressionType = 1                    ' tctLZW
encoder.ColorDepth = 1                         ' cd32bpp: the alpha kept
encoder.ColorSpace = 0                         ' csRGB; csCMYK (1) separates the colours
image.SaveFile out & "\TIFFEncoderInfo.tif", encoder ' the encoder object decides the format
WScript.Echo "saved as TIFF"
WScript.Echo "example finished"
