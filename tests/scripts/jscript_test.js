// The objects driven from JScript (the VBScript suites cover the rest):
// signed ARGB values, a collection's live list through new Enumerator, a
// drawing target assigned without Set, and errors as exceptions.

group("signed values", function () {
    var r = new ActiveXObject("Rastelle.RasterObject");
    // 0x80102030 is a positive number in JScript, too large for a 32-bit
    // argument (DISP_E_OVERFLOW): colours with alpha >= 0x80 go in signed.
    r.EmptyImage(2, 1, 0x80102030 | 0);
    eq(r.Pixels(1, 0), 0x80102030 | 0, "EmptyImage with a colour, read back signed");
    r.LoadFile(fixture("pixels_4x3.png"));
    // A parameterised property must be read as a value: called as a bare
    // statement, JScript asks for a method and gets DISP_E_MEMBERNOTFOUND.
    eq(r.Clone().Pixels(1, 1), 0x80FF8000 | 0, "Clone of the PNG: half-transparent pixel, signed");
});

// new Enumerator asks for _NewEnum as a method.
function keysOf(e) {
    var keys = [];
    for (e.moveFirst(); !e.atEnd(); e.moveNext()) keys.push(e.item().Key + "@" + e.item().Index);
    return keys.join(" ");
}

group("Enumerator and Item", function () {
    var c = new ActiveXObject("Rastelle.RasterCollection");
    var e = new Enumerator(c);
    c.Add();
    c.Add();
    c.Add(0);
    eq(keysOf(e), "RasterObject2@0 RasterObject0@1 RasterObject1@2", "an enumerator made before the items sees them");
    c.Remove(1);
    eq(keysOf(e), "RasterObject2@0 RasterObject1@1", "and sees removals");
    eq(c.Item("RASTEROBJECT1").Index, 1, "Item by key");
    expectError(function () { return c.Item(2); }, 0xA0000038 | 0,
        "Cannot get access to the item. Probably the index is out of bounds", "position past the end");
});

// A JScript array is no SAFEARRAY.
group("drawing", function () {
    var tool = new ActiveXObject("Rastelle.DrawingTool");
    tool.AntialiasingOn = false;
    var img = new ActiveXObject("Rastelle.RasterObject");
    img.EmptyImage(30, 30, -1);
    tool.RasterObject = img;
    tool.SetEllipseViaRadius(15, 15, 10, 6, 0, true);
    eq(img.Pixels(15, 15) + " " + img.Pixels(15, 2), (0xFF000000 | 0) + " -1", "a filled ellipse, drawn at once");
    expectError(function () { tool.SetPolyline([[1, 2], [3, 4]]); }, 0x80070057 | 0, "Wrong points array!",
        "a JScript array");
});

finish("jscript");
