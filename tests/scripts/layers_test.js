// RasterCollection from JScript: new Enumerator over the live list (it asks
// for _NewEnum as a method), and Item's errors as exceptions.

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

finish("jscript");
