// Helpers of the JScript suites. scripts/wine-env.sh joins this file and a
// suite into one script and sets suite_path. Wine's cscript ends with code 0
// on an uncaught exception, so cases run in group(); finish exits 1 on any
// failure. expectError takes a signed number (E_FAIL is -2147467259); a
// description ending in "*" is a prefix.

var tl = { passed: 0, failed: 0 };

function tl_result(good, msg, detail) {
    if (good) return tl.passed++;
    tl.failed++;
    WScript.Echo("not ok - " + msg + "\n    # " + detail);
}

function eq(actual, expected, msg) {
    tl_result(actual === expected, msg, "got " + actual + " (" + typeof actual + "), expected " + expected);
}

function expectError(fn, number, description, msg) {
    try {
        fn();
    } catch (e) {
        var text = String(e.description), prefix = description.slice(-1) === "*";
        tl_result(e.number === number && (prefix ? text.indexOf(description.slice(0, -1)) === 0 : text === description),
            msg, "got " + e.number + ": " + text + "; expected " + number + ": " + description);
        return;
    }
    tl_result(false, msg, "no error; expected " + number + ": " + description);
}

function group(name, fn) {
    try {
        fn();
    } catch (e) {
        tl_result(false, name + ": ended by an unexpected error", e.number + ": " + e.description);
    }
}

function fixture(name) {
    return suite_path.substring(0, suite_path.lastIndexOf("\\") + 1) + "fixtures\\" + name;
}

function finish(word) {
    WScript.Echo(word + ": " + tl.passed + " passed, " + tl.failed + " failed");
    WScript.Quit(tl.failed > 0 ? 1 : 0);
}
