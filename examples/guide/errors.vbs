' Errors: what a failed call tells a script, and how the object stays usable.
' Run: cscript errors.vbs OUTPUT_FOLDER
Set image = CreateObject("Rastelle.RasterObject")

On Error Resume Next
image.LoadFile "C:\no such folder\missing.jpg"
WScript.Echo "LoadFile of a missing file: " & Hex(Err.Number) & " from " & Err.Source
WScript.Echo "  " & Err.Description
Err.Clear

image.OutputFileType = 7
WScript.Echo "OutputFileType = 7: " & Err.Description
Err.Clear

image.SaveFile WScript.Arguments(0) & "\nothing.jpg"
WScript.Echo "SaveFile with no image: " & Err.Description
Err.Clear
On Error GoTo 0

image.EmptyImage 2, 2, -1                     ' the object is still usable
WScript.Echo "after the failures: " & image.Width & " x " & image.Height
WScript.Echo "example finished"
