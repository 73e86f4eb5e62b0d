' TransformCrop: cuts out a rectangle, optionally resized to the original size
' Run: cscript TransformCrop.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformCrop")
effect.LeftUpperCornerX = 20
effect.LeftUpperCornerY = 10
effect.Width = 100
effect.Height = 80
effect.ResizeToTheOriginal = False
image.ApplyTransform effect                    ' the same as image.Crop 20, 10, 100, 80
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformCrop.png"
WScript.Echo "TransformCrop: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
