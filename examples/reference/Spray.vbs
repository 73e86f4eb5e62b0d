' Spray: scatters pixels in a frame along the edges
' Run: cscript Spray.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Spray")
effect.Amount = 10
effect.FrameWidth = 20
effect.BackgroundColor = &HFFFFFFFF
image.ApplyTransform effect                    ' the same as image.Spray 10, 20
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Spray.png"
WScript.Echo "Spray: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
