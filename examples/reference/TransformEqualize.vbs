' TransformEqualize: multiplies each channel by a factor
' Run: cscript TransformEqualize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformEqualize")
effect.RedMultiplier = 1.2
effect.GreenMultiplier = 1
effect.BlueMultiplier = 0.8
effect.AlphaMultiplier = 1
image.ApplyTransform effect                    ' the same as image.Equalize 0, 0, 0, 0, 1.2, 1, 0.8, 1
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformEqualize.png"
WScript.Echo "TransformEqualize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
