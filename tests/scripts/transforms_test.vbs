' Transforms driven from VBScript: the image methods with their optional
' arguments left out, transform objects applied directly, a transform
' written in VBScript, and the errors a script sees. Run by
' scripts/wine-env.sh, which puts lib\testlib.vbs in front of it.

Const E_INVALID_CALL = &HE0000205

Function Loaded()
    Set Loaded = CreateObject("Rastelle.RasterObject")
    Loaded.LoadFile fixture("pixels_4x3.png")
End Function

Sub size_is(r, width, height, msg)
    eq r.Width & "x" & r.Height, width & "x" & height, msg
End Sub

Sub TestChainedImageMethods()
    Dim r
    Set r = Loaded()
    r.Resize 8, 6 : size_is r, 8, 6, "Resize with quality and background left out"
    r.Rotate 90 : size_is r, 6, 8, "Rotate 90 with the background left out"
    r.FlipAndRotate 2 : size_is r, 6, 8, "FlipAndRotate 2 keeps the size"
    r.FlipAndRotate 8 : size_is r, 6, 8, "FlipAndRotate 8: the refused type leaves the transform's default"
    r.Crop 1, 1, 3, 2 : size_is r, 3, 2, "Crop with the optional arguments left out"
    r.Crop 0, 0, 1, 1, &HFF00FF00, True : size_is r, 3, 2, "Crop stretched back to the input size"
    r.Rotate 45, &H00000000 : size_is r, 3, 3, "Rotate 45 of 3 x 2"
    eq r.Pixels(0, 0), 0, "Rotate: uncovered corner keeps the background"
    expect_no_err "the chain raised nothing"
End Sub

Sub TestTransformObjects()
    Dim r, t
    Set r = Loaded()
    Set t = CreateObject("Rastelle.TransformRotate")
    eq t.BackgroundColor, &H00FFFFFF, "a new TransformRotate has a transparent white background"
    t.Angle = 270
    r.ApplyTransform t
    size_is r, 3, 4, "TransformRotate applied directly"
    Set t = CreateObject("Rastelle.TransformResize.1")
    eq t.NewWidth & "x" & t.NewHeight, "100x100", "TransformResize defaults"
    r.ApplyTransform t
    size_is r, 100, 100, "TransformResize applied with its defaults"
    Set t = CreateObject("Rastelle.TransformCrop")
    t.Width = 10 : t.Height = 20
    r.ApplyTransform t
    size_is r, 10, 20, "TransformCrop applied directly"
End Sub

' Script objects as transforms: one whose Apply hands nothing back, and one
' without Apply. (Wine's VBScript cannot index the VT_I4 arrays that Apply
' receives, so a script transform that returns pixels is tested in C++.)
Class NoOutput
    Public Called
    Public Function Apply(InputArray, OutputArray)
        Called = VarType(InputArray) & " " & VarType(OutputArray)
    End Function
End Class

Class NoApply
    Public Function Transform(a, b)
    End Function
End Class

Sub TestScriptTransforms()
    Dim r
    Set r = Loaded()
    On Error Resume Next
    Dim t
    Set t = New NoOutput
    r.ApplyTransform t
    expect_err &H80020009, "Rastelle.RasterObject.1", "If you see that error message, please contact *", _
        "Apply that hands back no array"
    eq t.Called, (vbArray + vbLong) & " " & (vbArray + vbLong), "Apply receives two arrays of Long"

    r.ApplyTransform New NoApply
    expect_err E_INVALID_CALL, "Rastelle.RasterObject.1", _
        "Cannot find Apply method among the members of the object, you passed", "object without Apply"
    size_is r, 4, 3, "a refused transform leaves the image"
End Sub

' A transform class's error as a script sees it (the C++ suite checks every
' code and text).
Sub TestErrors()
    Dim r
    Set r = Loaded()
    On Error Resume Next
    r.Crop 0, 0, 0, 5
    expect_err E_INVALID_CALL, "Rastelle.TransformCrop.1", _
        "Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.", _
        "Crop to an empty rectangle"
End Sub

' Thumbnails of the sample picture in each quality mode: the size asked for,
' and the picture's own colours where it is uniform.
Sub TestThumbnails()
    Dim fso, samplePath, quality, r
    Set fso = CreateObject("Scripting.FileSystemObject")
    samplePath = fso.BuildPath(fso.GetParentFolderName(fso.GetParentFolderName(fso.GetParentFolderName(suite_path))), _
        "examples\images\sample.png")
    For quality = 0 To 4
        Set r = CreateObject("Rastelle.RasterObject")
        r.LoadFile samplePath
        r.Resize 80, 60, quality
        size_is r, 80, 60, "thumbnail in mode " & quality
        eq r.Pixels(40, 30), &HFFE63946, "mode " & quality & " keeps the red disc's colour"
        eq r.Pixels(79, 0), -1, "mode " & quality & ": a transparent corner shows the white background"
    Next
End Sub

' Double arguments left out take the type library's defaults (written into
' the library after widl, which cannot encode them): a blur with them left out
' equals one with the defaults given.
Function Pixels4x3(r)
    Dim x, y, text
    For y = 0 To 2
        For x = 0 To 3
            text = text & Hex(r.Pixels(x, y)) & " "
        Next
    Next
    Pixels4x3 = text
End Function

Sub TestDoubleDefaults()
    Dim a, b
    Set a = Loaded() : a.FastBlur
    Set b = Loaded() : b.FastBlur 2
    eq Pixels4x3(a), Pixels4x3(b), "FastBlur: Radius defaults to 2"
    ok Pixels4x3(a) <> Pixels4x3(Loaded()), "FastBlur changes the fixture"
    Set a = Loaded() : a.Glow
    Set b = Loaded() : b.Glow 10, 2
    eq Pixels4x3(a), Pixels4x3(b), "Glow: Intensity 10, Radius 2"
    Set a = Loaded() : a.Shadow 1, 1
    Set b = Loaded() : b.Shadow 1, 1, 2
    eq Pixels4x3(a), Pixels4x3(b), "Shadow: Radius 2"
    expect_no_err "the blurs raised nothing"
End Sub

On Error Resume Next
TestThumbnails : group_done "thumbnails"
TestChainedImageMethods : group_done "chained image methods"
TestTransformObjects : group_done "transform objects"
TestScriptTransforms : group_done "script transforms"
TestErrors : group_done "errors"
TestDoubleDefaults : group_done "double defaults"
On Error GoTo 0
finish "vbscript"
