' Mosaic: replaces cells of pixels with their average
' Run: cscript Mosaic.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Mosaic")
effect.CellWidth = 8
effect.CellHeight = 8
image.ApplyTransform effect                    ' the same as image.Mosaic 8, 8
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Mosaic.png"
WScript.Echo "Mosaic: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
