' DrawingSolidBrush: fills shapes with one colour
' Run: cscript DrawingSolidBrush.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 200, 100, -1
Set brush = CreateObject("Rastelle.SolidBrush")
brush.Color = &H80457B9D                       ' half transparent
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image
tool.SetRectangle 20, 20, 160, 60, 0, True, , brush
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\DrawingSolidBrush.png"
WScript.Echo "the fill: " & Hex(image.Pixels(100, 50))
WScript.Echo "example finished"
