// Helpers shared by the JScript suites. The runner (scripts/wine-env.sh
// suite) joins this file and a suite into one script and sets suite_path to
// the suite's own path.
//
//   ok(cond, msg)                  passes when cond is truthy
//   eq(actual, expected, msg)      passes when actual === expected
//   expectError(fn, number, description, msg)
//                                  fn() must throw an error with that number
//                                  (signed 32-bit: E_FAIL is -2147467259) and
//                                  description; a description ending in "*"
//                                  is compared as a prefix
//   group(name, fn)                runs fn(); an exception escaping it counts
//                                  as a failure
//   fixture(name)                  full path of tests\scripts\fixtures\<name>
//   finish(word)                   prints "<word>: N passed, M failed" and
//                                  ends the script, exit code 1 on failure
//
// Wine's cscript ends silently with exit code 0 on an uncaught exception, so
// suites put their cases in groups.

var tl = { passed: 0, failed: 0 };

function tl_result(good, msg, detail) {
    if (good) {
        tl.passed++;
        return;
    }
    tl.failed++;
    WScript.Echo("not ok - " + msg);
    if (detail) WScript.Echo("    # " + detail);
}

function tl_show(v) {
    if (typeof v === "string") return '"' + v + '"';
    if (typeof v === "number" && v === Math.floor(v))
        return v + " (0x" + (v >>> 0).toString(16).toUpperCase() + ")";
    return String(v) + " (" + typeof v + ")";
}

function ok(cond, msg) {
    tl_result(!!cond, msg);
}

function eq(actual, expected, msg) {
    tl_result(actual === expected, msg, "got " + tl_show(actual) + ", expected " + tl_show(expected));
}

function expectError(fn, number, description, msg) {
    try {
        fn();
    } catch (e) {
        var text = String(e.description);
        var good = description.charAt(description.length - 1) === "*"
            ? text.substring(0, description.length - 1) === description.slice(0, -1)
            : text === description;
        tl_result(e.number === number && good, msg,
            "got error " + tl_show(e.number) + ": " + tl_show(text) +
            "; expected " + tl_show(number) + ": " + tl_show(description));
        return;
    }
    tl_result(false, msg, "no error; expected " + tl_show(number) + ": " + tl_show(description));
}

function group(name, fn) {
    try {
        fn();
    } catch (e) {
        tl_result(false, name + ": ended by an unexpected error",
            tl_show(e.number) + ": " + tl_show(String(e.description)));
    }
}

function fixture(name) {
    var fso = new ActiveXObject("Scripting.FileSystemObject");
    return fso.BuildPath(fso.BuildPath(fso.GetParentFolderName(suite_path), "fixtures"), name);
}

function finish(word) {
    WScript.Echo(word + ": " + tl.passed + " passed, " + tl.failed + " failed");
    WScript.Quit(tl.failed > 0 ? 1 : 0);
}
