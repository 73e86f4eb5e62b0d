' Saving, encoder option objects and pictures driven from VBScript. Run by
' scripts/wine-env.sh, which puts lib\testlib.vbs in front of it.

Const SRC = "Rastelle.RasterObject.1"
Const oftJPEG = 0, oftBMP = 1, oftPNG = 2, oftTIFF = 3, oftGIF = 4, oftSWF = 5

Dim fso, workDir
Set fso = CreateObject("Scripting.FileSystemObject")
workDir = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-saving-test")
If Not fso.FolderExists(workDir) Then fso.CreateFolder workDir

Function OutPath(name)
    OutPath = fso.BuildPath(workDir, name)
End Function

Function Reload(path)
    Set Reload = CreateObject("Rastelle.RasterObject")
    Reload.LoadFile path
End Function

Sub TestEncoderObjects()
    Dim jpeg, tiff, gif, swf
    Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
    Set tiff = CreateObject("Rastelle.TIFFEncoderInfo.1")
    Set gif = CreateObject("Rastelle.GIFEncoderInfo")
    Set swf = CreateObject("Rastelle.SWFEncoderInfo")
    eq TypeName(jpeg), "IJPEGEncoderInfo", "JPEGEncoderInfo by ProgID"
    eq jpeg.Quality & " " & tiff.CompressionType & tiff.ColorDepth & tiff.ColorSpace & " " & gif.PaletteType, _
        "75 110 0", "defaults of JPEG quality, TIFF options and GIF palette"
    eq swf.BackgroundColor & " " & swf.JPEGQuality & " " & swf.CompressionType, "-1 75 0", "SWF defaults"
    jpeg.Quality = 150
    eq jpeg.Quality, 100, "quality is clamped"
    On Error Resume Next
    tiff.ColorDepth = 3
    expect_err &H80070057, "Rastelle.TIFFEncoderInfo.1", "This color depth is not supported!", "TIFF depth 3"
    On Error GoTo 0
End Sub

Sub TestSaveAndReload()
    Dim r, t, jpeg, w, h, loaded
    Set r = CreateObject("Rastelle.RasterObject")
    r.LoadFile fixture("photo_16x8_300dpi.jpg")
    ' Resize when this build serves the transform.
    On Error Resume Next
    Set t = CreateObject("Rastelle.TransformResize")
    If Err.Number = 0 Then r.Resize 32, 16
    Err.Clear
    On Error GoTo 0
    w = r.Width : h = r.Height

    Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
    jpeg.Quality = 10
    r.SaveFile OutPath("low.jpg"), jpeg
    jpeg.Quality = 95
    r.SaveFile OutPath("high.jpg"), jpeg
    ok fso.GetFile(OutPath("low.jpg")).Size < fso.GetFile(OutPath("high.jpg")).Size, "quality 10 writes less than 95"
    Set loaded = Reload(OutPath("high.jpg"))
    eq loaded.CurrentFileType & " " & loaded.Width & "x" & loaded.Height, oftJPEG & " " & w & "x" & h, "JPEG reloads"

    r.OutputFileType = oftPNG
    r.SaveFile OutPath("copy.png")
    Set loaded = Reload(OutPath("copy.png"))
    eq loaded.CurrentFileType, oftPNG, "OutputFileType PNG writes PNG"
    eq loaded.Pixels(3, 2), r.Pixels(3, 2), "PNG keeps the pixels"
    r.SaveFile OutPath("really-tiff.png"), CreateObject("Rastelle.TIFFEncoderInfo")
    eq Reload(OutPath("really-tiff.png")).CurrentFileType, oftTIFF, "an encoder object decides the format"
End Sub

' A GIF with its options left out and with an encoder object (the C++ suite
' checks palettes and transparency byte by byte).
Sub TestGif()
    Dim r, gif, loaded
    Set r = CreateObject("Rastelle.RasterObject")
    r.EmptyImage 4, 3, &HFF2080C0
    r.Pixels(1, 1) = &HFFFF0000
    r.Pixels(2, 0) = &H01123456
    r.OutputFileType = oftGIF
    r.SaveFile OutPath("plain.gif")
    Set loaded = Reload(OutPath("plain.gif"))
    eq loaded.CurrentFileType & " " & Hex(loaded.Pixels(1, 1)) & " " & Hex(loaded.Pixels(2, 0)), _
        oftGIF & " FFFF0000 FF000000", "GIF keeps a few colours exactly; without IsTransparent all is opaque"
    Set gif = CreateObject("Rastelle.GIFEncoderInfo")
    gif.IsTransparent = True
    r.SaveFile OutPath("clear.gif"), gif
    eq Reload(OutPath("clear.gif")).Pixels(2, 0) And &HFF000000, 0, "IsTransparent: a pixel of alpha 1 is transparent"
End Sub

Sub TestFailuresAndPictures()
    Dim r, dict, picture, back
    Set r = CreateObject("Rastelle.RasterObject")
    r.EmptyImage 3, 2, &HFF336699
    r.Pixels(0, 0) = 0
    Set picture = r.SavePicture()
    Set back = CreateObject("Rastelle.RasterObject")
    back.LoadPicture picture
    eq back.CurrentFileType & " " & Hex(back.Pixels(1, 1)) & " " & Hex(back.Pixels(0, 0)), "1 FF336699 FF000000", _
        "a picture comes back as BMP, transparency black"

    Set dict = CreateObject("Scripting.Dictionary")
    On Error Resume Next
    r.SaveFile OutPath("bad.png"), dict
    expect_err &H80004002, SRC, "Wrong Encoder object!", "an object that is no encoder"
    r.SaveStream dict
    expect_err &H80004002, SRC, "Cannot query neigther IStream nor IResponse interface.", "a stream that is no stream"
    On Error GoTo 0
End Sub

On Error Resume Next
TestEncoderObjects : group_done "encoder objects"
TestSaveAndReload : group_done "save and reload"
TestGif : group_done "GIF"
TestFailuresAndPictures : group_done "failures and pictures"
fso.DeleteFolder workDir, True
On Error GoTo 0
finish "saving"
