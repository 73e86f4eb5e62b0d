' Greyscale: turns the colours into greys
' Run: cscript Greyscale.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Greyscale")
image.ApplyTransform effect                    ' the same as image.Greyscale
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Greyscale.png"
WScript.Echo "Greyscale: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
