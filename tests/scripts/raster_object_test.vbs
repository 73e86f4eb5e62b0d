' RasterObject late-bound from VBScript: creation, optional arguments, errors
' as Err shows them, and the GIF and 300 dpi JPEG fixtures the C++ suite
' cannot make.

Const SRC = "Rastelle.RasterObject.1"
Const oftJPEG = 0, oftPNG = 2, oftGIF = 4

Sub TestCreationAndPixels()
    Dim a, b
    Set a = CreateObject("Rastelle.RasterObject")
    Set b = CreateObject("Rastelle.RasterObject.1")
    eq TypeName(a) & " " & TypeName(b), "IRasterObject IRasterObject", "either ProgID gives a RasterObject"
    a.EmptyImage 3, 2
    b.EmptyImage 5, 4, 0
    eq a.Width & "x" & a.Height & " " & a.Pixels(2, 1), "3x2 -1", "separate objects; Color left out is opaque white"
    b.Pixels(4, 3) = &H40FF8000
    eq b.Pixels(4, 3), &H40FF8000, "Pixels put then get, alpha kept"
End Sub

Sub TestErrors()
    Dim r, v
    Set r = CreateObject("Rastelle.RasterObject")
    On Error Resume Next
    v = r.Width
    expect_err &H80004005, SRC, "Cannot get image width, because there is no any data. Create new image or load it first.", _
        "Width of a new object"
    r.OutputFileType = 7
    expect_err &H80070057, SRC, "This output file type is unsupported!", "OutputFileType 7"
End Sub

Sub TestLoadFileAndClone()
    Dim r, c
    Set r = CreateObject("Rastelle.RasterObject")
    r.OutputFileType = oftGIF
    r.LoadFile fixture("palette_5x4.gif")
    eq r.CurrentFileType & " " & r.Width & "x" & r.Height, oftGIF & " 5x4", "GIF: type and size"
    eq Hex(r.Pixels(0, 0)) & " " & Hex(r.Pixels(2, 1)) & " " & Hex(r.Pixels(4, 3)), _
        "FFFF0000 FF00FF00 FF0000FF", "GIF: corner and inner pixels"
    r.LoadFile fixture("photo_16x8_300dpi.jpg")
    eq r.CurrentFileType & " " & r.HorizontalResolution & " " & r.OutputFileType, oftJPEG & " 96 " & oftGIF, _
        "300 dpi JPEG: a new bitmap's resolution, OutputFileType kept"
    r.LoadFile fixture("pixels_4x3.png")
    Set c = r.Clone()
    r.EmptyImage 1, 1
    eq c.Width & " " & Hex(c.Pixels(1, 1)), "4 80FF8000", "Clone: a separate object with the pixels"
End Sub

On Error Resume Next
TestCreationAndPixels : group_done "creation and pixels"
TestErrors : group_done "errors"
TestLoadFileAndClone : group_done "LoadFile and Clone"
On Error GoTo 0
finish "vbscript"
