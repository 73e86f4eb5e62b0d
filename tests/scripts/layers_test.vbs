' RasterCollection from VBScript: For Each, the default member by key and by
' position, errors as Err shows them, Combine's result and items used as
' raster objects, and the multi-frame methods with optional arguments left out.

Const SRC = "Rastelle.RasterCollection.1"
Const COLLECTION_ERROR = "Error in the collection occured (it is possible wrong index)"

Function NewLayers(count)
    Dim i
    Set NewLayers = CreateObject("Rastelle.RasterCollection")
    For i = 1 To count
        NewLayers.Add
    Next
End Function

Sub TestForEachAndItem()
    Dim c, item, keys, k, i
    Set c = NewLayers(4)
    c.Move 0, 2
    For Each item In c
        keys = keys & item.Key & "@" & item.Index & " "
    Next
    eq keys, "RasterObject1@0 RasterObject2@1 RasterObject0@2 RasterObject3@3 ", "For Each walks the positions in order"
    For Each item In CreateObject("Rastelle.RasterCollection")
        eq item, Empty, "For Each over an empty collection runs no loop"
    Next
    k = "RASTEROBJECT3" : i = 2
    eq c(k).Index & " " & c(i).Key & " " & c.Item(0).Key, "3 RasterObject0 RasterObject1", _
        "the default member by key in any case, and by position, from variables"
    On Error Resume Next
    Set item = c("abc")
    expect_err &HA0000039, SRC, "Cannot get access to the item. Probably the index is out of bounds", "an unknown key"
    c.Remove 9
    expect_err &HA0000038, "", COLLECTION_ERROR, "Remove of a missing position: no source"
End Sub

Sub TestCombineItemsAndFrames()
    Dim fso, path, c, background, logo, back
    Set c = CreateObject("Rastelle.RasterCollection")
    Set background = c.Add
    background.EmptyImage 4, 3, &HFF000000
    Set logo = c.Add
    logo.EmptyImage 2, 2, -1
    logo.OffsetX = 3
    eq c.Combine().Pixels(3, 0), -1, "Combine's result is a raster object to a script"
    Set back = CreateObject("Rastelle.RasterObject")
    back.EmptyImage 2, 2, 0
    Set logo.RasterObject = back
    eq logo.Pixels(0, 0), 0, "an item works on the raster object it is given"

    Set fso = CreateObject("Scripting.FileSystemObject")
    path = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-frames.gif")
    background.EmptyImage 2, 2, &HFFFF0000
    c.SaveMultiframeImage path, 4
    expect_no_err "two frames saved as GIF, IgnoreVisible left out"
    Set back = NewLayers(1)
    back.LoadMultiframeImage path
    eq back.Count & " " & Hex(back(0).Pixels(1, 1)), "2 FFFF0000", "ClearBeforeLoad left out empties first"
    Set back = Nothing
    fso.DeleteFile path
End Sub

On Error Resume Next
TestForEachAndItem : group_done "For Each and Item"
TestCombineItemsAndFrames : group_done "Combine, items and frames"
On Error GoTo 0
finish "vbscript"
