' RasterObject: an image: loaded, changed, read pixel by pixel and saved
' Run: cscript RasterObject.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
WScript.Echo "loaded " & image.Width & " x " & image.Height & ", file type " & image.CurrentFileType
image.Resize image.Width \ 2, image.Height \ 2
image.Pixels(0, 0) = &HFFFF0000                ' ARGB
WScript.Echo "the top left pixel: " & Hex(image.Pixels(0, 0))
Set copy = image.Clone()
copy.FlipAndRotate 2                           ' fartNoRotateFlipXY
image.OutputFileType = 0                       ' oftJPEG
image.SaveFile out & "\RasterObject.jpg"
copy.OutputFileType = 2                        ' oftPNG
copy.SaveFile out & "\RasterObject-turned.png"
WScript.Echo "example finished"
