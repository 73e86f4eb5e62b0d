' SwapChannels: builds each channel from another one
' Run: cscript SwapChannels.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.SwapChannels")
effect.Red = 2                                 ' red from blue
effect.Green = 1
effect.Blue = 0
effect.Alpha = 3
image.ApplyTransform effect                    ' the same as image.SwapChannels 2, 1, 0, 3
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\SwapChannels.png"
WScript.Echo "SwapChannels: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
