' DrawingPen: the pen lines and outlines are drawn with
' Run: cscript DrawingPen.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 200, 100, -1
Set pen = CreateObject("Rastelle.Pen")
pen.Color = &HFFE63946
pen.Width = 6
pen.DashType = 1                               ' dstDash
pen.StartCapType = 2                           ' lctRound
pen.EndCapType = 8                             ' lctArrowAnchor
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image
tool.SetLine 20, 50, 180, 50, pen
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\DrawingPen.png"
WScript.Echo "example finished"
