' TransformTransparentize: makes one colour (and its near colours) transparent
' Run: cscript TransformTransparentize.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("Rastelle.TransformTransparentize")
effect.TransparentColor = &HFFFFFFFF
effect.Threshold = 50
image.ApplyTransform effect                    ' the same as image.Transparentize &HFFFFFFFF, 50
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformTransparentize.png"
WScript.Echo "TransformTransparentize: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
