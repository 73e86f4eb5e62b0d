' TransformGlow: adds a glow around opaque shapes.
' Scripts call RasterObject's Glow, which drives this class; the class's
' Intensity, Radius and Color are set through its own interface by early-bound clients
' (C++, or Visual Basic with a reference to the type library).
' Run: cscript TransformGlow.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
image.Glow 10, 4, &HFFFFFF00
Set transform = CreateObject("Rastelle.TransformGlow")
image.ApplyTransform transform                 ' with its own default settings
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformGlow.png"
WScript.Echo "TransformGlow: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
