' Times LoadFile of the PNG named by the first argument and SaveFile of it as
' PNG into the folder named by the second, as a script sees them: the best of
' three calls each, in milliseconds, on one line, then the saved file's size.
Set args = WScript.Arguments
Set r = CreateObject("Rastelle.RasterObject")
load = 1000 : save = 1000
For i = 1 To 3
    t = Timer
    r.LoadFile args(0)
    d = Timer - t : If d < load Then load = d
    r.OutputFileType = 2
    t = Timer
    r.SaveFile args(1) & "\saved.png"
    d = Timer - t : If d < save Then save = d
Next
Set files = CreateObject("Scripting.FileSystemObject")
WScript.Echo Round(load * 1000) & " " & Round(save * 1000) & " " & files.GetFile(args(1) & "\saved.png").Size
