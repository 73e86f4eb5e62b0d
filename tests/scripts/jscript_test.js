// RasterObject driven from JScript: errors as exceptions and signed ARGB
// values (the VBScript suite covers the rest).
// Run by scripts/wine-env.sh, which puts lib\testlib.js in front of it.

group("errors", function () {
    var r = new ActiveXObject("Rastelle.RasterObject.1");
    expectError(function () { return r.Width; }, -2147467259 /* 0x80004005 */,
        "Cannot get image width, because there is no any data. Create new image or load it first.",
        "Width of a new object");
});

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

finish("jscript");
