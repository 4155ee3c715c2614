// Calls the Images component by name from JScript: names in mixed letter
// case, arguments that need conversion, failures caught as exceptions.
//
// JScript arrays are script objects, not safe arrays: a polygon goes over as
// the safe array that Scripting.Dictionary's Items() returns.
// Prints "SUITE-OK n" and quits with 0 when every check passed, else prints
// the failures and quits with 1.
// Argument: the folder for the files it writes (default C:\).
var kChecks = 89;
var E_FAIL = 0x80004005;
var E_INVALIDARG = 0x80070057;

var passed = 0, failed = 0;
var folder = WScript.Arguments.length > 0 ? WScript.Arguments(0) : "C:\\";

function record(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAIL " + what);
  }
}

function eq(actual, expected, what) {
  record(actual == expected, what + ": got [" + actual + "], expected [" + expected + "]");
}

// Runs a group of checks; an exception inside it is a failure of its own.
function step(what, body) {
  try {
    body();
  } catch (e) {
    record(false, what + ": exception " + hex(e.number) + " " + e.description);
  }
}

function hex(n) { return "0x" + (n >>> 0).toString(16); }

// The call must throw with this status and, for E_FAIL, this description.
// Wine's script engine leaves the source out of its exception object; where
// it is there it must read "Morphel".
function refused(what, expectedNumber, expectedDescription, call) {
  try {
    call();
    record(false, what + ": no exception");
  } catch (e) {
    eq(hex(e.number), hex(expectedNumber), what + ": status");
    if (expectedNumber == E_FAIL) {
      eq(e.description, expectedDescription, what + ": description");
      if (e.source !== undefined) eq(e.source, "Morphel", what + ": source");
    }
  }
}

function safeArray(values) {
  var d = new ActiveXObject("Scripting.Dictionary");
  for (var i = 0; i < values.length; i++) d.Add(i, values[i]);
  return d.Items();
}

var o = null;

step("object core", function () {
  o = new ActiveXObject("Morphel.Images");
  eq(o.GetImage(), 0, "initial slot");
  refused("GetHeight on an empty slot", E_FAIL, "NO IMAGE!", function () { o.GetHeight(); });
  o.CREATEIMAGE("200", 100);
  eq(o.getWidth(), 200, "width");
  eq(o.GetHeight(), 100, "height");
  eq(o.GetTrueColor(), 1, "true colour");
  o.setimage("2");
  eq(o.GetImage(), 2, "slot from a string");
  o.CreateImagePalette(30, 20.4);
  eq(o.GetHeight(), 20, "fraction rounded");
  eq(o.GetTrueColor(), 0, "palette image");
  eq(o.DestroyImage(), 1, "DestroyImage of a full slot");
  refused("DestroyImage of an empty slot", E_FAIL, "NO IMAGE!", function () { o.DestroyImage(); });
  refused("SetImage 12", E_INVALIDARG, "", function () { o.SetImage(12); });
  refused("CreateImage above the ceiling", E_INVALIDARG, "", function () { o.CreateImage(7000, 7000); });
  o.DestroyAll();
  o.SetImage(0);
  refused("slot 0 after DestroyAll", E_FAIL, "NO IMAGE!", function () { o.GetWidth(); });
});

step("colours, pixels and shapes", function () {
  o.CreateImage(120, 80);
  o.SetColor(255, "128", 0);
  eq(o.GetColorRed() + "," + o.GetColorGreen() + "," + o.GetColorBlue(), "255,128,0", "pen");
  o.SetPixel(5, 6);
  eq(o.GetPixelRed(5, 6) + "," + o.GetPixelGreen(5, 6) + "," + o.GetPixelBlue(5, 6), "255,128,0", "pixel");
  o.SetAlphaColor(0, 0, 255, 64);
  eq(o.GetColorAlpha(), 64, "pen alpha");
  o.SetPixel(7, 6);
  eq(o.GetPixelAlpha(7, 6), 64, "pixel alpha");
  o.SetColor(0, 255, 0);
  o.SetLineThickness(3);
  eq(o.GetLineThickness(), 3, "thickness");
  o.SetLineThickness(1);
  o.DrawLine(0, 40, 119, 40);
  eq(o.GetPixelGreen(60, 40), 255, "on the line");
  o.DrawRectangle(10, 10, 30, 30);
  o.SetColor(255, 255, 0);
  o.Fill(20, 20);
  eq(o.GetPixelRed(20, 20), 255, "rectangle filled");
  eq(o.GetPixelRed(10, 20), 0, "rectangle edge kept");
  o.SetColor(0, 0, 255);
  o.SetBorderColor();
  o.DrawEllipse(80, 20, 30, 20);
  o.SetColor(255, 0, 0);
  o.FillToBorder(80, 20);
  eq(o.GetPixelRed(80, 20), 255, "filled to the border");
  o.DrawFilledRectangle(40, 50, 50, 60);
  eq(o.GetPixelRed(45, 55), 255, "filled rectangle");
  o.DrawFilledEllipse(70, 65, 10, 10);
  eq(o.GetPixelRed(70, 65), 255, "filled ellipse");
  o.DrawArc(20, 60, 20, 20, 0, 90);
  eq(o.GetPixelRed(30, 60), 255, "arc start");
  o.DrawFilledArc(100, 60, 20, 20, 0, 90);
  eq(o.GetPixelRed(104, 64), 255, "inside the pie");
  o.SetTransparent(1);
  eq(o.GetTransparent(), 1, "transparent colour");
  o.SetAlphaBlending(0);
  o.SetImage(1);
  o.CreateImagePalette(16, 16);
  o.SetColor(10, 20, 30);
  o.SetColor(40, 50, 60);
  eq(o.GetColorTotal(), 2, "palette colours");
  o.SetColorByIndex(0);
  o.SetPixel(1, 1);
  eq(o.GetPixelGreen(1, 1), 20, "palette pixel through index 0");
  o.SetImage(0);
});

step("polygons", function () {
  o.CreateImage(60, 50);
  o.SetColor(255, 0, 0);
  o.DrawFilledPolygon(safeArray([10, 10, 50, 10, 30, 40]), 6);
  eq(o.GetPixelRed(30, 20), 255, "inside the triangle");
  eq(o.GetPixelRed(5, 30), 0, "outside the triangle");
  o.SetColor(0, 255, 0);
  o.drawPolygon(safeArray([5, 45, 55, 45, 30, 48]), "6");
  eq(o.GetPixelGreen(30, 45), 255, "polygon edge");
  refused("a script array is no safe array", E_INVALIDARG, "", function () {
    o.DrawPolygon([1, 2, 3, 4], 4);
  });
});

step("bitmap text", function () {
  o.CreateImage(100, 40);
  o.SetColor(255, 255, 255);
  o.SetFont(3);
  eq(o.GetFont(), 3, "font code");
  o.DrawText(2, 2, "Hello");
  var n = 0;
  for (var y = 2; y <= 9; y++) {
    for (var x = 2; x <= 26; x++) n += o.GetPixelRed(x, y) == 255 ? 1 : 0;
  }
  record(n > 10, "text pixels drawn: " + n);
  eq(o.GetPixelRed(50, 30), 0, "no text elsewhere");
  o.DrawTextAngle(80, 38, 90, "Up");
  eq(o.getfont(), 3, "font kept");
});

// DejaVu Sans is placed in the Windows Fonts folder by the test command.
step("TrueType text", function () {
  o.CreateImage(120, 40);
  o.SetColor(255, 255, 255);
  o.SetFontTTF("NoSuchFont");
  refused("DrawTextTTF with a font that is nowhere", E_FAIL, "font error", function () {
    o.DrawTextTTF(2, 30, "Hello");
  });
  o.SetFontPathTTFAuto();
  o.setFontTTF("DejaVuSans");
  o.SetFontSizeTTF(16);
  o.DrawTextTTF(2, 30, "Hello");
  var n = 0;
  for (var y = 10; y <= 31; y++) {
    for (var x = 2; x <= 60; x++) n += o.GetPixelRed(x, y) == 255 ? 1 : 0;
  }
  record(n > 20, "TrueType pixels drawn: " + n);
  var box = new VBArray(o.GetTextTTFRectangle(2, 30, "Hello"));
  eq(box.lbound(1) + " " + box.ubound(1), "0 3", "rectangle bounds");
  var r = box.toArray();
  record(r[0] < r[2] && r[1] < r[3], "rectangle order: " + r.join(" "));
  refused("SetFontSizeTTF -1", E_INVALIDARG, "", function () { o.SetFontSizeTTF(-1); });
  o.DrawTextAngleTTF(100, 38, 90, "Up");
  o.SetImage(8);
  o.CreateImagePalette(60, 30);
  o.SetColor(0, 0, 0);
  o.SetColor(255, 255, 255);
  o.SetTextAntialias(0);
  o.DrawTextTTF(2, 22, "Sharp");
  eq(o.GetColorTotal(), 2, "no blended colours without anti-aliasing");
  o.SetImage(0);
});

step("files", function () {
  o.CreateImage(40, 30);
  o.SetColor(255, 0, 0);
  o.DrawFilledRectangle(0, 0, 19, 29);
  o.SetJpegQuality(90);
  eq(o.GetJpegQuality(), 90, "JPEG quality");
  o.SetInterlace(1);
  eq(o.GetInterlace(), 1, "interlace");
  o.SetInterlace(0);
  o.SetSaveAlpha(1);
  var types = [0, 4];
  for (var i = 0; i < types.length; i++) {
    var path = folder + "suite-js-" + types[i] + ".img";
    o.SetImage(0);
    o.SetImageType(types[i]);
    eq(o.GetImageType(), types[i], "image type");
    o.WriteToFile(path);
    o.SetImage(5);
    o.ReadFromFile(path);
    eq(o.GetWidth() + "x" + o.GetHeight(), "40x30", "size read back, type " + types[i]);
    eq(o.GetPixelRed(5, 5) + "," + o.GetPixelRed(30, 5), "255,0", "pixels read back, type " + types[i]);
  }
  // Writing over a file replaces it whole; a PNG write that libpng gives up
  // on inside the library (a side over a million pixels) fails, and the old
  // file stays as it was.
  var again = folder + "suite-js-again.png";
  o.SetImage(0);
  o.SetImageType(0);
  o.WriteToFile(again);
  o.WriteToFile(again);
  o.SetImage(7);
  o.CreateImage(1000001, 1);
  refused("PNG file libpng gives up on", E_FAIL, "NO IMAGE!", function () { o.WriteToFile(again); });
  refused("PNG variable libpng gives up on", E_FAIL, "NO IMAGE!", function () { o.WriteToVariable(); });
  o.DestroyImage();
  o.ReadFromFile(again);
  eq(o.GetWidth() + "x" + o.GetHeight(), "40x30", "old file kept after the refused write");
  refused("ReadFromFile of a missing file", E_FAIL, "NO FILE!", function () {
    o.ReadFromFile(folder + "no-such-folder\\none.png");
  });
  refused("slot empty after a failed read", E_FAIL, "NO IMAGE!", function () { o.GetWidth(); });
});

step("memory variables", function () {
  o.SetImage(0);
  o.SetImageType(0);
  var s = o.WriteToVariable();
  eq(typeof s, "string", "WriteToVariable gives a string");
  var bytes = new VBArray(o.WriteToVariableVariant()).toArray();
  eq(bytes.slice(0, 8).join(" "), "137 80 78 71 13 10 26 10", "PNG signature");
  eq(s.length, Math.floor(bytes.length / 2), "whole characters of the byte string");
  var same = true;
  for (var i = 0; i < s.length; i++) {
    var c = s.charCodeAt(i);
    if ((c & 0xff) != bytes[2 * i] || (c >> 8) != bytes[2 * i + 1]) same = false;
  }
  record(same, "the string holds the same bytes as the array");
  // A script string keeps whole characters only, so an odd trailing byte is
  // lost on the way back: the round trip goes through BMP, whose length is even.
  o.SetImageType(4);
  s = o.WriteToVariable();
  eq(s.length * 2, new VBArray(o.WriteToVariableVariant()).ubound(1) + 1, "BMP bytes even");
  o.SetImage(6);
  o.ReadFromVariable(s);
  eq(o.GetWidth(), 40, "width from the variable");
  eq(o.GetPixelRed(5, 5), 255, "pixel from the variable");
  refused("ReadFromVariable of an empty string", E_FAIL, "NO IMAGE!", function () {
    o.ReadFromVariable("");
  });
});

// An object of its own, so that the slots of the steps above do not matter.
step("colour reduction", function () {
  var c = new ActiveXObject("Morphel.Images");
  refused("ConvertToPalette on an empty slot", E_FAIL, "NO IMAGE!", function () {
    c.ConvertToPalette();
  });
  refused("ConvertToMonochrome -1", E_INVALIDARG, "", function () { c.ConvertToMonochrome(-1); });
  c.CreateImage(40, 20);
  c.SetColor(200, 30, 30);
  c.DrawFilledRectangle(0, 0, 19, 19);
  c.SetAlphaColor(0, 0, 255, 127);
  c.DrawFilledRectangle(20, 0, 39, 19);
  c.convertToPalette();
  eq(c.GetPixelRed(5, 5) + " " + c.GetPixelBlue(30, 5), "204 252", "entries at the cell centres");
  c.CreateImage(40, 20);
  c.SetColor(200, 30, 30);
  c.DrawFilledRectangle(0, 0, 39, 19);
  c.ConvertToPaletteNoAlpha();
  eq(c.GetPixelBlue(5, 5), 28, "colour-only entry");
  c.ConvertToGrayScale();
  eq(c.GetPixelGreen(5, 5), 81, "grey of the entry");
  c.ConvertToMonochrome("80");
  eq(c.GetPixelRed(5, 5), 0, "grey 81 (brightness 80.99...) at threshold 80 turns black");
  c.SetColor(255, 255, 255);
  c.DrawFilledRectangle(20, 0, 39, 19);
  c.ConvertToMonochromeAuto();
  eq(c.GetPixelRed(5, 5) + " " + c.GetPixelRed(30, 5), "0 255", "halves kept at the mean");
  c = null;
});

step("copies between slots and rotation", function () {
  o.SetImage(8);
  o.CreateImage(40, 30);
  o.SetColor(255, 0, 0);
  o.DrawFilledRectangle(0, 0, 39, 29);
  o.SetImage(9);
  o.CreateImage(40, 30);
  o.CopyImage(9, 8, 0, 0, 0, 0, 10, 10);
  o.copyImageResize(9, 8, 20, 0, 0, 0, 10, 10, 40, 30);
  o.CopyImageMerge(9, 8, 0, 20, 0, 0, 10, 10, "50");
  o.CopyImageSimpleRotate(9, 8, 30, 20, 0, 0, 6, 6, 45);
  eq([o.GetPixelRed(5, 5), o.GetPixelRed(25, 5), o.GetPixelRed(5, 25), o.GetPixelRed(30, 20),
      o.GetPixelRed(15, 15)].join(" "), "255 255 127 255 0", "copied pixels");
  refused("CopyImageMerge at -1 per cent", E_FAIL, "NO IMAGE!", function () {
    o.CopyImageMerge(9, 8, 0, 0, 0, 0, 5, 5, -1);
  });
  o.SetColor(0, 0, 255);
  o.CopyImageRotate(9, 8, -90);
  eq(o.GetImage(), 8, "current slot after CopyImageRotate");
  o.SetImage(9);
  eq(o.GetWidth() + "x" + o.GetHeight(), "28x38", "size turned a quarter");
  refused("CopyImageRotate into slot -1", E_FAIL, "NO IMAGE!", function () {
    o.CopyImageRotate(-1, 8, 30);
  });
  eq(o.GetImage(), 9, "current slot after a refused rotation");
});

o = null;
if (passed + failed != kChecks) {
  WScript.Echo("FAIL " + (passed + failed) + " checks ran, " + kChecks + " expected");
  failed++;
}
if (failed == 0) {
  WScript.Echo("SUITE-OK " + passed);
  WScript.Quit(0);
}
WScript.Echo("SUITE-FAILED " + failed + " of " + (passed + failed));
WScript.Quit(1);
