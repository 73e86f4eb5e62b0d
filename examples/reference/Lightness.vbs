' Lightness: makes the image lighter or darker
' Run: cscript Lightness.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Lightness")
effect.Amount = 25
effect.AutoMode = 0
image.ApplyTransform effect                    ' the same as image.Lightness 25
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Lightness.png"
WScript.Echo "Lightness: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
