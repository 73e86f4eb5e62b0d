' Buttonize: draws a raised or sunken bevelled frame
' Run: cscript Buttonize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Buttonize")
effect.Type = 0
effect.FrameWidth = 12
effect.FrameOpacity = 60
image.ApplyTransform effect                    ' the same as image.Buttonize 0, 12, 60
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Buttonize.png"
WScript.Echo "Buttonize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
