' Waddle: wobbles the image
' Run: cscript Waddle.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Waddle")
image.ApplyTransform effect                    ' the same as image.Waddle
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Waddle.png"
WScript.Echo "Waddle: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
