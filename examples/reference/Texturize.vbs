' Texturize: lays a canvas-like texture over the image
' Run: cscript Texturize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Texturize")
effect.Amount = 40
effect.Shift = 8
image.ApplyTransform effect                    ' the same as image.Texturize 40, 8
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Texturize.png"
WScript.Echo "Texturize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
