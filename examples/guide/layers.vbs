' Layers: a background and a picture stacked and combined, then the layers
' saved as the frames of an animated GIF and of an animated WebP and read
' back. Run: cscript layers.vbs OUTPUT_FOLDER
Const oftGIF = 4
Set files = CreateObject("Scripting.FileSystemObject")
here = files.GetParentFolderName(WScript.ScriptFullName)
out = WScript.Arguments(0)

Set layers = CreateObject("Rastelle.RasterCollection")
Set background = layers.Add                   ' an item works as a raster object
background.EmptyImage 400, 300, &HFF1D3557
Set picture = layers.Add
picture.LoadFile here & "\..\images\sample.png"
picture.OffsetX = 40
picture.OffsetY = 30
WScript.Echo layers.Count & " layers"

Set combined = layers.Combine()
combined.OutputFileType = 2                   ' oftPNG
combined.SaveFile out & "\combined.png"
WScript.Echo "combined: " & combined.Width & " x " & combined.Height

layers.SaveMultiframeImage out & "\frames.gif", oftGIF
Set webp = CreateObject("Rastelle.WebPEncoderInfo")
webp.Lossless = True
layers.SaveMultiframeImage out & "\frames.webp", webp

Set loaded = CreateObject("Rastelle.RasterCollection")
loaded.LoadMultiframeImage out & "\frames.webp", True
WScript.Echo "the animated WebP has " & loaded.Count & " frames"
WScript.Echo "example finished"
