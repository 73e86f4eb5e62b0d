// The drawing tool from JScript: the target assigned without Set, and a
// JScript array, which is no SAFEARRAY.

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
