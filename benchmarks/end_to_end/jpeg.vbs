' Times, as a script sees them, on the JPEG named by the first argument: the
' typical page (LoadFile, Resize 400 x 300 bicubic, SaveFile JPEG quality 85),
' LoadFile alone and SaveFile JPEG quality 75; the best of five calls each, in
' milliseconds, on one line. Writes into the folder named by the second.
Set args = WScript.Arguments
source = args(0)
folder = args(1)
Set quality85 = CreateObject("Rastelle.JPEGEncoderInfo")
quality85.Quality = 85
Set quality75 = CreateObject("Rastelle.JPEGEncoderInfo")
quality75.Quality = 75
Set r = CreateObject("Rastelle.RasterObject")
page = 1000 : load = 1000 : save = 1000
For i = 1 To 5
    t = Timer
    r.LoadFile source
    r.Resize 400, 300, 4, 0
    r.SaveFile folder & "\thumbnail.jpg", quality85
    d = Timer - t : If d < page Then page = d
    t = Timer
    r.LoadFile source
    d = Timer - t : If d < load Then load = d
    t = Timer
    r.SaveFile folder & "\saved.jpg", quality75
    d = Timer - t : If d < save Then save = d
Next
WScript.Echo Round(page * 1000) & " " & Round(load * 1000) & " " & Round(save * 1000)
