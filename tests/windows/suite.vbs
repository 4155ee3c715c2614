' Calls the Images component by name from VBScript, the way a script host
' does: names in mixed letter case, arguments that need conversion, failures
' read back from the Err object.
'
' Every statement runs under On Error Resume Next, so a call that fails where
' it should not is caught by the next NoError check; a check whose argument
' cannot be evaluated is skipped, which the closing count reveals.
' Prints "SUITE-OK n" and quits with 0 when every check passed, else prints
' the failures and quits with 1.
' Argument: the folder for the files it writes (default C:\).
Option Explicit
On Error Resume Next

Const kChecks = 196
Const E_FAIL = -2147467259
Const kInvalidArgument = 5  ' E_INVALIDARG as the script engine reports it

Dim passed, failed, folder
passed = 0
failed = 0
folder = "C:\"
If WScript.Arguments.Count > 0 Then folder = WScript.Arguments(0)

Sub Record(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & what
  End If
End Sub

' Compares a value; its type must compare as a number or a string.
Sub Eq(actual, expected, what)
  Record actual = expected, what & ": got [" & actual & "], expected [" & expected & "]"
End Sub

' The error state right after a call that must succeed.
Sub NoError(number, what)
  Record number = 0, what & ": error " & number & " " & Err.Description
  Err.Clear
End Sub

' The error state right after a call that must fail.
Sub Refused(number, source, description, expectedNumber, expectedDescription, what)
  Record number = expectedNumber, what & ": error number " & number
  If expectedNumber = E_FAIL Then
    Record source = "Morphel", what & ": source [" & source & "]"
    Record description = expectedDescription, what & ": description [" & description & "]"
  End If
  Err.Clear
End Sub

Dim o, w, h, v, s, i, n, t, path

' ---- object core --------------------------------------------------------------
Set o = CreateObject("Morphel.Images")
NoError Err.Number, "CreateObject Morphel.Images"
Eq TypeName(o), "IImages", "TypeName of the object"
Eq o.GetImage, 0, "initial slot"
Eq o.getimagetype, 0, "initial image type"
Eq o.GETJPEGQUALITY, -1, "initial JPEG quality"
Eq o.GetLineThickness, 1, "initial thickness"
Eq o.GetFont, 0, "initial font"

h = o.GetHeight
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "GetHeight on an empty slot"
o.createimage "200", 100
NoError Err.Number, "createimage with a string width"
Eq o.GetWidth, 200, "width"
Eq o.getHEIGHT, 100, "height"
Eq o.GetTrueColor, 1, "true colour"

o.SetImage "3"
NoError Err.Number, "SetImage with a string"
Eq o.GetImage, 3, "slot after SetImage"
o.SetImage 2.5
Eq o.GetImage, 2, "2.5 rounds to the even 2"
o.SetImage 3.5
Eq o.GetImage, 4, "3.5 rounds to the even 4"
o.SetImage 3
o.CreateImagePalette 30, 20.4
NoError Err.Number, "CreateImagePalette with a fraction"
Eq o.GetHeight, 20, "fraction rounded"
Eq o.GetTrueColor, 0, "palette image"
Eq o.DestroyImage, 1, "DestroyImage of a full slot"
n = o.DestroyImage
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "DestroyImage of an empty slot"
o.SetImage 12
Refused Err.Number, Err.Source, Err.Description, kInvalidArgument, "", "SetImage 12"
Eq o.GetImage, 3, "slot unchanged after SetImage 12"
o.CreateImage 7000, 7000
Refused Err.Number, Err.Source, Err.Description, kInvalidArgument, "", "CreateImage above the pixel ceiling"
o.SetColor "red", 0, 0
Refused Err.Number, Err.Source, Err.Description, 13, "", "a word for a number"
o.NoSuchOperation 1
Record Err.Number = 438, "unknown name: error " & Err.Number
Err.Clear
o.DestroyAll
NoError Err.Number, "DestroyAll"
o.SetImage 0
w = o.GetWidth
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "slot 0 after DestroyAll"

' ---- colours and pixels -------------------------------------------------------
o.CreateImage 120, 80
o.SetColor 255, 128, 0
NoError Err.Number, "SetColor"
Eq o.GetColorRed, 255, "pen red"
Eq o.GetColorGreen, 128, "pen green"
Eq o.GetColorBlue, 0, "pen blue"
o.SetPixel 5, 6
NoError Err.Number, "SetPixel"
Eq o.GetPixelRed(5, 6), 255, "pixel red"
Eq o.GetPixelGreen(5, 6), 128, "pixel green"
Eq o.GetPixelBlue(5, 6), 0, "pixel blue"
Eq o.GetPixelAlpha(5, 6), 0, "pixel alpha"
Eq o.GetPixelRed(6, 6), 0, "neighbour untouched"
o.SetAlphaColor 0, 0, 255, 64
NoError Err.Number, "SetAlphaColor"
Eq o.GetColorAlpha, 64, "pen alpha"
o.SetPixel 7, 6
Eq o.GetPixelAlpha(7, 6), 64, "pixel alpha after SetAlphaColor"
Eq o.GetPixelBlue(7, 6), 255, "pixel blue after SetAlphaColor"
o.SetAlphaBlending 0
NoError Err.Number, "SetAlphaBlending"
o.SetTransparent 3
Eq o.GetTransparent, 1, "a transparent colour is set"

o.SetImage 1
o.CreateImagePalette 16, 16
o.SetColor 10, 20, 30
o.SetColor 40, 50, 60
Eq o.GetColorTotal, 2, "palette colours"
o.SetColorByIndex 0
NoError Err.Number, "SetColorByIndex"
o.SetPixel 1, 1
Eq o.GetPixelGreen(1, 1), 20, "palette pixel through index 0"
o.SetImage 0

' ---- lines, shapes, fills -----------------------------------------------------
o.SetColor 0, 255, 0
o.SetLineThickness "3"
Eq o.GetLineThickness, 3, "thickness"
o.SetLineThickness 1
o.DrawLine 0, 40, 119, 40
NoError Err.Number, "DrawLine"
Eq o.GetPixelGreen(60, 40), 255, "on the line"
Eq o.GetPixelGreen(60, 41), 0, "beside the line"
o.DrawRectangle 10, 10, 30, 30
NoError Err.Number, "DrawRectangle"
Eq o.GetPixelGreen(10, 20), 255, "rectangle edge"
Eq o.GetPixelGreen(20, 20), 0, "rectangle inside"
o.SetColor 0, 0, 255
o.SetBorderColor
NoError Err.Number, "SetBorderColor"
o.DrawEllipse 80, 20, 30, 20
NoError Err.Number, "DrawEllipse"
o.SetColor 255, 255, 0
o.FillToBorder 80, 20
NoError Err.Number, "FillToBorder"
Eq o.GetPixelBlue(80, 20), 0, "inside the ellipse filled"
Eq o.GetPixelRed(80, 20), 255, "inside the ellipse yellow"
Eq o.GetPixelBlue(95, 20), 255, "the ellipse border kept"
o.Fill 20, 20
NoError Err.Number, "Fill"
Eq o.GetPixelRed(20, 20), 255, "rectangle filled"
o.SetColor 255, 0, 255
o.DrawFilledRectangle 40, 50, 50, 60
Eq o.GetPixelBlue(45, 55), 255, "filled rectangle"
o.DrawFilledEllipse 70, 65, 10, 10
Eq o.GetPixelRed(70, 65), 255, "filled ellipse"
o.DrawArc 20, 60, 20, 20, 0, 90
NoError Err.Number, "DrawArc"
Eq o.GetPixelRed(30, 60), 255, "arc start"
o.DrawFilledArc 100, 60, 20, 20, 0, 90
NoError Err.Number, "DrawFilledArc"
Eq o.GetPixelRed(104, 64), 255, "inside the pie"
Eq o.GetPixelRed(96, 56), 0, "outside the pie"

' ---- polygons from script arrays ------------------------------------------------
o.CreateImage 60, 50
o.SetColor 255, 0, 0
v = Array(10, 10, 50, 10, 30, 40)
o.DrawFilledPolygon v, 6
NoError Err.Number, "DrawFilledPolygon from a variable"
Eq o.GetPixelRed(30, 20), 255, "inside the triangle"
Eq o.GetPixelRed(5, 30), 0, "outside the triangle"
o.SetColor 0, 255, 0
o.drawpolygon Array(5, 45, 55, 45, 30, 48), "6"
NoError Err.Number, "drawpolygon from a literal array, count as a string"
Eq o.GetPixelGreen(30, 45), 255, "polygon edge"
o.DrawPolygon Array(1, 1, 58, 1), 3
NoError Err.Number, "odd count"
Eq o.GetPixelGreen(30, 1), 0, "odd count draws one vertex only"
o.DrawPolygon 17, 2
Refused Err.Number, Err.Source, Err.Description, kInvalidArgument, "", "polygon from a number"

' ---- bitmap text --------------------------------------------------------------
o.CreateImage 100, 40
o.SetColor 255, 255, 255
o.SetFont 3
Eq o.GetFont, 3, "font code"
o.DrawText 2, 2, "Hello"
NoError Err.Number, "DrawText"
n = 0
For h = 2 To 9
  For w = 2 To 26
    n = n + o.GetPixelRed(w, h) \ 255
  Next
Next
Record n > 10, "text pixels drawn: " & n
Eq o.GetPixelRed(50, 30), 0, "no text elsewhere"
o.SetFont 7
Eq o.GetFont, 7, "font code outside the table kept"
o.DrawTextAngle 80, 38, 90, "Up"
NoError Err.Number, "DrawTextAngle"

' ---- TrueType text ------------------------------------------------------------
' DejaVu Sans is placed in the Windows Fonts folder by the test command.
o.CreateImage 120, 40
o.SetColor 255, 255, 255
o.SetFontTTF "NoSuchFont"
o.DrawTextTTF 2, 30, "Hello"
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "font error", "DrawTextTTF with a font that is nowhere"
o.SetFontPathTTFAuto
NoError Err.Number, "SetFontPathTTFAuto"
o.SetFontTTF "nosuch DejaVuSans"
o.SetFontSizeTTF 16
NoError Err.Number, "SetFontTTF and SetFontSizeTTF"
o.DrawTextTTF 2, 30, "Hello"
NoError Err.Number, "DrawTextTTF through the Fonts folder"
n = 0
For h = 10 To 31
  For w = 2 To 60
    n = n + o.GetPixelRed(w, h) \ 255
  Next
Next
Record n > 20, "TrueType pixels drawn: " & n
v = o.GetTextTTFRectangle(2, 30, "Hello")
NoError Err.Number, "GetTextTTFRectangle"
Eq LBound(v) & " " & UBound(v) & " " & TypeName(v(0)), "0 3 Long", "rectangle bounds and element type"
Record v(0) < v(2) And v(1) < v(3) And v(1) < 30, "rectangle order: " & v(0) & " " & v(1) & " " & v(2) & " " & v(3)
s = o.GetTextTTFRectangle("12", 30, "Hello")
n = s(0) - v(0) & " " & s(2) - v(2) & " " & s(3) - v(3)
Eq n, "10 10 0", "rectangle moves with x"
o.SetFontSizeTTF 501
Refused Err.Number, Err.Source, Err.Description, kInvalidArgument, "", "SetFontSizeTTF 501"
o.DrawTextAngleTTF 100, 38, 90, "Up"
NoError Err.Number, "DrawTextAngleTTF"
o.SetImage 8
o.CreateImagePalette 60, 30
o.SetColor 0, 0, 0
o.SetColor 255, 255, 255
o.SetTextAntialias 0
o.DrawTextTTF 2, 22, "Sharp"
NoError Err.Number, "DrawTextTTF without anti-aliasing"
Eq o.GetColorTotal, 2, "no blended colours without anti-aliasing"
o.SetImage 0

' ---- formats and files --------------------------------------------------------
o.CreateImage 40, 30
o.SetColor 255, 0, 0
o.DrawFilledRectangle 0, 0, 19, 29
o.SetImageType 4
Eq o.GetImageType, 4, "image type"
o.SetJpegQuality "80"
Eq o.GetJpegQuality, 80, "JPEG quality"
o.SetInterlace 1
Eq o.GetInterlace, 1, "interlace"
o.SetInterlace 0
o.SetSaveAlpha 1
NoError Err.Number, "SetSaveAlpha"
For t = 0 To 4
  o.SetImage 0
  o.SetImageType t
  path = folder & "suite-vbs-" & t & ".img"
  o.WriteToFile path
  NoError Err.Number, "WriteToFile type " & t
  o.SetImage 5
  o.ReadFromFile path
  NoError Err.Number, "ReadFromFile type " & t
  Eq o.GetWidth & "x" & o.GetHeight, "40x30", "size read back, type " & t
  If t = 0 Or t = 4 Then
    Eq o.GetPixelRed(5, 5), 255, "red read back, type " & t
    Eq o.GetPixelRed(30, 5), 0, "black read back, type " & t
  End If
  If t = 1 Or t = 3 Then
    n = o.GetPixelRed(5, 5)
    Record n > 240, "red read back near 255, type " & t & ": " & n
    n = o.GetPixelRed(30, 5)
    Record n < 16, "black read back near 0, type " & t & ": " & n
  End If
Next
o.SetImageType 0
o.ReadFromFile folder & "no-such-folder\none.png"
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO FILE!", "ReadFromFile of a missing file"
w = o.GetWidth
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "slot empty after a failed read"

' ---- memory variables -----------------------------------------------------------
o.SetImage 0
s = o.WriteToVariable
NoError Err.Number, "WriteToVariable"
Eq TypeName(s), "String", "WriteToVariable gives a string"
v = o.WriteToVariableVariant
NoError Err.Number, "WriteToVariableVariant"
Eq TypeName(v(0)), "Byte", "elements are bytes"
Eq v(0) & " " & v(1) & " " & v(2) & " " & v(3), "137 80 78 71", "PNG signature"
n = (UBound(v) + 1) \ 2  ' a string counts whole characters
Eq n, Len(s), "byte count of both forms"
o.SetImage 6
o.ReadFromVariable (s)
NoError Err.Number, "ReadFromVariable of the string"
Eq o.GetWidth, 40, "width from the variable"
Eq o.GetPixelRed(5, 5), 255, "pixel from the variable"
o.SetImageType 4
s = o.WriteToVariable
NoError Err.Number, "WriteToVariable as BMP"
o.SetImage 7
o.ReadFromVariable (s)
NoError Err.Number, "ReadFromVariable as BMP"
Eq o.GetPixelRed(5, 5) & " " & o.GetPixelRed(30, 5), "255 0", "BMP pixels from the variable"

' ---- database fields ----------------------------------------------------------
' Morphel.TestField is an in-memory field of the test server (Wine's record sets
' have no chunks); by name it answers ActualSize, Value (an array of one-byte
' variants) and Clear.
Function SameBytes(a, b)
  Dim k
  SameBytes = (UBound(a) = UBound(b))
  For k = 0 To UBound(a)
    If SameBytes Then SameBytes = (a(k) = b(k))
  Next
End Function

Dim f
Set f = CreateObject("Morphel.TestField")
NoError Err.Number, "CreateObject Morphel.TestField"
o.SetImage 0
o.SetImageType 0
v = o.WriteToVariableVariant
o.WriteToDatabase f
NoError Err.Number, "WriteToDatabase"
Eq f.ActualSize, UBound(v) + 1, "the field's length is the encoding's"
Eq SameBytes(f.Value, v), True, "the field holds the encoded bytes"
o.SetImage 8
o.ReadFromDatabase f
NoError Err.Number, "ReadFromDatabase"
Eq o.GetWidth & " " & o.GetPixelRed(5, 5), "40 255", "image from the field"
f.Clear
o.ReadFromDatabase f
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "ReadFromDatabase of a null field"
o.WriteToDatabase f
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "WriteToDatabase on an empty slot"
Eq f.ActualSize, 0, "nothing appended from an empty slot"
o.SetImage 0
o.WriteToDatabase 42
Record Err.Number <> 0, "a number is no field"
Err.Clear
Set f = Nothing
' ---- colour reduction (an object of its own) -----------------------------------
Dim cr
Set cr = CreateObject("Morphel.Images")
cr.ConvertToGrayScale
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "ConvertToGrayScale on an empty slot"
cr.ConvertToMonochrome 256
Refused Err.Number, Err.Source, Err.Description, kInvalidArgument, "", "ConvertToMonochrome 256"
cr.CreateImage 40, 20
cr.SetColor 200, 30, 30
cr.DrawFilledRectangle 0, 0, 19, 19
cr.SetAlphaColor 0, 0, 255, 127
cr.DrawFilledRectangle 20, 0, 39, 19
cr.ConvertToPalette
NoError Err.Number, "ConvertToPalette"
Eq cr.GetPixelRed(5, 5) & " " & cr.GetPixelBlue(30, 5), "204 252", "entries at the cell centres"
cr.CreateImage 40, 20
cr.SetColor 200, 30, 30
cr.DrawFilledRectangle 0, 0, 39, 19
cr.convertToPaletteNoAlpha
NoError Err.Number, "ConvertToPaletteNoAlpha"
Eq cr.GetPixelRed(5, 5) & " " & cr.GetPixelBlue(5, 5), "204 28", "colour-only entry"
cr.CONVERTTOGRAYSCALE
NoError Err.Number, "ConvertToGrayScale"
Eq cr.GetPixelRed(5, 5) & " " & cr.GetPixelGreen(5, 5), "81 81", "grey of the entry"
cr.ConvertToMonochrome "81"
NoError Err.Number, "ConvertToMonochrome with a string"
Eq cr.GetPixelRed(5, 5), 0, "grey 81 (brightness 80.99...) at threshold 81 turns black"
cr.SetColor 255, 255, 255
cr.DrawFilledRectangle 20, 0, 39, 19
cr.ConvertToMonochromeAuto
NoError Err.Number, "ConvertToMonochromeAuto"
Eq cr.GetPixelRed(5, 5) & " " & cr.GetPixelRed(30, 5), "0 255", "halves kept at the mean"
Set cr = Nothing
' ---- copies between slots and rotation -------------------------------------------
o.SetImage 8
o.CreateImage 40, 30
o.SetColor 255, 0, 0
o.DrawFilledRectangle 0, 0, 39, 29
o.SetImage 4
v = o.DestroyImage  ' slot 4 is empty afterwards, whatever it held
Err.Clear
o.SetImage 9
o.CreateImage 40, 30
o.CopyImage 9, 8, 0, 0, 0, 0, 10, 10
NoError Err.Number, "CopyImage"
o.copyimageresize 9, 8, 20, 0, 0, 0, 10, 10, 40, 30
NoError Err.Number, "copyimageresize"
o.CopyImageMerge 9, 8, 0, 20, 0, 0, 10, 10, "50"
NoError Err.Number, "CopyImageMerge with a string percentage"
o.CopyImageSimpleRotate 9, 8, 30, 20, 0, 0, 6, 6, 45
NoError Err.Number, "CopyImageSimpleRotate"
Eq o.GetPixelRed(5, 5) & " " & o.GetPixelRed(25, 5) & " " & o.GetPixelRed(5, 25) & " " & _
   o.GetPixelRed(30, 20) & " " & o.GetPixelRed(15, 15), "255 255 127 255 0", "copied pixels"
o.CopyImageMerge 9, 8, 0, 0, 0, 0, 5, 5, 101
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "CopyImageMerge at 101 per cent"
o.CopyImage 9, 4, 0, 0, 0, 0, 5, 5
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "CopyImage from an empty slot"
o.SetColor 0, 0, 255
o.CopyImageRotate 9, 8, 90
NoError Err.Number, "CopyImageRotate"
Eq o.GetImage, 8, "current slot after CopyImageRotate"
o.SetImage 9
Eq o.GetWidth & "x" & o.GetHeight, "28x38", "size turned a quarter"
o.CopyImageRotate 9, 8, 30
o.SetImage 9
Eq o.GetWidth & "x" & o.GetHeight & " " & o.GetPixelBlue(0, 0) & " " & o.GetPixelRed(24, 22), _
   "48x44 255 255", "size, background corner and centre turned by 30 degrees"
o.CopyImageRotate 9, 12, 30
Refused Err.Number, Err.Source, Err.Description, E_FAIL, "NO IMAGE!", "CopyImageRotate from slot 12"

' ---- closing ------------------------------------------------------------------
Set o = Nothing
NoError Err.Number, "release"
If passed + failed <> kChecks Then
  failed = failed + 1
  WScript.Echo "FAIL " & (passed + failed - 1) & " checks ran, " & kChecks & " expected"
End If
If failed = 0 Then
  WScript.Echo "SUITE-OK " & passed
  WScript.Quit 0
End If
WScript.Echo "SUITE-FAILED " & failed & " of " & (passed + failed)
WScript.Quit 1
