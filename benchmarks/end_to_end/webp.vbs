' WebP through the DLL as a script sees it. Arguments: the folder holding
' photo.webp (12 Mpx, lossy), photo.png (the same picture, lossless) and
' photo.jpg. Prints the best of three LoadFile and SaveFile (quality 80,
' effort 4) calls of the WebP in milliseconds, then writes q90.webp (the PNG
' at quality 90), thumb.png, thumb.jpg and thumb.webp (a 400 x 300 thumbnail
' of the JPEG, lossless, as JPEG quality 85 and as WebP quality 80).
Set args = WScript.Arguments
folder = args(0)
Set r = CreateObject("Rastelle.RasterObject")
Set webp = CreateObject("Rastelle.WebPEncoderInfo")
webp.Quality = 80
webp.Effort = 4
load = 1000 : save = 1000
For i = 1 To 3
    t = Timer
    r.LoadFile folder & "\photo.webp"
    d = Timer - t : If d < load Then load = d
    t = Timer
    r.SaveFile folder & "\saved.webp", webp
    d = Timer - t : If d < save Then save = d
Next
WScript.Echo Round(load * 1000) & " " & Round(save * 1000)

r.LoadFile folder & "\photo.png"
webp.Quality = 90
r.SaveFile folder & "\q90.webp", webp

Set jpeg = CreateObject("Rastelle.JPEGEncoderInfo")
jpeg.Quality = 85
webp.Quality = 80
r.LoadFile folder & "\photo.jpg"
r.Resize 400, 300, 4
r.OutputFileType = 2
r.SaveFile folder & "\thumb.png"
r.SaveFile folder & "\thumb.jpg", jpeg
r.SaveFile folder & "\thumb.webp", webp
