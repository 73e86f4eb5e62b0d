' Antialiasing: smooths jagged edges
' Run: cscript Antialiasing.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Antialiasing")
image.ApplyTransform effect                    ' the same as image.Antialiasing
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Antialiasing.png"
WScript.Echo "Antialiasing: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
