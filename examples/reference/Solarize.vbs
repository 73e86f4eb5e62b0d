' Solarize: inverts the channels above a threshold
' Run: cscript Solarize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Solarize")
effect.ThresholdColor = &H808080
image.ApplyTransform effect                    ' the same as image.Solarize &H808080
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Solarize.png"
WScript.Echo "Solarize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
