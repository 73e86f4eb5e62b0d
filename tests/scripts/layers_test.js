// RasterCollection driven from JScript: new Enumerator over the layers,
// errors as exceptions, Combine.
// Run by scripts/wine-env.sh, which puts lib\testlib.js in front of it.

var NO_ITEM = "Cannot get access to the item. Probably the index is out of bounds";
var NO_KEY = 0xA0000039 | 0;
var NO_POSITION = 0xA0000038 | 0;

function keysOf(e) {
    var keys = [];
    for (e.moveFirst(); !e.atEnd(); e.moveNext()) keys.push(e.item().Key + "@" + e.item().Index);
    return keys.join(" ");
}

group("Enumerator", function () {
    var c = new ActiveXObject("Rastelle.RasterCollection");
    var e = new Enumerator(c);
    c.Add();
    c.Add();
    c.Add(0);
    eq(keysOf(e), "RasterObject2@0 RasterObject0@1 RasterObject1@2",
        "an enumerator made before the items sees them");
    c.Remove(1);
    eq(keysOf(e), "RasterObject2@0 RasterObject1@1", "and sees removals");
    eq(keysOf(new Enumerator(new ActiveXObject("Rastelle.RasterCollection"))), "", "empty collection");
});

group("Item", function () {
    var c = new ActiveXObject("Rastelle.RasterCollection");
    for (var i = 0; i < 3; i++) c.Add();
    eq(c.Item("RASTEROBJECT2").Index, 2, "Item by key");
    eq(c.Item(1).Key, "RasterObject1", "Item by position");
    expectError(function () { return c.Item("none"); }, NO_KEY, NO_ITEM, "unknown key");
    expectError(function () { return c.Item(3); }, NO_POSITION, NO_ITEM, "position past the end");
    c.Move(2, 0);
    eq(c.Item(0).Key + c.Item(1).Key, "RasterObject2RasterObject0", "Move takes the item out and reinserts it");
});

group("Combine", function () {
    var c = new ActiveXObject("Rastelle.RasterCollection");
    var background = c.Add();
    background.EmptyImage(3, 3, 0xFFFFFFFF | 0);
    var layer = c.Add();
    layer.EmptyImage(2, 2, 0xFF000000 | 0);
    layer.Mode = 2;  // cmANDBlend
    layer.OffsetX = -1;
    layer.OffsetY = 2;
    var result = c.Combine();
    eq(result.Pixels(0, 2), 0xFF010101 | 0, "AND of black over white, one step short");
    eq(result.Pixels(1, 2), -1, "right of the layer");
    eq(result.Pixels(0, 1), -1, "above the layer");
    ok(result.Pixels(0, 2) !== background.Pixels(0, 2), "the items are not changed");
});

finish("jscript");
