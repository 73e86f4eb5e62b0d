' HSLColorize: tints the image with one hue
' Run: cscript HSLColorize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.HSLColorize")
effect.Hue = 200
effect.Saturation = 60
effect.Lightness = 0
image.ApplyTransform effect                    ' the same as image.HSLColorize 200, 60, 0
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\HSLColorize.png"
WScript.Echo "HSLColorize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
