' TransformRotate: rotates by any angle on a larger canvas
' Run: cscript TransformRotate.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformRotate")
effect.Angle = 30
effect.BackgroundColor = &HFFFFFFFF
image.ApplyTransform effect                    ' the same as image.Rotate 30
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformRotate.png"
WScript.Echo "TransformRotate: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
