' Saving from VBScript: encoder objects by ProgID and passed late-bound,
' SaveFile with the encoder left out, and pictures as script objects.

Const oftBMP = 1, oftPNG = 2, oftTIFF = 3

Dim fso, workDir
Set fso = CreateObject("Scripting.FileSystemObject")
workDir = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-saving-test")
If Not fso.FolderExists(workDir) Then fso.CreateFolder workDir

Function Reload(name)
    Set Reload = CreateObject("Rastelle.RasterObject")
    Reload.LoadFile fso.BuildPath(workDir, name)
End Function

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
    eq back.CurrentFileType & " " & Hex(back.Pixels(1, 1)) & " " & Hex(back.Pixels(0, 0)), oftBMP & " FF336699 FF000000", _
        "a picture comes back as BMP, transparency black"
End Sub

On Error Resume Next
TestSaveFile : group_done "SaveFile"
TestPictures : group_done "pictures"
fso.DeleteFolder workDir, True
On Error GoTo 0
finish "saving"
