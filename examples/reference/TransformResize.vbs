' TransformResize: resizes the image
' Run: cscript TransformResize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformResize")
effect.NewWidth = 160
effect.NewHeight = 120
effect.Quality = 4                             ' rqtHighQualityBicubicMode
image.ApplyTransform effect                    ' the same as image.Resize 160, 120, 4
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformResize.png"
WScript.Echo "TransformResize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
