' Times, as a script sees them, SaveFile of the picture named by the first
' argument as GIF (the octree palette) and as lossless SWF, and SaveFile of
' the screenshot named by the third as lossless SWF: the best of three calls
' each, in milliseconds, on one line. Writes into the folder named by the
' second.
Set args = WScript.Arguments
Set r = CreateObject("Rastelle.RasterObject")
r.LoadFile args(0)
Set screen = CreateObject("Rastelle.RasterObject")
screen.LoadFile args(2)
screen.OutputFileType = 5
gif = 1000 : swf = 1000 : screenSwf = 1000
For i = 1 To 3
    r.OutputFileType = 4
    t = Timer
    r.SaveFile args(1) & "\saved.gif"
    d = Timer - t : If d < gif Then gif = d
    r.OutputFileType = 5
    t = Timer
    r.SaveFile args(1) & "\saved.swf"
    d = Timer - t : If d < swf Then swf = d
    t = Timer
    screen.SaveFile args(1) & "\screen.swf"
    d = Timer - t : If d < screenSwf Then screenSwf = d
Next
WScript.Echo Round(gif * 1000) & " " & Round(swf * 1000) & " " & Round(screenSwf * 1000)
