' RasterCollection: layers stacked and combined into one image
' Run: cscript RasterCollection.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set layers = CreateObject("Rastelle.RasterCollection")
Set background = layers.Add
background.EmptyImage 300, 200, &HFF1D3557
Set picture = layers.Add
picture.LoadFile sample
picture.OffsetX = 20
picture.Opacity = 200
layers.BackgroundColor = &HFFFFFFFF
Set combined = layers.Combine()
combined.OutputFileType = 2                    ' oftPNG
combined.SaveFile out & "\RasterCollection.png"
For Each item In layers
    WScript.Echo item.Key & " at position " & item.Index
Next
WScript.Echo "example finished"
