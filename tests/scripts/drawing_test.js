// The drawing tool driven from JScript: errors as exceptions, text, and
// what a script array is to a points argument.
// Run by scripts/wine-env.sh, which puts lib\testlib.js in front of it.

var SRC_TEXTURE = "Scale factor must be strictly larger than 0!";

function whiteImage(w, h) {
    var img = new ActiveXObject("Rastelle.RasterObject");
    img.EmptyImage(w, h, -1);
    return img;
}

group("drawing", function () {
    var tool = new ActiveXObject("Rastelle.DrawingTool");
    tool.AntialiasingOn = false;
    var img = whiteImage(30, 30);
    tool.RasterObject = img;
    tool.SetEllipseViaRadius(15, 15, 10, 6, 0, true);
    eq(img.Pixels(15, 15), 0xFF000000 | 0, "a filled ellipse, drawn at once");
    eq(img.Pixels(15, 2), -1, "outside it");
    expectError(function () { tool.SetPolyline([[1, 2], [3, 4]]); }, 0x80070057 | 0, "Wrong points array!",
        "a JScript array is no SAFEARRAY");
    var brush = new ActiveXObject("Rastelle.TextureBrush");
    expectError(function () { brush.ScaleFactor = -1; }, 0x80070057 | 0, SRC_TEXTURE, "negative scale");
    var text = new ActiveXObject("Rastelle.TextInfo");
    text.FontSize = 12;
    tool.SetText("Hello", 2, 2, 0, text);
    var dark = 0;
    for (var x = 2; x < 30; x++) if (img.Pixels(x, 8) === (0xFF000000 | 0)) dark++;
    ok(dark > 0, "text is drawn in the default brush");
});

finish("jscript");
