' The effect component (RastelleEffects.dll) from VBScript: every class by
' its versioned ProgID through ApplyTransform, properties by name, Apply on
' the arrays a script transform receives, and the RasterObject effect
' methods with their optional arguments left out.

Function Picture()
    Set Picture = CreateObject("Rastelle.RasterObject")
    Picture.LoadFile fixture("pixels_4x3.png")
End Function

Sub TestEveryClassByProgId()
    Dim name, r, failed
    On Error Resume Next
    For Each name In Array("AutoLevel", "Antialiasing", "Greyscale", "Waddle", "Lightness", "Contrast", _
                           "AddNoise", "Spray", "Mosaic", "Sinusize", "Swirl", "EllipseCrop", "Solarize", _
                           "HSLColorize", "Texturize", "Sharpen", "Emboss", "EdgeDetect", "SwapChannels", _
                           "Buttonize", "PageCurl")
        Set r = Picture()
        r.ApplyTransform CreateObject("RastelleEffects." & name & ".1")
        If Err.Number <> 0 Or r.Width <> 4 Then failed = failed & name & ":" & Hex(Err.Number) & " "
        Err.Clear
    Next
    eq failed, Empty, "each class created and applied, keeping the size"
End Sub

Sub TestPropertiesByName()
    Dim e
    Set e = CreateObject("RastelleEffects.PageCurl")
    e.Width = 3 : e.Height = 2
    eq e.Width & "x" & e.Height & " " & e.CurlMode, "3x2 5", "PageCurl properties by name"
End Sub

' A script transform that hands its input to an effect's Apply. (Wine's
' VBScript cannot index an array of Longs: the C++ suite checks its contents.)
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

Sub TestApplyOnPixelArraysAndMethods()
    Dim r, t
    On Error Resume Next
    Set r = Picture()
    Set t = New Relay
    Set t.Effect = CreateObject("RastelleEffects.Mosaic")
    r.ApplyTransform t
    Err.Clear
    eq t.Result, vbArray + vbLong, "Mosaic.Apply hands a script an array of Longs"
    Set r = Picture()
    r.Sharpen : r.Emboss : r.EdgeDetect : r.Buttonize : r.PageCurl 2, 2 : r.AddNoise 10 : r.Spray 1, 1
    r.Sinusize 1, 8, 0, 1, 8, 0 : r.EllipseCrop 2, 1, 2, 1 : r.Texturize 10, 0.5
    r.AutoLevel : r.AutoLightness : r.AutoContrast : r.Greyscale
    expect_no_err "effect methods with optional arguments left out"
    eq r.Width & "x" & r.Height, "4x3", "the effects keep the size"
End Sub

On Error Resume Next
TestEveryClassByProgId : group_done "every class by ProgID"
TestPropertiesByName : group_done "properties by name"
TestApplyOnPixelArraysAndMethods : group_done "Apply on pixel arrays, effect methods"
On Error GoTo 0
finish "vbscript"
