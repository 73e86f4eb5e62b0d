' DrawingTextureBrush: fills shapes with an image, repeated
' Run: cscript DrawingTextureBrush.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set texture = CreateObject("Rastelle.RasterObject")
texture.LoadFile sample
texture.Resize 40, 30
Set brush = CreateObject("Rastelle.TextureBrush")
Set brush.Texture = texture
brush.WrapMode = 1                             ' wmTileFlipX
brush.ScaleFactor = 1.5
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 200, 120, -1
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image
tool.SetRectangle 10, 10, 180, 100, 0, True, , brush
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\DrawingTextureBrush.png"
WScript.Echo "example finished"
