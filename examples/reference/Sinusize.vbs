' Sinusize: shifts rows and columns along sine waves
' Run: cscript Sinusize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Sinusize")
effect.HorizontalAmplitude = 6
effect.HorizontalWaveLength = 60
effect.HorizontalStartPhase = 0
effect.VerticalAmplitude = 4
effect.VerticalWaveLength = 40
effect.VerticalStartPhase = 90
effect.BackgroundColor = &HFFFFFFFF
image.ApplyTransform effect                    ' the same as image.Sinusize 6, 60, 0, 4, 40, 90
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Sinusize.png"
WScript.Echo "Sinusize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
