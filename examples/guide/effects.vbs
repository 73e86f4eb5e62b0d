' Effects: the effect methods of an image, and an effect object applied as a
' transform. Run: cscript effects.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
here = files.GetParentFolderName(WScript.ScriptFullName)
out = WScript.Arguments(0)

Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile here & "\..\images\sample.png"
image.Greyscale
image.Sharpen 24
image.Emboss 1

Set curl = CreateObject("RastelleEffects.PageCurl")
curl.Width = 120
curl.Height = 90
image.ApplyTransform curl                    ' the same as image.PageCurl 120, 90

image.OutputFileType = 2                      ' oftPNG
image.SaveFile out & "\effects.png"
WScript.Echo "effects keep the size: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
