' Saving and encoder option objects driven from VBScript. Run by
' scripts/wine-env.sh, which puts lib\testlib.vbs in front of it.

Const SRC = "Rastelle.RasterObject.1"
Const E_INVALIDARG = &H80070057
Const E_NOINTERFACE = &H80004002
Const E_SAVE_FILE = &HE0000202
Const E_SAVE_STREAM = &HE0000204
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

' True when the transform classes are served by this build.
Function ResizeAvailable()
    Dim t
    On Error Resume Next
    Set t = CreateObject("Rastelle.TransformResize")
    ResizeAvailable = (Err.Number = 0)
    Err.Clear
End Function

Sub TestEncoderObjects()
    Dim jpeg, tiff, gif, bmp, swf
    Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
    Set tiff = CreateObject("Rastelle.TIFFEncoderInfo.1")
    Set gif = CreateObject("Rastelle.GIFEncoderInfo")
    Set bmp = CreateObject("Rastelle.BMPEncoderInfo")
    Set swf = CreateObject("Rastelle.SWFEncoderInfo")
    eq TypeName(jpeg), "IJPEGEncoderInfo", "JPEGEncoderInfo by ProgID"
    eq TypeName(swf), "ISWFEncoderInfo", "SWFEncoderInfo by ProgID"
    eq jpeg.Quality, 75, "JPEG default quality"
    jpeg.Quality = 150
    eq jpeg.Quality, 100, "quality above 100 is clamped"
    jpeg.Quality = -5
    eq jpeg.Quality, 0, "quality below 0 is clamped"
    eq tiff.CompressionType, 1, "TIFF default compression is LZW"
    eq tiff.ColorDepth, 1, "TIFF default depth is 32 bits"
    eq tiff.ColorSpace, 0, "TIFF default colour space is RGB"
    eq tiff.ICCProfileFilename, "", "TIFF default profile is an empty string"
    eq gif.PaletteType, 0, "GIF default palette is the octree"
    eq gif.IsTransparent, False, "GIF default transparency"
    gif.IsTransparent = True
    eq gif.IsTransparent, True, "GIF transparency is stored"
    bmp.ColorDepth = 77
    eq bmp.ColorDepth, 77, "BMP depth stores any value"
    eq swf.BackgroundColor, -1, "SWF default background"
    eq swf.JPEGQuality, 75, "SWF default JPEG quality"

    On Error Resume Next
    tiff.CompressionType = 2
    expect_err E_INVALIDARG, "Rastelle.TIFFEncoderInfo.1", "This compression type is not supported!", "TIFF compression 2"
    tiff.ColorDepth = 3
    expect_err E_INVALIDARG, "Rastelle.TIFFEncoderInfo.1", "This color depth is not supported!", "TIFF depth 3"
    tiff.ColorSpace = -1
    expect_err E_INVALIDARG, "Rastelle.TIFFEncoderInfo.1", "This color space is not supported!", "TIFF space -1"
    swf.CompressionType = 2
    expect_err E_INVALIDARG, "Rastelle.SWFEncoderInfo.1", _
        "Wrong compression type! It must be either lossless (0) or JPEG (1)...", "SWF compression 2"
    tiff.ColorDepth = 2
    expect_no_err "TIFF depth 2 is accepted"
    On Error GoTo 0
    eq tiff.CompressionType, 1, "a refused compression keeps the old value"
    eq swf.CompressionType, 0, "a refused SWF compression keeps the old value"
End Sub

Sub TestSaveAndReload()
    Dim r, jpeg, low, high, png, loaded, w, h
    Set r = CreateObject("Rastelle.RasterObject")
    r.LoadFile fixture("photo_16x8_300dpi.jpg")
    w = r.Width : h = r.Height
    If ResizeAvailable() Then
        r.Resize 32, 16
        w = 32 : h = 16
    End If
    Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
    jpeg.Quality = 10
    r.SaveFile OutPath("low.jpg"), jpeg
    jpeg.Quality = 95
    r.SaveFile OutPath("high.jpg"), jpeg
    low = fso.GetFile(OutPath("low.jpg")).Size
    high = fso.GetFile(OutPath("high.jpg")).Size
    ok low < high, "quality 10 gives a smaller JPEG than 95 (" & low & " < " & high & ")"
    Set loaded = Reload(OutPath("high.jpg"))
    eq loaded.CurrentFileType, oftJPEG, "the JPEG reloads as JPEG"
    eq loaded.Width & "x" & loaded.Height, w & "x" & h, "the JPEG keeps the size"

    r.OutputFileType = oftPNG
    r.SaveFile OutPath("copy.png")
    Set png = Reload(OutPath("copy.png"))
    eq png.CurrentFileType, oftPNG, "OutputFileType PNG writes PNG"
    eq png.Pixels(3, 2), r.Pixels(3, 2), "PNG keeps the pixels"

    ' An encoder object decides over OutputFileType and the extension.
    r.SaveFile OutPath("really-jpeg.png"), jpeg
    eq Reload(OutPath("really-jpeg.png")).CurrentFileType, oftJPEG, "encoder object decides the format"
    r.SaveFile OutPath("options.tif"), CreateObject("Rastelle.TIFFEncoderInfo")
    eq Reload(OutPath("options.tif")).CurrentFileType, oftTIFF, "TIFF encoder object writes TIFF"
End Sub

Sub TestSaveErrors()
    Dim r, blank, tiff, dict
    Set blank = CreateObject("Rastelle.RasterObject")
    Set r = CreateObject("Rastelle.RasterObject")
    r.EmptyImage 3, 2, &HFF336699
    Set tiff = CreateObject("Rastelle.TIFFEncoderInfo")
    tiff.ColorDepth = 2
    Set dict = CreateObject("Scripting.Dictionary")

    On Error Resume Next
    blank.SaveFile OutPath("none.png")
    expect_err E_SAVE_FILE, SRC, _
        "Cannot save image to file, because there is no any data. Create new image or load it first.", "SaveFile without image"
    blank.SaveStream dict
    expect_err E_SAVE_STREAM, SRC, _
        "Cannot save image to the stream, because there is no any data. Create new image or load it first.", _
        "SaveStream without image"
    r.SaveFile OutPath("bad.tif"), tiff
    expect_err E_INVALIDARG, SRC, "Wrong TIFF encoder parameters!", "a TIFF depth no encoder knows"
    r.SaveFile OutPath("bad.png"), dict
    expect_err E_NOINTERFACE, SRC, "Wrong Encoder object!", "an object that is no encoder"
    r.SaveFile fso.BuildPath(OutPath("no-such-folder"), "x.png")
    expect_err E_SAVE_FILE, SRC, "Windows error in RasterObject.SaveFile: *", "saving into a missing folder"
    r.SaveStream dict
    expect_err E_NOINTERFACE, SRC, "Cannot query neigther IStream nor IResponse interface.", "a stream that is no stream"
    r.SaveStream dict, CreateObject("Rastelle.SWFEncoderInfo")
    expect_err E_NOINTERFACE, SRC, "Wrong Encoder object!", "SWF cannot go to a stream"
    r.OutputFileType = oftSWF
    r.SaveStream dict
    expect_err &H80004005, SRC, "Cannot save file: requested file type does not supported. If you see this message, please contact *", _
        "OutputFileType SWF to a stream"
    On Error GoTo 0
End Sub

Sub TestPictures()
    Dim r, picture, back
    Set r = CreateObject("Rastelle.RasterObject")
    r.EmptyImage 3, 2, &HFF336699
    r.Pixels(0, 0) = 0
    Set picture = r.SavePicture()
    Set back = CreateObject("Rastelle.RasterObject")
    back.LoadPicture picture
    eq back.Width & "x" & back.Height, "3x2", "a picture keeps the size"
    eq back.CurrentFileType, oftBMP, "a loaded picture counts as BMP"
    eq back.Pixels(1, 1), &HFF336699, "opaque pixels come back"
    eq back.Pixels(0, 0), &HFF000000, "transparent pixels come back black"

    On Error Resume Next
    Set picture = CreateObject("Rastelle.RasterObject").SavePicture()
    expect_err &H80004005, SRC, "Cannot save the image to Picture, because it is not loaded!", "SavePicture without image"
    On Error GoTo 0
End Sub

On Error Resume Next
TestEncoderObjects : group_done "encoder objects"
TestSaveAndReload : group_done "save and reload"
TestSaveErrors : group_done "save errors"
TestPictures : group_done "pictures"
fso.DeleteFolder workDir, True
On Error GoTo 0
finish "saving"
