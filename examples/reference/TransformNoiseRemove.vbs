' TransformNoiseRemove: removes noise with a median filter.
' Scripts call RasterObject's RemoveNoise, which drives this class; the class's
' Precision are set through its own interface by early-bound clients
' (C++, or Visual Basic with a reference to the type library).
' Run: cscript TransformNoiseRemove.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
image.RemoveNoise 1
Set transform = CreateObject("Rastelle.TransformNoiseRemove")
image.ApplyTransform transform                 ' with its own default settings
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformNoiseRemove.png"
WScript.Echo "TransformNoiseRemove: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
