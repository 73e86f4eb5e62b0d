' TransformFlipAndRotate: turns by quarter turns and mirrors
' Run: cscript TransformFlipAndRotate.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformFlipAndRotate")
effect.FlipType = 1                            ' fartRotate90NoFlip
image.ApplyTransform effect                    ' the same as image.FlipAndRotate 1
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformFlipAndRotate.png"
WScript.Echo "TransformFlipAndRotate: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
