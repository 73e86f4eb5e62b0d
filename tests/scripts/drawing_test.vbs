' Pens, brushes and the drawing tool driven late-bound from VBScript: script
' arrays as point lists, ApplyTransform with the tool, its targets and how
' its errors reach Err (the C++ suite checks every code and text). Run by
' scripts/wine-env.sh, which puts lib\testlib.vbs in front.

Const SRC = "Rastelle.DrawingTool.1"
Const WHITE = -1, BLACK = &HFF000000

Function WhiteImage(w, h)
    Set WhiteImage = CreateObject("Rastelle.RasterObject")
    WhiteImage.EmptyImage w, h, WHITE
End Function

Function HardTool()
    Set HardTool = CreateObject("Rastelle.DrawingTool")
    HardTool.AntialiasingOn = False
End Function

' The pixels of a row between x0 and x1 as a string of "#" (black) and "."
Function RowOf(img, y, x0, x1)
    Dim x
    RowOf = ""
    For x = x0 To x1
        If img.Pixels(x, y) = BLACK Then RowOf = RowOf & "#" Else RowOf = RowOf & "."
    Next
End Function

Sub TestSettings()
    Dim pen, brush, copy
    Set pen = CreateObject("Rastelle.Pen")
    pen.EndCapType = 8
    pen.Width = 2.5
    Set copy = pen.Clone()
    eq copy.EndCapType & " " & copy.Width, "8 2.5", "a clone copies the settings"
    eq CreateObject("Rastelle.DrawingTool").AntialiasingOn, 1, "a new tool antialiases (stored as 1)"
    On Error Resume Next
    pen.StartCapType = 9
    eq Err.Number, 5, "a cap at the count is refused without text (error 5)"
    Err.Clear
    Set brush = CreateObject("Rastelle.TextureBrush")
    brush.ScaleFactor = 0
    expect_err &H80070057, "Rastelle.TextureBrush.1", "Scale factor must be strictly larger than 0!", "scale factor 0"
    On Error GoTo 0
    ok brush.Clone().Texture Is brush.Texture, "a cloned texture brush shares the texture"
End Sub

Sub TestPointArrays()
    Dim tool, img, a(2, 1), b, pairs, c(2, 2)
    a(0, 0) = 2 : a(0, 1) = 2
    a(1, 0) = 30 : a(1, 1) = 2
    a(2, 0) = 30 : a(2, 1) = 20
    Set tool = HardTool()
    tool.SetPolyline a
    Set img = WhiteImage(32, 24)
    img.ApplyTransform tool
    eq RowOf(img, 2, 0, 31), "..#############################.", "a (3, 2) array: a line along y = 2"
    eq img.Pixels(30, 10) & " " & img.Pixels(16, 10), BLACK & " " & WHITE, "then down x = 30, left open"

    pairs = Array(Array(2, 2), Array(30, 2), Array(30.7, 20.2))
    Set tool = HardTool()
    tool.SetPolyline pairs
    Set b = WhiteImage(32, 24)
    b.ApplyTransform tool
    eq RowOf(b, 2, 0, 31), RowOf(img, 2, 0, 31), "pairs draw as the (3, 2) array does"
    eq b.Pixels(30, 10), BLACK, "fractions truncate"

    On Error Resume Next
    tool.SetPolyline c
    expect_err &H80070057, SRC, "Wrong array of points!", "a (3, 3) array"
    tool.SetPolyline Array(Array(1, "x"))
    expect_err &HE000020A, SRC, "Array must contain numbers only!", "a string among the numbers"
    tool.SetRectangle 0, 0, 0, 10
    eq Err.Number, 5, "width 0 is refused without text"
    Err.Clear
    tool.SetLine 0, 0, 5, 5, CreateObject("Rastelle.SolidBrush")
    expect_err &H80004002, SRC, "Invalid pen object passed!", "a brush as the pen"
    On Error GoTo 0
    tool.SetClosedCurve pairs, 0.5, True, 1
    expect_no_err "a closed curve, filled with the winding rule"
End Sub

Sub TestDefaultBrushAndTargets()
    Dim tool, img, other, column, y
    Set tool = HardTool()
    Set tool.DefaultBrush = CreateObject("Rastelle.HatchBrush")
    tool.SetRectangle 0, 0, 16, 16, 0, True
    Set img = WhiteImage(16, 16)
    img.ApplyTransform tool
    column = ""
    For y = 1 To 14
        column = column & RowOf(img, y, 8, 8)
    Next
    ok InStr(column, "#") > 0 And InStr(column, ".") > 0, "the default hatch brush fills white lines on black: " & column

    Set tool = HardTool()
    tool.SetRectangle 0, 0, 5, 5, 0, True
    Set img = WhiteImage(20, 20)
    Set tool.RasterObject = img
    eq img.Pixels(2, 2), WHITE, "primitives recorded before the target are not drawn on it"
    img.Resize 40, 40
    tool.SetLine 35, 0, 35, 39
    eq img.Pixels(35, 20), BLACK, "a later primitive is drawn at once, on the image the raster object has now"
    tool.Clear &HFF00FF00
    eq img.Pixels(10, 30), &HFF00FF00, "Clear paints the target"
    Set other = WhiteImage(8, 8)
    other.ApplyTransform tool
    eq other.Pixels(2, 2), WHITE, "and empties the list"
End Sub

On Error Resume Next
TestSettings : group_done "settings"
TestPointArrays : group_done "point arrays"
TestDefaultBrushAndTargets : group_done "default brush and targets"
On Error GoTo 0
finish "vbscript"
