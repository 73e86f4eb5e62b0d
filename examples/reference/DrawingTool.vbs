' DrawingTool: draws shapes and text on an image
' Run: cscript DrawingTool.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 240, 160, -1
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image                  ' each shape is drawn at once
tool.AntialiasingOn = True
tool.DefaultPen.Color = &HFF1D3557
tool.DefaultPen.Width = 3
tool.SetRectangle 10, 10, 100, 60
tool.SetEllipseViaRadius 170, 50, 50, 30, 0, True
tool.SetLine 10, 120, 230, 120
tool.SetText "Rastelle", 10, 125
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\DrawingTool.png"
WScript.Echo "example finished"
