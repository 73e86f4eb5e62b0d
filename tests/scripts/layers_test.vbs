' RasterCollection driven from VBScript: For Each over the layers, the
' default member by key and by position, Combine, items used as raster
' objects, and multi-frame files. Run by scripts/wine-env.sh, which puts
' lib\testlib.vbs in front.

Const SRC = "Rastelle.RasterCollection.1"
Const NO_ITEM = "Cannot get access to the item. Probably the index is out of bounds"
Const COLLECTION_ERROR = "Error in the collection occured (it is possible wrong index)"
Const cmORBlend = 3

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

' Combine and the multi-frame methods as a script reaches them (the C++
' suites check their pixels, files and errors): late-bound results, an item
' used as a raster object, optional arguments left out.
Sub TestCombineAndItems()
    Dim fso, path, c, background, logo, back
    Set c = CreateObject("Rastelle.RasterCollection")
    Set background = c.Add
    background.EmptyImage 4, 3, &HFF000000
    Set logo = c.Add
    logo.EmptyImage 2, 2, &HFFFFFFFF
    logo.OffsetX = 3
    logo.OffsetY = -1
    logo.Mode = cmORBlend
    eq c.Combine().Pixels(3, 0), &HFFFEFEFE, "Combine's result is a raster object to a script"
    On Error Resume Next
    logo.Mode = 7
    c.Combine
    expect_err &H80004005, SRC, "Rastelle does not support such a mode!", "an unknown mode"
    On Error GoTo 0

    Set fso = CreateObject("Scripting.FileSystemObject")
    path = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-item.png")
    logo.OutputFileType = 2
    logo.SaveFile path
    Set back = CreateObject("Rastelle.RasterObject")
    back.LoadFile path
    eq back.CurrentFileType & " " & back.Pixels(1, 1), "2 " & &HFFFFFFFF, "an item saves through its raster object"
    Set logo.RasterObject = back
    back.Pixels(0, 0) = 0
    eq logo.Pixels(0, 0), 0, "the item works on the raster object it was given"
    On Error Resume Next
    logo.Pixels(5, 5) = 1
    expect_err &H80004005, "Rastelle.RasterObject.1", "Cannot put pixel at this coordinates. It possible they are out of bounds!", _
        "errors come from the inner raster object"
    On Error GoTo 0
    Set back = Nothing
    fso.DeleteFile path

    path = fso.BuildPath(fso.GetSpecialFolder(2), "rastelle-layers-frames.gif")
    background.EmptyImage 2, 2, &HFFFF0000
    logo.EmptyImage 2, 2, -1
    c.SaveMultiframeImage path, 4
    expect_no_err "two frames saved as GIF, IgnoreVisible left out"
    Set back = NewLayers(1)
    back.LoadMultiframeImage path
    eq back.Count & " " & back(1).Pixels(1, 1), "2 " & &HFFFFFFFF, "ClearBeforeLoad left out empties first"
    Set back = Nothing
    fso.DeleteFile path
End Sub

On Error Resume Next
TestForEach : group_done "For Each"
TestItem : group_done "Item"
TestCombineAndItems : group_done "Combine and items"
On Error GoTo 0
finish "vbscript"
