' EllipseCrop: keeps an ellipse and fills the rest
' Run: cscript EllipseCrop.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
Set effect = CreateObject("RastelleEffects.EllipseCrop")
effect.X = image.Width \ 2
effect.Y = image.Height \ 2
effect.HorizontalRadius = image.Width \ 3
effect.VerticalRadius = image.Height \ 3
effect.BackgroundColor = &HFFFFFFFF
image.ApplyTransform effect
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\EllipseCrop.png"
WScript.Echo "EllipseCrop: the corner is now " & Hex(image.Pixels(0, 0))
WScript.Echo "example finished"
