' RasterObject driven from VBScript. Run by scripts/wine-env.sh, which puts
' lib\testlib.vbs in front of it (Wine's VBScript has no ExecuteGlobal).

Const SRC = "Rastelle.RasterObject.1"
Const E_FAIL = &H80004005
Const E_INVALIDARG = &H80070057
Const NO_WIDTH = "Cannot get image width, because there is no any data. Create new image or load it first."

Const oftUnknown = -1, oftJPEG = 0, oftBMP = 1, oftPNG = 2, oftTIFF = 3, oftGIF = 4, oftSWF = 5

' Resolution that a freshly created GDI+ bitmap reports on this platform.
Const NEW_BITMAP_DPI = 96

' pixels_4x3.png, row by row; pixels_4x3.bmp and .tif hold the same colours
' opaque, with FF010203 where the PNG is fully transparent.
Dim PNG_PIXELS, OPAQUE_PIXELS
PNG_PIXELS = Array(&HFFFF0000, &HFF00FF00, &HFF0000FF, &HFFFFFFFF, _
                   &HFF000000, &H80FF8000, &H00000000, &HFF808080, _
                   &HFF123456, &HFFABCDEF, &HFF00FFFF, &HFFFF00FF)
OPAQUE_PIXELS = Array(&HFFFF0000, &HFF00FF00, &HFF0000FF, &HFFFFFFFF, _
                      &HFF000000, &HFFFF8000, &HFF010203, &HFF808080, _
                      &HFF123456, &HFFABCDEF, &HFF00FFFF, &HFFFF00FF)

Function NewRaster()
    Set NewRaster = CreateObject("Rastelle.RasterObject")
End Function

' Compares every pixel of r with the row-major list expected; one failure
' names the first differing pixel.
Sub pixels_are(r, width, expected, msg)
    Dim i, p
    For i = 0 To UBound(expected)
        p = r.Pixels(i Mod width, i \ width)
        If p <> expected(i) Then
            eq p, expected(i), msg & ": pixel (" & (i Mod width) & ", " & (i \ width) & ")"
            Exit Sub
        End If
    Next
    ok True, msg
End Sub

Sub size_is(r, width, height, msg)
    eq r.Width & "x" & r.Height, width & "x" & height, msg
End Sub

Sub TestCreation()
    Dim a, b
    Set a = CreateObject("Rastelle.RasterObject")
    Set b = CreateObject("Rastelle.RasterObject.1")
    eq TypeName(a) & " " & TypeName(b), "IRasterObject IRasterObject", "either ProgID gives a RasterObject"
    a.EmptyImage 2, 1
    b.EmptyImage 5, 4
    size_is a, 2, 1, "objects created by either ProgID are separate"
    eq b.OutputFileType & " " & b.CurrentFileType, oftJPEG & " " & oftUnknown, "new object: the file types"
End Sub

' Errors as a script sees them: Err.Number, Err.Source and Err.Description
' of each kind (the C++ suite checks every code and text).
Sub TestErrors()
    Dim r, v
    Set r = NewRaster()
    On Error Resume Next
    v = r.Width
    expect_err E_FAIL, SRC, NO_WIDTH, "new object: Width"
    r.EmptyImage 4, 3, 0
    r.Pixels(-1, -1) = -1
    expect_err E_FAIL, SRC, "Cannot put pixel at this coordinates. It possible they are out of bounds!", _
        "Pixels put at -1, -1"
    r.OutputFileType = 7
    expect_err E_INVALIDARG, SRC, "This output file type is unsupported!", "OutputFileType refuses 7"
    On Error GoTo 0
End Sub

Sub TestEmptyImageAndPixels()
    Dim r
    Set r = NewRaster()
    r.EmptyImage 3, 2
    size_is r, 3, 2, "EmptyImage 3, 2: size"
    pixels_are r, 3, Array(-1, -1, -1, -1, -1, -1), "EmptyImage without Color fills opaque white"
    eq r.HorizontalResolution, 72, "EmptyImage: HorizontalResolution"
    r.EmptyImage 4, 3, 0
    r.Pixels(0, 0) = -1
    r.Pixels(3, 2) = &H40FF8000
    pixels_are r, 4, Array(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &H40FF8000), "Pixels put then get, alpha kept"
End Sub

' Files of every format, GIF and the 300 dpi JPEG among them (fixtures the
' C++ suite cannot make).
Sub TestLoadFile()
    Dim r, f, v
    Set r = NewRaster()
    r.OutputFileType = oftGIF
    For Each f In Array(Array("pixels_4x3.png", 4, 3, oftPNG), Array("pixels_4x3.bmp", 4, 3, oftBMP), _
                        Array("pixels_4x3.tif", 4, 3, oftTIFF), Array("photo_16x8_300dpi.jpg", 16, 8, oftJPEG), _
                        Array("palette_5x4.gif", 5, 4, oftGIF))
        r.EmptyImage 1, 1
        r.LoadFile fixture(f(0))
        size_is r, f(1), f(2), f(0) & ": size"
        eq r.CurrentFileType, f(3), f(0) & ": CurrentFileType"
        eq r.HorizontalResolution, NEW_BITMAP_DPI, f(0) & ": HorizontalResolution is a new bitmap's"
        Select Case f(0)
            Case "pixels_4x3.png": pixels_are r, 4, PNG_PIXELS, f(0) & ": pixels, alpha kept"
            Case "pixels_4x3.bmp", "pixels_4x3.tif": pixels_are r, 4, OPAQUE_PIXELS, f(0) & ": pixels"
            Case "photo_16x8_300dpi.jpg": eq r.Pixels(0, 0) And &HFF000000, &HFF000000, f(0) & ": opaque"
            Case "palette_5x4.gif"
                eq Hex(r.Pixels(0, 0)) & " " & Hex(r.Pixels(2, 1)) & " " & Hex(r.Pixels(4, 3)), _
                    "FFFF0000 FF00FF00 FF0000FF", f(0) & ": corner and inner pixels"
        End Select
    Next
    eq r.OutputFileType, oftGIF, "LoadFile keeps OutputFileType"

    ' Icons decode, but are no file type of the system.
    r.HorizontalResolution = 123
    On Error Resume Next
    r.LoadFile fixture("icon_16x16.ico")
    expect_err E_FAIL, SRC, "Unknown file type.", "LoadFile of an icon"
    v = r.Width
    expect_err E_FAIL, SRC, NO_WIDTH, "LoadFile of an icon leaves no image"
    On Error GoTo 0
    eq r.HorizontalResolution, 123, "a failed LoadFile keeps the resolution"
End Sub

Sub TestClone()
    Dim r, c
    Set r = NewRaster()
    r.LoadFile fixture("pixels_4x3.png")
    r.VerticalResolution = 150.5
    Set c = r.Clone()
    ok Not (c Is r), "Clone gives another object"
    pixels_are c, 4, PNG_PIXELS, "Clone: pixels"
    eq c.VerticalResolution, 150.5, "Clone: VerticalResolution"
    r.EmptyImage 1, 1
    size_is c, 4, 3, "replacing the original's image leaves the clone"
End Sub

On Error Resume Next
TestCreation : group_done "creation"
TestErrors : group_done "errors"
TestEmptyImageAndPixels : group_done "EmptyImage and Pixels"
TestLoadFile : group_done "LoadFile"
TestClone : group_done "Clone"
On Error GoTo 0
finish "vbscript"
