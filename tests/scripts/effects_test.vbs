' The effect component (RastelleEffects.dll) from VBScript: its classes
' created by ProgID and applied, their properties by name, Apply on the
' PixelArrays a script transform receives, and the RasterObject effect
' methods with their optional arguments left out. (Unregistration, which
' would disturb the other suites, is tested in C++.) Run by
' scripts/wine-env.sh, which puts lib\testlib.vbs in front of it.

' A 4 x 3 picture: the PNG fixture.
Function Picture()
    Set Picture = CreateObject("Rastelle.RasterObject")
    Picture.LoadFile fixture("pixels_4x3.png")
End Function

Function SizeOf(r)
    SizeOf = r.Width & "x" & r.Height
End Function

Sub TestEveryClassByProgId()
    Dim name, e, r
    On Error Resume Next
    For Each name In Array("AutoLevel", "Antialiasing", "Greyscale", "Waddle", "Lightness", "Contrast", _
                           "AddNoise", "Spray", "Mosaic", "Sinusize", "Swirl", "EllipseCrop", "Solarize", _
                           "HSLColorize", "Texturize", "Sharpen", "Emboss", "EdgeDetect", "SwapChannels", _
                           "Buttonize", "PageCurl")
        Set e = CreateObject("RastelleEffects." & name)
        expect_no_err "CreateObject RastelleEffects." & name
        Set e = CreateObject("RastelleEffects." & name & ".1")
        expect_no_err "CreateObject RastelleEffects." & name & ".1"
        Set r = Picture()
        r.ApplyTransform e
        expect_no_err name & " through ApplyTransform"
        eq SizeOf(r), "4x3", name & " keeps the size"
    Next
End Sub

' Properties by name (the C++ suite checks every default and slot).
Sub TestPropertiesByName()
    Dim e
    On Error Resume Next
    Set e = CreateObject("RastelleEffects.PageCurl")
    eq e.CurlMode & " " & e.CurlColor, "5 -52", "PageCurl defaults"
    e.Width = 3 : e.Height = 2
    eq e.Width & "x" & e.Height, "3x2", "PageCurl size set by name"
    Set e = CreateObject("RastelleEffects.Texturize")
    e.Shift = 1.5
    eq VarType(e.Shift), vbSingle, "Texturize.Shift is a Single"
    eq e.Shift, CSng(1.5), "Texturize.Shift set by name"
    expect_no_err "properties raised nothing"
End Sub

' A script transform that hands the array it receives to an effect's Apply
' and notes what came back. (Wine's VBScript can neither look into an array of
' Longs nor hand one back through OutputArray: the C++ suite checks the
' array's contents and what ApplyTransform makes of it.)
Class Relay
    Public Effect
    Public Result
    Public Function Apply(InputArray, OutputArray)
        Dim pixels
        Effect.Apply InputArray, pixels
        Result = VarType(pixels)
        OutputArray = pixels
    End Function
End Class

Sub TestApplyOnPixelArrays()
    Dim r, t
    On Error Resume Next
    Set r = Picture()
    Set t = New Relay
    Set t.Effect = CreateObject("RastelleEffects.Mosaic")
    t.Effect.CellWidth = 2 : t.Effect.CellHeight = 2
    r.ApplyTransform t
    Err.Clear
    eq t.Result, vbArray + vbLong, "Mosaic.Apply hands a script an array of Longs"
End Sub

Sub TestEffectMethods()
    Dim r
    On Error Resume Next
    Set r = Picture()
    r.Sharpen
    r.Emboss
    r.EdgeDetect
    r.Buttonize
    r.PageCurl 2, 2
    r.AddNoise 10
    r.Spray 1, 1
    r.Sinusize 1, 8, 0, 1, 8, 0
    r.EllipseCrop 2, 1, 2, 1
    r.Texturize 10, 0.5
    r.AutoLevel : r.AutoLightness : r.AutoContrast : r.Greyscale
    expect_no_err "effect methods with optional arguments left out"
    eq SizeOf(r), "4x3", "the effects keep the size"
End Sub

On Error Resume Next
TestEveryClassByProgId : group_done "every class by ProgID"
TestPropertiesByName : group_done "properties by name"
TestApplyOnPixelArrays : group_done "Apply on pixel arrays"
TestEffectMethods : group_done "effect methods"
On Error GoTo 0
finish "vbscript"
