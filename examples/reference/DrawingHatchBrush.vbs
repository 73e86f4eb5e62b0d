' DrawingHatchBrush: fills shapes with a hatch pattern
' Run: cscript DrawingHatchBrush.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 200, 100, -1
Set brush = CreateObject("Rastelle.HatchBrush")
brush.HatchType = 5                            ' htDiagonalCross
brush.HatchColor = &HFF1D3557
brush.BackgroundColor = &HFFF1FAEE
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image
tool.SetEllipseViaRect 20, 10, 160, 80, 0, True, , brush
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\DrawingHatchBrush.png"
WScript.Echo "example finished"
