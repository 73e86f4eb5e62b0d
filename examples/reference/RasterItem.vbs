' RasterItem: one layer of a collection: a raster object with a place, an opacity and a blend mode
' Run: cscript RasterItem.vbs OUTPUT_FOLDER
Set files = CreateObject("Scripting.FileSystemObject")
sample = files.GetParentFolderName(WScript.ScriptFullName) & "\..\images\sample.png"
out = WScript.Arguments(0)
Set layers = CreateObject("Rastelle.RasterCollection")
layers.Add.EmptyImage 200, 150, &HFFFFFFFF
Set item = layers.Add                          ' items come from their collection
item.LoadFile sample                           ' and work as raster objects
item.Key = "photo"
item.OffsetX = 10
item.OffsetY = 10
item.Opacity = 128
item.Mode = 0                                  ' cmAlphaBlend
item.IsVisible = True
Set combined = layers.Combine()
combined.OutputFileType = 2                    ' oftPNG
combined.SaveFile out & "\RasterItem.png"
WScript.Echo layers("photo").Key & " is item " & layers("photo").Index
WScript.Echo "example finished"
