' RasterObject late-bound from VBScript: creation, optional arguments, errors
' as Err shows them, the GIF and 300 dpi JPEG fixtures the C++ suite cannot
' make, encoder objects by ProgID and passed late-bound, SaveFile with the
' encoder left out, and pictures as script objects.

Const SRC = "Rastelle.RasterObject.1"
Const oftJPEG = 0, oftBMP = 1, oftPNG = 2, oftTIFF = 3, oftGIF = 4

Dim fso, workDir
Set fso = CreateObject("Scripting.FileSystemObject")
workDir = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-saving-test")
If Not fso.FolderExists(workDir) Then fso.CreateFolder workDir

Function Reload(name)
    Set Reload = CreateObject("Rastelle.RasterObject")
    Reload.LoadFile fso.BuildPath(workDir, name)
End Function

Sub TestCreationPixelsAndErrors()
    Dim a, b
    Set a = CreateObject("Rastelle.RasterObject")
    Set b = CreateObject("Rastelle.RasterObject.1")
    eq TypeName(a) & " " & TypeName(b), "IRasterObject IRasterObject", "either ProgID gives a RasterObject"
    a.EmptyImage 3, 2
    b.EmptyImage 5, 4, 0
    eq a.Width & "x" & a.Height & " " & a.Pixels(2, 1), "3x2 -1", "separate objects; Color left out is opaque white"
    b.Pixels(4, 3) = &H40FF8000
    eq b.Pixels(4, 3), &H40FF8000, "Pixels put then get, alpha kept"
    On Error Resume Next
    a.OutputFileType = 7
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

Sub TestSaveFile()
    Dim r, name, types, loaded
    For Each name In Array("JPEG", "TIFF", "GIF", "SWF")
        types = types & TypeName(CreateObject("Rastelle." & name & "EncoderInfo.1")) & " "
    Next
    eq types, "IJPEGEncoderInfo ITIFFEncoderInfo IGIFEncoderInfo ISWFEncoderInfo ", "encoder objects by ProgID"
    Set r = CreateObject("Rastelle.RasterObject")
    r.LoadFile fixture("pixels_4x3.png")
    r.OutputFileType = oftPNG
    r.SaveFile fso.BuildPath(workDir, "copy.png")
    Set loaded = Reload("copy.png")
    eq loaded.CurrentFileType & " " & Hex(loaded.Pixels(1, 1)), oftPNG & " 80FF8000", "encoder left out: OutputFileType"
    r.SaveFile fso.BuildPath(workDir, "really-tiff.png"), CreateObject("Rastelle.TIFFEncoderInfo")
    eq Reload("really-tiff.png").CurrentFileType, oftTIFF, "an encoder object decides the format"
End Sub

Sub TestPictures()
    Dim r, back
    Set r = CreateObject("Rastelle.RasterObject")
    r.EmptyImage 3, 2, &HFF336699
    r.Pixels(0, 0) = 0
    Set back = CreateObject("Rastelle.RasterObject")
    back.LoadPicture r.SavePicture()
    eq back.CurrentFileType & " " & Hex(back.Pixels(1, 1)) & " " & Hex(back.Pixels(0, 0)), _
        oftBMP & " FF336699 FF000000", "a picture comes back as BMP, transparency black"
End Sub

On Error Resume Next
TestCreationPixelsAndErrors : group_done "creation, pixels and errors"
TestLoadFileAndClone : group_done "LoadFile and Clone"
TestSaveFile : group_done "SaveFile"
TestPictures : group_done "pictures"
fso.DeleteFolder workDir, True
On Error GoTo 0
finish "vbscript"
