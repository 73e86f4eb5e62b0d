' TransformShadow: adds a drop shadow.
' Scripts call RasterObject's Shadow, which drives this class; the class's
' OffsetX, OffsetY, Radius and Color are set through its own interface by early-bound clients
' (C++, or Visual Basic with a reference to the type library).
' Run: cscript TransformShadow.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
image.Shadow 8, 8, 4, &HFF808080
Set transform = CreateObject("Rastelle.TransformShadow")
image.ApplyTransform transform                 ' with its own default settings
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformShadow.png"
WScript.Echo "TransformShadow: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
