' Drawing: shapes and text drawn on an image by a drawing tool.
' Run: cscript drawing.vbs OUTPUT_FOLDER
out = WScript.Arguments(0)

Set image = CreateObject("Rastelle.RasterObject")
image.EmptyImage 320, 200, -1                 ' opaque white

Set tool = CreateObject("Rastelle.DrawingTool")
Set tool.RasterObject = image                 ' each shape is drawn at once
Set pen = CreateObject("Rastelle.Pen")
pen.Width = 4
pen.Color = &HFFE63946
Set brush = CreateObject("Rastelle.SolidBrush")
brush.Color = &HFF457B9D

tool.SetRectangle 20, 20, 120, 80, 0, True, pen, brush
tool.SetEllipseViaRadius 230, 70, 60, 40, 30, False, pen
tool.SetLine 20, 150, 300, 150, pen
Set font = CreateObject("Rastelle.TextInfo")
font.FontName = "Liberation Sans"
font.FontSize = 20
tool.SetText "Rastelle", 20, 160, 0, font, brush

image.OutputFileType = 2                      ' oftPNG
image.SaveFile out & "\drawing.png"
WScript.Echo "the rectangle's fill at (70, 60): " & Hex(image.Pixels(70, 60))
WScript.Echo "example finished"
