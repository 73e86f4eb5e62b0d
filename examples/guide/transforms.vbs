' Transforms: the image methods, and a transform object applied to an image.
' Run: cscript transforms.vbs OUTPUT_FOLDER
Const rqtHighQualityBicubicMode = 4
Const fartNoRotateFlipXY = 2
Set files = CreateObject("Scripting.FileSystemObject")
here = files.GetParentFolderName(WScript.ScriptFullName)
out = WScript.Arguments(0)

Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile here & "\..\images\sample.png"
image.Resize 160, 120, rqtHighQualityBicubicMode
image.Crop 10, 10, 140, 100                   ' x, y, width, height
image.Rotate 15, &H00FFFFFF                   ' degrees; corners transparent white
image.FlipAndRotate fartNoRotateFlipXY        ' a half turn
image.Transparentize &HFFFFFFFF, 30           ' near-white fades out
image.FastBlur 2
WScript.Echo "after the methods: " & image.Width & " x " & image.Height

' The same kind of change as an object, set up once and applied to any image.
Set resize = CreateObject("Rastelle.TransformResize")
resize.NewWidth = 64
resize.NewHeight = 48
image.ApplyTransform resize
WScript.Echo "after TransformResize: " & image.Width & " x " & image.Height

image.OutputFileType = 2                      ' oftPNG
image.SaveFile out & "\transformed.png"
WScript.Echo "example finished"
