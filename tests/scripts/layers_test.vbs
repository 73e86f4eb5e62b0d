' RasterCollection driven from VBScript: For Each over the layers, the
' default member by key and by position, Combine, items used as raster
' objects, and multi-frame files. Run by scripts/wine-env.sh, which puts
' lib\testlib.vbs in front.

Const SRC = "Rastelle.RasterCollection.1"
Const NO_ITEM = "Cannot get access to the item. Probably the index is out of bounds"
Const COLLECTION_ERROR = "Error in the collection occured (it is possible wrong index)"
Const cmAlphaBlend = 0, cmORBlend = 3

Function NewLayers(count)
    Dim c, i
    Set c = CreateObject("Rastelle.RasterCollection")
    For i = 1 To count
        c.Add
    Next
    Set NewLayers = c
End Function

Function KeysOf(c)
    Dim item, keys
    keys = ""
    For Each item In c
        keys = keys & item.Key & "@" & item.Index & " "
    Next
    KeysOf = keys
End Function

Sub TestForEach()
    Dim c, item, n
    Set c = NewLayers(3)
    c.Move 0, 2
    eq KeysOf(c), "RasterObject1@0 RasterObject2@1 RasterObject0@2 ", "For Each walks the positions in order"
    n = 0
    For Each item In CreateObject("Rastelle.RasterCollection")
        n = n + 1
    Next
    eq n, 0, "For Each over an empty collection"
End Sub

Sub TestItem()
    Dim c, item, k, i
    Set c = NewLayers(4)
    eq c.Count, 4, "Count"
    eq c.Item(2).Key, "RasterObject2", "Item by position"
    eq c("rasterobject3").Index, 3, "the default member by key, in any case"
    k = "RasterObject1"
    eq c(k).Index, 1, "a key in a variable"
    i = 2
    eq c(i).Key, "RasterObject2", "a position in a variable"
    eq c("1").Key, "RasterObject1", "a number in a string names a position"
    c(0).Key = "first"
    eq c("FIRST").Index, 0, "a key set by the client"

    On Error Resume Next
    Set item = c("abc")
    expect_err &HA0000039, SRC, NO_ITEM, "Item with an unknown key"
    Set item = c(Empty)
    expect_err &HA0000066, SRC, NO_ITEM, "Item(Empty)"
    c.Remove 9
    expect_err &HA0000038, "", COLLECTION_ERROR, "Remove of a missing position"
    c(1).Key = "first"
    expect_err &HA0000039, "", COLLECTION_ERROR, "Key taken by another item"
    c.Move 0, 4
    expect_err 5, "Microsoft VBScript runtime error", "Invalid procedure call or argument", _
        "Move to a missing position: E_INVALIDARG without an error object"
    On Error GoTo 0
    eq KeysOf(c), "first@0 RasterObject1@1 RasterObject2@2 RasterObject3@3 ", "failed calls change nothing"

    Set item = c(1)
    c.Remove "RasterObject1"
    eq item.Index, 0, "a removed item is detached"
    item.Key = "first"
    eq item.Key, "first", "a detached item takes any key"
End Sub

Sub TestCombine()
    Dim c, background, logo, result
    Set c = CreateObject("Rastelle.RasterCollection")
    Set background = c.Add
    background.EmptyImage 4, 3, &HFF000000
    background.HorizontalResolution = 120
    Set logo = c.Add
    logo.EmptyImage 2, 2, &HFFFFFFFF
    logo.OffsetX = 3
    logo.OffsetY = -1
    logo.Mode = cmORBlend

    Set result = c.Combine()
    eq result.Width & "x" & result.Height, "4x3", "the first item fixes the size"
    eq result.Pixels(3, 0), &HFFFEFEFE, "OR of white over black, one step short"
    eq result.Pixels(2, 0), &HFF000000, "left of the layer"
    eq result.Pixels(3, 1), &HFF000000, "below the layer"
    eq result.HorizontalResolution, 120, "the first item's resolution"
    eq result.OutputFileType, 0, "output as JPEG"

    logo.Mode = cmAlphaBlend
    logo.Opacity = 128
    eq c.Combine().Pixels(3, 0), &HFF808080, "alpha blend at opacity 128"
    logo.IsVisible = False
    eq c.Combine().Pixels(3, 0), &HFF000000, "an invisible layer is left out"

    background.IsVisible = False
    c.BackgroundColor = &H80FF0000
    eq c.Combine().Pixels(0, 0), &H80FF0000, "an invisible first item gives the background colour"

    On Error Resume Next
    Set result = CreateObject("Rastelle.RasterCollection").Combine()
    expect_err &H80020009, SRC, "Cannot combine: collection does not contain any items!", "Combine of nothing"
    logo.IsVisible = True
    logo.Mode = 7
    Set result = c.Combine()
    expect_err &H80004005, SRC, "Rastelle does not support such a mode!", "an unknown mode"
    On Error GoTo 0
End Sub

Sub TestItemAsRasterObject()
    Dim fso, path, c, item, back
    Set fso = CreateObject("Scripting.FileSystemObject")
    path = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-item.png")
    Set c = CreateObject("Rastelle.RasterCollection")
    Set item = c.Add
    item.EmptyImage 3, 2, &HFF336699
    item.OutputFileType = 2
    item.SaveFile path
    Set back = CreateObject("Rastelle.RasterObject")
    back.LoadFile path
    eq back.CurrentFileType, 2, "an item saves through its raster object"
    eq back.Pixels(2, 1), &HFF336699, "the saved pixels"

    Set item.RasterObject = back
    back.Pixels(0, 0) = 0
    eq item.Pixels(0, 0), 0, "the item works on the raster object it was given"
    On Error Resume Next
    item.Pixels(5, 5) = 1
    expect_err &H80004005, "Rastelle.RasterObject.1", "Cannot put pixel at this coordinates. It possible they are out of bounds!", _
        "errors come from the inner raster object"
    On Error GoTo 0
    Set back = Nothing
    fso.DeleteFile path
End Sub

Sub TestMultiframeFiles()
    Dim fso, gifPath, tifPath, c, back, kind
    Set fso = CreateObject("Scripting.FileSystemObject")
    gifPath = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-frames.gif")
    tifPath = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-pages.tif")
    Set c = CreateObject("Rastelle.RasterCollection")
    c.Add.EmptyImage 3, 2, &HFFFF0000
    c.Add.EmptyImage 3, 2, &HFF0000FF
    c.SaveMultiframeImage gifPath, 4
    expect_no_err "two frames saved as GIF"
    kind = 3
    c.SaveMultiframeImage tifPath, kind
    expect_no_err "two pages saved as TIFF, the type in a variable"

    Set back = CreateObject("Rastelle.RasterCollection")
    back.LoadMultiframeImage gifPath
    eq back.Count, 2, "every GIF frame is an item"
    eq back(1).Pixels(2, 1), &HFF0000FF, "the second frame's pixels"
    back.LoadMultiframeImage tifPath, False
    eq back.Count, 4, "TIFF pages appended"
    eq back(2).Pixels(0, 0), &HFFFF0000, "the first page's pixels"
    eq back(3).Key, "RasterObject3", "appended items take the next free key"

    On Error Resume Next
    c.SaveMultiframeImage gifPath, 0
    expect_err &H80070057, SRC, "Only TIFF and GIF multiframe file formats are supported!", "JPEG refused"
    c.SaveMultiframeImage gifPath, "GIF"
    expect_err &H80070057, SRC, "You should pass OutputFileTypes members or TIFFEncoderInfo object!", "a string refused"
    c(0).IsVisible = False
    c(1).IsVisible = False
    c.SaveMultiframeImage gifPath, 4, False
    expect_err &H80020009, SRC, "No data to save the multiframe image!", "nothing visible to save"
    On Error GoTo 0
    Set back = Nothing
    fso.DeleteFile gifPath
    fso.DeleteFile tifPath
End Sub

On Error Resume Next
TestForEach : group_done "For Each"
TestItem : group_done "Item"
TestCombine : group_done "Combine"
TestItemAsRasterObject : group_done "item as raster object"
TestMultiframeFiles : group_done "multi-frame files"
On Error GoTo 0
finish "vbscript"
