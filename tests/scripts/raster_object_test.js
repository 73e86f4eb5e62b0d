// RasterObject driven from JScript: late binding, omitted optional
// arguments, errors as exceptions, signed ARGB values.
// Run by scripts/wine-env.sh, which puts lib\testlib.js in front of it.

var E_FAIL = -2147467259;        // 0x80004005 as JScript reports it
var E_INVALIDARG = -2147024809;  // 0x80070057
var NO_WIDTH = "Cannot get image width, because there is no any data. Create new image or load it first.";

// pixels_4x3.png row by row, as the signed 32-bit values a client receives.
var PNG_PIXELS = [0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                  0xFF000000, 0x80FF8000, 0x00000000, 0xFF808080,
                  0xFF123456, 0xFFABCDEF, 0xFF00FFFF, 0xFFFF00FF];
for (var i = 0; i < PNG_PIXELS.length; i++) PNG_PIXELS[i] |= 0;

// A parameterised property must be read as a value: called as a bare
// statement, JScript asks for a method and gets DISP_E_MEMBERNOTFOUND.
function pixelsAre(r, width, expected, msg) {
    for (var i = 0; i < expected.length; i++) {
        var p = r.Pixels(i % width, Math.floor(i / width));
        if (p !== expected[i]) {
            eq(p, expected[i], msg + ": pixel (" + (i % width) + ", " + Math.floor(i / width) + ")");
            return;
        }
    }
    ok(true, msg);
}

group("creation", function () {
    var a = new ActiveXObject("Rastelle.RasterObject");
    var b = new ActiveXObject("Rastelle.RasterObject.1");
    a.EmptyImage(2, 1);
    b.EmptyImage(5, 4);
    eq(a.Width + "x" + a.Height, "2x1", "objects made by either ProgID are separate");
    eq(b.Width + "x" + b.Height, "5x4", "versioned ProgID gives a working object");
    eq(a.OutputFileType, 0, "new object: OutputFileType");
});

group("errors", function () {
    var r = new ActiveXObject("Rastelle.RasterObject");
    expectError(function () { return r.Width; }, E_FAIL, NO_WIDTH, "Width of a new object");
    expectError(function () { r.OutputFileType = 7; }, E_INVALIDARG,
        "This output file type is unsupported!", "OutputFileType = 7");
});

group("EmptyImage", function () {
    var r = new ActiveXObject("Rastelle.RasterObject");
    r.EmptyImage(3, 2);
    pixelsAre(r, 3, [-1, -1, -1, -1, -1, -1], "EmptyImage without Color fills opaque white");
    eq(r.HorizontalResolution, 72, "EmptyImage: HorizontalResolution");
    // 0x80102030 is a positive number in JScript, too large for a 32-bit
    // argument (DISP_E_OVERFLOW): colours with alpha >= 0x80 go in signed.
    r.EmptyImage(2, 1, 0x80102030 | 0);
    pixelsAre(r, 2, [0x80102030 | 0, 0x80102030 | 0], "EmptyImage with a colour, read back signed");
});

group("LoadFile and Clone", function () {
    var r = new ActiveXObject("Rastelle.RasterObject");
    r.LoadFile(fixture("pixels_4x3.png"));
    eq(r.CurrentFileType, 2, "PNG: CurrentFileType");
    var c = r.Clone();
    pixelsAre(c, 4, PNG_PIXELS, "Clone: pixels, alpha kept");
});

finish("jscript");
