' Contrast: changes the contrast, or adjusts it automatically
' Run: cscript Contrast.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Contrast")
effect.Amount = 30
effect.AutoMode = 0
image.ApplyTransform effect                    ' the same as image.Contrast 30
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Contrast.png"
WScript.Echo "Contrast: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
