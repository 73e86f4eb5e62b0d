' Sharpen: sharpens the image
' Run: cscript Sharpen.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Sharpen")
effect.Strength = 24
image.ApplyTransform effect                    ' the same as image.Sharpen 24
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Sharpen.png"
WScript.Echo "Sharpen: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
