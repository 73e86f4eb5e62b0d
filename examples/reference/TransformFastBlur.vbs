' TransformFastBlur: blurs the image.
' Scripts call RasterObject's FastBlur, which drives this class; the class's
' Radius are set through its own interface by early-bound clients
' (C++, or Visual Basic with a reference to the type library).
' Run: cscript TransformFastBlur.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set image = CreateObject("Rastelle.RasterObject")
image.LoadFile sample
image.FastBlur 4
Set transform = CreateObject("Rastelle.TransformFastBlur")
image.ApplyTransform transform                 ' with its own default settings
image.OutputFileType = 2                       ' oftPNG
image.SaveFile out & "\TransformFastBlur.png"
WScript.Echo "TransformFastBlur: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
