' TransformExpand: spreads light areas (a maximum filter).
' Scripts call RasterObject's Expand, which drives this class; the class's
' Strength are set through its own interface by early-bound clients
' (C++, or Visual Basic with a reference to the type library).
' Run: cscript TransformExpand.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
image.Expand 2
Set transform = CreateObject("Rastelle.TransformExpand")
image.ApplyTransform transform                 ' with its own default settings
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformExpand.png"
WScript.Echo "TransformExpand: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
