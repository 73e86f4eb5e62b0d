' main_job.vbs - loads an image with Rastelle, describes it, transforms it,
' combines it as layers over a white ground with a caption strip, applies
' three effects, draws a captioned box and an arrow on it and saves the
' result as JPEG, PNG, SWF, CMYK TIFF, GIF and a two-frame animated GIF.
'
'   cscript //nologo main_job.vbs [image file [output folder]]
'
' Without arguments the job uses images\sample.png next to this script and
' writes into the folder output next to this script.
' Every step runs under On Error Resume Next and is followed by Check, which
' ends the job with the error text and exit code 1 when the step failed.
Option Explicit

Dim fso, imagePath, outputFolder, image
Set fso = CreateObject("Scripting.FileSystemObject")
If WScript.Arguments.Count > 0 Then
    imagePath = WScript.Arguments(0)
Else
    imagePath = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "images\sample.png")
End If
If WScript.Arguments.Count > 1 Then
    outputFolder = WScript.Arguments(1)
Else
    outputFolder = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "output")
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

' A soft grey shadow under the turned picture, 6 pixels right and down.
image.Shadow 6, 6, 3                               : Check "adding a shadow"
WScript.Echo "Shadow added under the picture: " & image.Width & " x " & image.Height & _
    ", pixel below the right corner " & Hex8(image.Pixels(image.Width - 4, image.Height \ 2))

' Layers: the picture is laid over an opaque white ground, and a caption
' strip (black with a white rule along its top, made with EmptyImage and
' Pixels) over its lower edge at opacity 144, so the picture shows through. The first layer
' only gives the size: it is invisible, so Combine fills it with the
' collection's BackgroundColor. Both picture layers share the one image.
Dim layers, ground, picture, caption, x, stripHeight, shadowed
Set shadowed = image  ' kept for the GIF below, which shows its transparency
stripHeight = 20
Set layers = CreateObject("Rastelle.RasterCollection") : Check "creating Rastelle.RasterCollection"
layers.BackgroundColor = &HFFFFFFFF
Set ground = layers.Add()                          : Check "adding the ground layer"
Set ground.RasterObject = image                    : Check "sizing the ground layer"
ground.IsVisible = False
Set picture = layers.Add()                         : Check "adding the picture layer"
Set picture.RasterObject = image                   : Check "giving the picture to its layer"
Set caption = layers.Add()                         : Check "adding the caption layer"
caption.EmptyImage image.Width, stripHeight, &HFF000000 : Check "making the caption strip"
For x = 0 To caption.Width - 1
    caption.Pixels(x, 0) = &HFFFFFFFF
Next
                                                   Check "drawing the caption rule"
caption.OffsetY = image.Height - stripHeight
caption.Opacity = 144
Set image = layers.Combine()                       : Check "combining the layers"
WScript.Echo "Combined " & layers.Count & " layers: " & image.Width & " x " & image.Height & _
    ", corner " & Hex8(image.Pixels(0, 0)) & ", caption rule " & Hex8(image.Pixels(image.Width \ 2, image.Height - stripHeight)) & _
    ", caption strip " & Hex8(image.Pixels(image.Width \ 2, image.Height - 2))

' Effects of the effect component (RastelleEffects.dll): sharpened, framed
' as a raised button 10 pixels wide, and its lower right corner curled.
image.Sharpen                                      : Check "sharpening (is RastelleEffects.dll registered?)"
image.Buttonize 0, 10, 70                          : Check "buttonizing"
image.PageCurl image.Width \ 4, image.Height \ 4   : Check "curling a corner"
WScript.Echo "Sharpened, buttonized and curled: " & image.Width & " x " & image.Height & _
    ", lower frame " & Hex8(image.Pixels(image.Width \ 2, image.Height - 2)) & _
    ", under the curl " & Hex8(image.Pixels(image.Width - 2, image.Height - 2))

' Drawing: a caption on a semi-transparent box in the upper left corner, and
' a white arrow with an arrow-anchor head pointing at the red disc in the middle.
Dim tool, boxBrush, boxPen, label, ink, arrow
Set tool = CreateObject("Rastelle.DrawingTool")    : Check "creating Rastelle.DrawingTool"
Set tool.RasterObject = image                      : Check "giving the drawing tool the picture"
Set boxBrush = CreateObject("Rastelle.SolidBrush") : boxBrush.Color = &H99000000
Set boxPen = CreateObject("Rastelle.Pen")          : boxPen.Color = &HCCFFFFFF
tool.SetRectangle 8, 8, 132, 28, 0, True, boxPen, boxBrush : Check "drawing the caption box"
Set label = CreateObject("Rastelle.TextInfo")      : label.FontSize = 13 : label.IsBold = True
Set ink = CreateObject("Rastelle.SolidBrush")      : ink.Color = &HFFFFFFFF
tool.SetText "Rastelle", 16, 13, 0, label, ink     : Check "writing the caption"
Set arrow = CreateObject("Rastelle.Pen")           : arrow.Width = 4 : arrow.Color = &HFFFFFFFF
arrow.EndCapType = 8                               : Check "choosing the arrow-anchor end cap"
tool.SetLine 40, 44, image.Width \ 2 - 30, image.Height \ 2 - 26, arrow : Check "drawing the arrow"
WScript.Echo "Drew a caption box (" & Hex8(image.Pixels(12, 32)) & ") and an arrow (" & _
    Hex8(image.Pixels(41, 45)) & ")"

' JPEG at quality 85 through an encoder object, then PNG through the output
' file type; each file is read back to show what was written.
Dim jpeg, jpegPath, pngPath
If Not fso.FolderExists(outputFolder) Then fso.CreateFolder outputFolder
                                                   Check "creating " & outputFolder
jpegPath = fso.BuildPath(outputFolder, "result.jpg")
pngPath = fso.BuildPath(outputFolder, "result.png")
Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo") : Check "creating Rastelle.JPEGEncoderInfo"
jpeg.Quality = 85
image.SaveFile jpegPath, jpeg                      : Check "saving " & jpegPath
Report jpegPath, "JPEG, quality 85"                : Check "reading back " & jpegPath
image.OutputFileType = 2                           : Check "choosing PNG output"
image.SaveFile pngPath                             : Check "saving " & pngPath
Report pngPath, "PNG"                              : Check "reading back " & pngPath

' The same picture as a Flash movie with a lossless bitmap (SWF is written,
' not read, so only its size is shown).
Dim swfPath
swfPath = fso.BuildPath(outputFolder, "result.swf")
image.OutputFileType = 5                           : Check "choosing SWF output"
image.SaveFile swfPath                             : Check "saving " & swfPath
WScript.Echo "Wrote " & swfPath & " (SWF, lossless): " & fso.GetFile(swfPath).Size & " bytes"

' For print: a CMYK TIFF, separated by the plain rule (no ICC profile named),
' uncompressed, four inks a pixel.
Dim tiff, cmykPath
cmykPath = fso.BuildPath(outputFolder, "result_cmyk.tif")
Set tiff = CreateObject("Rastelle.TIFFEncoderInfo") : Check "creating Rastelle.TIFFEncoderInfo"
tiff.ColorSpace = 1                                : Check "choosing CMYK"
image.OutputFileType = 3                           : Check "leaving SWF output (it wins over any encoder)"
image.SaveFile cmykPath, tiff                      : Check "saving " & cmykPath
Report cmykPath, "TIFF, CMYK"                      : Check "reading back " & cmykPath

' The turned picture with its shadow, before the layers, as a GIF with the
' system's octree palette; its transparent background stays transparent.
Dim gif, gifPath
gifPath = fso.BuildPath(outputFolder, "result.gif")
Set gif = CreateObject("Rastelle.GIFEncoderInfo")  : Check "creating Rastelle.GIFEncoderInfo"
gif.IsTransparent = True
shadowed.OutputFileType = 4                        : Check "choosing GIF output"
shadowed.SaveFile gifPath, gif                     : Check "saving " & gifPath
Report gifPath, "GIF, octree palette, transparent" : Check "reading back " & gifPath

' The turned picture and the combined result as the two frames of an
' animated GIF (each frame its own palette, shown for a second, looping),
' read back frame by frame.
Dim frames, frame, animationPath
animationPath = fso.BuildPath(outputFolder, "result_animated.gif")
Set frames = CreateObject("Rastelle.RasterCollection") : Check "creating the frame collection"
Set frame = frames.Add()                           : Check "adding the first frame"
Set frame.RasterObject = shadowed                  : Check "giving the turned picture to it"
Set frame = frames.Add()                           : Check "adding the second frame"
Set frame.RasterObject = image                     : Check "giving the combined result to it"
frames.SaveMultiframeImage animationPath, 4        : Check "saving " & animationPath
Set frames = CreateObject("Rastelle.RasterCollection")
frames.LoadMultiframeImage animationPath           : Check "reading back " & animationPath
WScript.Echo "Wrote " & animationPath & " (animated GIF): " & fso.GetFile(animationPath).Size & _
    " bytes, reads back as " & frames.Count & " frames of " & frames(0).Width & " x " & frames(0).Height

' A high-quality thumbnail of the original picture: 96 pixels wide, the
' height in proportion, reduced with the widened bicubic filter.
Dim thumb, thumbPath
Set thumb = CreateObject("Rastelle.RasterObject")
thumb.LoadFile imagePath                           : Check "loading " & imagePath
thumb.Resize 96, (thumb.Height * 96) \ thumb.Width, 4 : Check "making the thumbnail"
thumb.OutputFileType = 2
thumbPath = fso.BuildPath(outputFolder, "thumbnail.png")
thumb.SaveFile thumbPath                           : Check "saving " & thumbPath
Report thumbPath, "PNG thumbnail"                  : Check "reading back " & thumbPath
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

' Prints a written file: its size on disk and what loading it back gives.
Sub Report(path, what)
    Dim written
    Set written = CreateObject("Rastelle.RasterObject")
    written.LoadFile path
    WScript.Echo "Wrote " & path & " (" & what & "): " & fso.GetFile(path).Size & " bytes, reads back as " & _
        FileTypeName(written.CurrentFileType) & " " & written.Width & " x " & written.Height & _
        ", centre " & Hex8(written.Pixels(written.Width \ 2, written.Height \ 2))
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
