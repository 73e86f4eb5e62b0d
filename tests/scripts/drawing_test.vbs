' Pens and the drawing tool late-bound from VBScript: script arrays as point
' lists, the tool's target set with Set, and errors as Err shows them (the
' C++ suite checks every code, text and pixel).

Const SRC = "Rastelle.DrawingTool.1"
Const BLACK = &HFF000000

Function WhiteImage(w, h)
    Set WhiteImage = CreateObject("Rastelle.RasterObject")
    WhiteImage.EmptyImage w, h, -1
End Function

Function HardTool()
    Set HardTool = CreateObject("Rastelle.DrawingTool")
    HardTool.AntialiasingOn = False
End Function

Sub TestPenAndErrors()
    Dim pen, tool, c(2, 2)
    Set pen = CreateObject("Rastelle.Pen")
    On Error Resume Next
    pen.StartCapType = 9
    eq Err.Number, 5, "E_INVALIDARG without an error object is VBScript's error 5"
    Err.Clear
    Set tool = HardTool()
    tool.SetPolyline c
    expect_err &H80070057, SRC, "Wrong array of points!", "a (3, 3) array"
    tool.SetPolyline Array(Array(1, "x"))
    expect_err &HE000020A, SRC, "Array must contain numbers only!", "a string among the numbers"
End Sub

Sub TestPointArraysAndTarget()
    Dim tool, img, a(2, 1)
    a(0, 0) = 2 : a(0, 1) = 2
    a(1, 0) = 30 : a(1, 1) = 2
    a(2, 0) = 30 : a(2, 1) = 20
    Set tool = HardTool()
    tool.SetPolyline a
    tool.SetPolyline Array(Array(2, 22), Array(30.7, 22.2))
    Set img = WhiteImage(32, 24)
    img.ApplyTransform tool
    eq img.Pixels(16, 2) & " " & img.Pixels(30, 10) & " " & img.Pixels(30, 22) & " " & img.Pixels(16, 10), _
        BLACK & " " & BLACK & " " & BLACK & " " & -1, "a (3, 2) array and pairs of doubles draw their lines"

    Set tool = HardTool()
    Set tool.RasterObject = img
    img.Resize 40, 40
    tool.SetLine 35, 0, 35, 39
    eq img.Pixels(35, 20), BLACK, "with a target, a primitive is drawn at once on the image it has now"
End Sub

On Error Resume Next
TestPenAndErrors : group_done "pen and errors"
TestPointArraysAndTarget : group_done "point arrays and target"
On Error GoTo 0
finish "vbscript"
