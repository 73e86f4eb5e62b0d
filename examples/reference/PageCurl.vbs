' PageCurl: curls a corner of the image like a page
' Run: cscript PageCurl.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.PageCurl")
effect.Width = 120
effect.Height = 90
effect.CurlMode = 5                            ' the bottom right corner
image.ApplyTransform effect                    ' the same as image.PageCurl 120, 90, 5
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\PageCurl.png"
WScript.Echo "PageCurl: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
