' Transforms from VBScript: the image methods with optional arguments left
' out, transform objects by ProgID and the defaults of double arguments. (A
' transform written in VBScript is the effect suite's Relay; the C++ suite
' checks what Apply receives and the failures of a client's Apply.)

Function Loaded()
    Set Loaded = CreateObject("Rastelle.RasterObject")
    Loaded.LoadFile fixture("pixels_4x3.png")
End Function

Function SizeOf(r)
    SizeOf = r.Width & "x" & r.Height
End Function

' Thumbnails of the example picture in each quality mode keep its colours
' where it is uniform, and a transparent corner shows the white background.
Sub TestThumbnails()
    Dim quality, r, seen
    For quality = 0 To 4
        Set r = CreateObject("Rastelle.RasterObject")
        r.LoadFile Left(suite_path, InStrRev(suite_path, "\tests\")) & "examples\images\sample.png"
        r.Resize 80, 60, quality
        seen = seen & SizeOf(r) & " " & Hex(r.Pixels(40, 30)) & " " & r.Pixels(79, 0) & "; "
    Next
    eq seen, Replace(Space(5), " ", "80x60 FFE63946 -1; "), "thumbnails in modes 0 to 4"
End Sub

Sub TestImageMethodsAndTransformObjects()
    Dim r, t
    Set r = Loaded()
    r.Resize 8, 6 : r.Rotate 90 : r.FlipAndRotate 2 : r.Crop 1, 1, 3, 2
    eq SizeOf(r), "3x2", "Resize, Rotate, FlipAndRotate and Crop with the optional arguments left out"
    Set t = CreateObject("Rastelle.TransformRotate.1")
    t.Angle = 270
    r.ApplyTransform t
    Set t = CreateObject("Rastelle.TransformCrop")
    t.Width = 1 : t.Height = 2
    r.ApplyTransform t
    eq SizeOf(r), "1x2", "transform objects with properties set by name"
End Sub

' Double arguments left out take the type library's defaults (written into
' the library after widl, which cannot encode them).
Function PixelText(r)
    Dim x, y
    For y = 0 To 2
        For x = 0 To 3
            PixelText = PixelText & Hex(r.Pixels(x, y)) & " "
        Next
    Next
End Function

Sub TestDoubleDefaults()
    Dim a, b
    Set a = Loaded() : a.FastBlur
    Set b = Loaded() : b.FastBlur 2
    eq PixelText(a), PixelText(b), "FastBlur: Radius defaults to 2"
    eq PixelText(a) <> PixelText(Loaded()), True, "FastBlur changes the fixture"
    Set a = Loaded() : a.Glow
    Set b = Loaded() : b.Glow 10, 2
    eq PixelText(a), PixelText(b), "Glow: Intensity 10, Radius 2"
    Set a = Loaded() : a.Shadow 1, 1
    Set b = Loaded() : b.Shadow 1, 1, 2
    eq PixelText(a), PixelText(b), "Shadow: Radius 2"
End Sub

On Error Resume Next
TestThumbnails : group_done "thumbnails"
TestImageMethodsAndTransformObjects : group_done "image methods and transform objects"
TestDoubleDefaults : group_done "double defaults"
On Error GoTo 0
finish "vbscript"
