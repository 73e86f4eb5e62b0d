' Emboss: shows the image as a relief
' Run: cscript Emboss.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Emboss")
effect.Type = 1
image.ApplyTransform effect                    ' the same as image.Emboss 1
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Emboss.png"
WScript.Echo "Emboss: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
