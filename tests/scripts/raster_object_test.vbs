' RasterObject late-bound from VBScript: creation, optional arguments, a GIF
' and a 300 dpi JPEG from other writers, and SaveFile with the encoder left
' out. (The C++ suite checks the error texts, Clone, encoder objects and
' pictures; the JScript suite a clone late-bound.)

Const oftJPEG = 0, oftPNG = 2, oftGIF = 4

Dim fso, workDir
Set fso = CreateObject("Scripting.FileSystemObject")
workDir = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-saving-test")
If Not fso.FolderExists(workDir) Then fso.CreateFolder workDir

Function Reload(name)
    Set Reload = CreateObject("Rastelle.RasterObject")
    Reload.LoadFile fso.BuildPath(workDir, name)
End Function

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

Sub TestLoadFile()
    Dim r
    Set r = CreateObject("Rastelle.RasterObject")
    r.OutputFileType = oftGIF
    r.LoadFile fixture("palette_5x4.gif")
    eq r.CurrentFileType & " " & r.Width & "x" & r.Height, oftGIF & " 5x4", "GIF: type and size"
    eq Hex(r.Pixels(0, 0)) & " " & Hex(r.Pixels(2, 1)) & " " & Hex(r.Pixels(4, 3)), _
        "FFFF0000 FF00FF00 FF0000FF", "GIF: corner and inner pixels"
    r.LoadFile fixture("photo_16x8_300dpi.jpg")
    eq r.CurrentFileType & " " & r.HorizontalResolution & " " & r.OutputFileType, oftJPEG & " 96 " & oftGIF, _
        "300 dpi JPEG: a new bitmap's resolution, OutputFileType kept"
End Sub

Sub TestSaveFile()
    Dim r, loaded
    Set r = CreateObject("Rastelle.RasterObject")
    r.LoadFile fixture("pixels_4x3.png")
    r.OutputFileType = oftPNG
    r.SaveFile fso.BuildPath(workDir, "copy.png")
    Set loaded = Reload("copy.png")
    eq loaded.CurrentFileType & " " & Hex(loaded.Pixels(1, 1)), oftPNG & " 80FF8000", "encoder left out: OutputFileType"
End Sub

On Error Resume Next
TestCreationAndPixels : group_done "creation and pixels"
TestLoadFile : group_done "LoadFile"
TestSaveFile : group_done "SaveFile"
fso.DeleteFolder workDir, True
On Error GoTo 0
finish "vbscript"
