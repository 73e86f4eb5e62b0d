' AutoLevel: stretches each channel to the full range
' Run: cscript AutoLevel.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.AutoLevel")
image.ApplyTransform effect                    ' the same as image.AutoLevel
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\AutoLevel.png"
WScript.Echo "AutoLevel: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
