' Loading and saving: a picture in, the same picture out in five formats,
' then one of them read back. Run: cscript loading_and_saving.vbs OUTPUT_FOLDER
Const oftPNG = 2
Set files = CreateObject("Scripting.FileSystemObject")
here = files.GetParentFolderName(WScript.ScriptFullName)
out = WScript.Arguments(0)

Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile here & "\..\images\sample.png"
WScript.Echo "loaded " & image.Width & " x " & image.Height & ", file type " & image.CurrentFileType

Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
jpeg.Quality = 85
image.SaveFile out & "\sample.jpg", jpeg

image.OutputFileType = oftPNG                 ' no encoder object: the output type decides
image.SaveFile out & "\sample.png"

Set tiff = CreateObject("Rastelle.TIFFEncoderInfo")
tiff.CompressionType = 0                      ' tctNone
image.SaveFile out & "\sample.tif", tiff

Set gif = CreateObject("Rastelle.GIFEncoderInfo")
gif.IsTransparent = True
image.SaveFile out & "\sample.gif", gif

Set webp = CreateObject("Rastelle.WebPEncoderInfo")
webp.Quality = 80                             ' alpha is kept
image.SaveFile out & "\sample.webp", webp

For Each name In Array("sample.jpg", "sample.png", "sample.tif", "sample.gif", "sample.webp")
    WScript.Echo name & ": " & files.GetFile(out & "\" & name).Size & " bytes"
Next

Set again = CreateObject("Rastelle.RasterObject")
again.LoadFile out & "\sample.webp"
WScript.Echo "the WebP reads back as " & again.Width & " x " & again.Height & ", file type " & again.CurrentFileType
WScript.Echo "example finished"
