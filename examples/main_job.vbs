' main_job.vbs - loads an image with Rastelle and describes it.
'
'   cscript //nologo main_job.vbs [image file]
'
' Without an argument the job uses images\sample.png next to this script.
' Every step runs under On Error Resume Next and is followed by Check, which
' ends the job with the error text and exit code 1 when the step failed.
Option Explicit

Dim fso, imagePath, image
Set fso = CreateObject("Scripting.FileSystemObject")
If WScript.Arguments.Count > 0 Then
    imagePath = WScript.Arguments(0)
Else
    imagePath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "images\sample.png")
End If

On Error Resume Next
Set image = CreateObject("Rastelle.RasterObject") : Check "creating Rastelle.RasterObject"
image.LoadFile imagePath                           : Check "loading " & imagePath
Describe image                                     : Check "reading the image"

' Half the size in high-quality bicubic, then a 30 degree turn onto a
' transparent canvas.
Dim halfWidth, halfHeight
halfWidth = image.Width \ 2 : halfHeight = image.Height \ 2
image.Resize halfWidth, halfHeight, 4              : Check "resizing"
WScript.Echo "Resized to  " & image.Width & " x " & image.Height
image.Rotate 30, 0                                 : Check "rotating"
WScript.Echo "Rotated 30 degrees: canvas " & image.Width & " x " & image.Height & _
    ", corner " & Hex8(image.Pixels(0, 0)) & ", centre " & Hex8(image.Pixels(image.Width \ 2, image.Height \ 2))
' Saving slots in here, each step followed by its Check, for example:
'   image.OutputFileType = 2                       : Check "choosing PNG output"
'   image.SaveFile outputPath                      : Check "saving " & outputPath
On Error GoTo 0
WScript.Quit 0

Sub Describe(img)
    Dim w, h
    w = img.Width
    h = img.Height
    WScript.Echo "Image:      " & imagePath
    WScript.Echo "Size:       " & w & " x " & h & " pixels"
    WScript.Echo "File type:  " & FileTypeName(img.CurrentFileType)
    WScript.Echo "Resolution: " & img.HorizontalResolution & " x " & img.VerticalResolution & " dpi"
    WScript.Echo "Pixels (ARGB):"
    ShowPixel img, "top left", 0, 0
    ShowPixel img, "top right", w - 1, 0
    ShowPixel img, "bottom left", 0, h - 1
    ShowPixel img, "bottom right", w - 1, h - 1
    ShowPixel img, "centre", w \ 2, h \ 2
End Sub

Sub ShowPixel(img, name, x, y)
    WScript.Echo "  " & Pad(name, 13) & Pad("(" & x & ", " & y & ")", 12) & _
        Hex8(img.Pixels(x, y))
End Sub

Function Pad(text, width)
    Pad = text
    If Len(text) < width Then Pad = text & Space(width - Len(text))
End Function

Function Hex8(value)
    Hex8 = Right("0000000" & Hex(value), 8)
End Function

Function FileTypeName(fileType)
    Select Case fileType
        Case 0: FileTypeName = "JPEG"
        Case 1: FileTypeName = "BMP"
        Case 2: FileTypeName = "PNG"
        Case 3: FileTypeName = "TIFF"
        Case 4: FileTypeName = "GIF"
        Case Else: FileTypeName = "unknown (" & fileType & ")"
    End Select
End Function

' Ends the job if the step just run left an error. (Wine's cscript would
' otherwise end silently with exit code 0 on an uncaught error.)
Sub Check(stepName)
    Dim text
    If Err.Number = 0 Then Exit Sub
    text = Err.Description
    Do While Right(text, 1) = vbCr Or Right(text, 1) = vbLf
        text = Left(text, Len(text) - 1)
    Loop
    If Err.Source <> "" Then text = text & " [" & Err.Source & "]"
    WScript.Echo "main_job: failed " & stepName & ": " & text & " (error &H" & Hex(Err.Number) & ")"
    WScript.Quit 1
End Sub
