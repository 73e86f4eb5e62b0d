' TextInfo: the font and layout text is drawn with
' Run: cscript TextInfo.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 260, 80, -1
Set font = CreateObject("Rastelle.TextInfo")
font.FontName = "Liberation Serif"
font.FontSize = 28
font.IsBold = True
font.IsItalic = True
font.TextAlignment = 0                         ' atLeft
Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image
tool.SetText "Hello, page", 10, 20, 0, font
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TextInfo.png"
WScript.Echo "example finished"
