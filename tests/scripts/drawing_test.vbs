' Pens, brushes, text settings and the drawing tool driven late-bound from
' VBScript: script arrays as point lists, ApplyTransform with the tool, its
' targets and its errors. Run by scripts/wine-env.sh, which puts
' lib\testlib.vbs in front.

Const SRC = "Rastelle.DrawingTool.1"
Const WHITE = -1, BLACK = &HFF000000

Function WhiteImage(w, h)
    Dim img
    Set img = CreateObject("Rastelle.RasterObject")
    img.EmptyImage w, h, WHITE
    Set WhiteImage = img
End Function

Function HardTool()
    Dim tool
    Set tool = CreateObject("Rastelle.DrawingTool")
    tool.AntialiasingOn = False
    Set HardTool = tool
End Function

' The pixels of a row between x0 and x1 as a string of "#" (black) and "."
Function RowOf(img, y, x0, x1)
    Dim x, s
    s = ""
    For x = x0 To x1
        If img.Pixels(x, y) = BLACK Then s = s & "#" Else s = s & "."
    Next
    RowOf = s
End Function

Sub TestSettings()
    Dim pen, brush, copy
    Set pen = CreateObject("Rastelle.Pen")
    pen.EndCapType = 8
    pen.Width = 2.5
    Set copy = pen.Clone()
    eq copy.EndCapType & " " & copy.Width, "8 2.5", "a clone copies the settings"
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

Sub TestApplyTransform()
    Dim tool, img
    Set tool = HardTool()
    eq CreateObject("Rastelle.DrawingTool").AntialiasingOn, 1, "a new tool antialiases (stored as 1)"
    tool.SetLine 0, 0, 10, 10
    Set img = WhiteImage(20, 20)
    img.ApplyTransform tool
    eq img.Pixels(5, 5), BLACK, "a line recorded earlier is drawn by ApplyTransform"
    eq img.Pixels(15, 5), WHITE, "away from the line"

    Set tool = HardTool()
    tool.SetRectangle 10, 10, 20, 10, 45, True
    Set img = WhiteImage(40, 40)
    img.ApplyTransform tool
    eq img.Pixels(20, 15), BLACK, "the turned rectangle's centre"
    eq img.Pixels(16, 8), BLACK, "turned about its centre"
    eq img.Pixels(28, 11), WHITE, "the corner turned away"
End Sub

Sub TestPointArrays()
    Dim tool, img, a(2, 1), b, pairs
    a(0, 0) = 2 : a(0, 1) = 2
    a(1, 0) = 30 : a(1, 1) = 2
    a(2, 0) = 30 : a(2, 1) = 20
    Set tool = HardTool()
    tool.SetPolyline a
    Set img = WhiteImage(32, 24)
    img.ApplyTransform tool
    eq RowOf(img, 2, 0, 31), "..#############################.", "a (3, 2) array: a line along y = 2"
    eq img.Pixels(30, 10), BLACK, "then down x = 30"
    eq img.Pixels(16, 10), WHITE, "the polyline stays open"

    pairs = Array(Array(2, 2), Array(30, 2), Array(30.7, 20.2))
    Set tool = HardTool()
    tool.SetPolyline pairs
    Set b = WhiteImage(32, 24)
    b.ApplyTransform tool
    eq RowOf(b, 2, 0, 31), RowOf(img, 2, 0, 31), "pairs draw as the (3, 2) array does"
    eq b.Pixels(30, 10), BLACK, "fractions truncate"

    Dim c(2, 2)
    On Error Resume Next
    tool.SetPolyline c
    expect_err &H80070057, SRC, "Wrong array of points!", "a (3, 3) array"
    tool.SetPolyline 7
    expect_err &H80070057, SRC, "Wrong points array!", "a number"
    tool.SetPolyline Array(Array(1, "x"))
    expect_err &HE000020A, SRC, "Array must contain numbers only!", "a string among the numbers"
    tool.SetOpenedCurve Array(Array(0, 0), Array(5, 5))
    expect_err &H80070057, SRC, "There are must be at least 3 points!", "a curve of two points"
    tool.SetPolygon pairs, True, 2
    expect_err &H80004005, SRC, "Wrong filling mode! If you see this message, please contact *", "fill mode 2"
    On Error GoTo 0
    tool.SetClosedCurve pairs, 0.5, True, 1
    expect_no_err "a closed curve, filled with the winding rule"
End Sub

Sub TestObjects()
    Dim tool
    Set tool = HardTool()
    On Error Resume Next
    Set tool.DefaultBrush = CreateObject("Rastelle.Pen")
    expect_err &H80070057, SRC, "Wrong Brush object! Make sure that you try to assign appropriate instanse of Rastelle's brush object!", _
        "a pen as the default brush"
    Set tool.DefaultPen = Nothing
    expect_err &H80070057, SRC, "You should not assign Nothing to the DefaultPen property!", "Nothing as the default pen"
    tool.SetRectangle 0, 0, 0, 10
    eq Err.Number, 5, "width 0 is refused without text"
    Err.Clear
    tool.SetLine 0, 0, 5, 5, CreateObject("Rastelle.SolidBrush")
    expect_err &H80004002, SRC, "Invalid pen object passed!", "a brush as the pen"
    On Error GoTo 0
    Dim img, column, y
    Set tool.DefaultBrush = CreateObject("Rastelle.HatchBrush")
    tool.SetRectangle 0, 0, 16, 16, 0, True
    Set img = WhiteImage(16, 16)
    img.ApplyTransform tool
    column = ""
    For y = 1 To 14
        column = column & RowOf(img, y, 8, 8)
    Next
    ok InStr(column, "#") > 0 And InStr(column, ".") > 0, "the default hatch brush fills white lines on black: " & column
End Sub

Sub TestTargets()
    Dim tool, img, other
    Set tool = HardTool()
    tool.SetRectangle 0, 0, 5, 5, 0, True
    Set img = WhiteImage(20, 20)
    Set tool.RasterObject = img
    eq img.Pixels(2, 2), WHITE, "primitives recorded before the target are not drawn on it"
    tool.SetLine 0, 10, 19, 10
    eq img.Pixels(10, 10), BLACK, "a later primitive is drawn at once"
    img.Resize 40, 40
    tool.SetLine 35, 0, 35, 39
    eq img.Pixels(35, 20), BLACK, "on the image the raster object has now"

    tool.Clear &HFF00FF00
    eq img.Pixels(10, 30), &HFF00FF00, "Clear paints the target"
    Set other = WhiteImage(8, 8)
    other.ApplyTransform tool
    eq other.Pixels(2, 2), WHITE, "and empties the list"
End Sub

On Error Resume Next
TestSettings : group_done "settings"
TestApplyTransform : group_done "ApplyTransform"
TestPointArrays : group_done "point arrays"
TestObjects : group_done "objects"
TestTargets : group_done "targets"
On Error GoTo 0
finish "vbscript"
