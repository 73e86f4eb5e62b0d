' EdgeDetect: keeps the edges only
' Run: cscript EdgeDetect.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.EdgeDetect")
effect.Type = 0                                ' Sobel
image.ApplyTransform effect                    ' the same as image.EdgeDetect 0
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\EdgeDetect.png"
WScript.Echo "EdgeDetect: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
