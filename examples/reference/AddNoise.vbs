' AddNoise: adds random noise, coloured or grey
' Run: cscript AddNoise.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.AddNoise")
effect.Amount = 20
effect.IsMonochrome = True
image.ApplyTransform effect                    ' the same as image.AddNoise 20, True
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\AddNoise.png"
WScript.Echo "AddNoise: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
