' Swirl: turns the image about its centre, most at the centre
' Run: cscript Swirl.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.Swirl")
effect.Amount = 90
image.ApplyTransform effect                    ' the same as image.Swirl 90
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\Swirl.png"
WScript.Echo "Swirl: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
