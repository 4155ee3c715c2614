' A fixed drawing, written in every format: the same calls as
' same_drawing.cpp makes on the Linux library, so the files must match byte
' for byte. Argument: the folder to write into (ending in a backslash).
' Prints "DRAWING-OK" and quits with 0, or quits with 1 at the first failure.
Option Explicit
Dim o, folder, t, names
folder = WScript.Arguments(0)
names = Array("drawing.png", "drawing.jpg", "drawing.wbmp", "drawing.gif", "drawing.bmp")

On Error Resume Next
Set o = CreateObject("Morphel.Images")
o.CreateImage 160, 120
o.SetColor 30, 60, 90
o.DrawFilledRectangle 0, 0, 159, 119
o.SetColor 255, 255, 0
o.SetLineThickness 2
o.DrawLine 0, 0, 159, 119
o.SetLineThickness 1
o.SetColor 255, 0, 0
o.DrawRectangle 5, 5, 60, 40
o.DrawFilledEllipse 100, 30, 40, 30
o.SetAlphaColor 0, 255, 0, 60
o.DrawFilledArc 40, 80, 50, 50, 30, 300
o.SetColor 0, 0, 255
o.DrawArc 120, 90, 30, 30, 0, 180
o.DrawEllipse 80, 60, 70, 20
o.DrawFilledPolygon Array(10, 110, 40, 70, 70, 110), 6
o.SetColor 255, 255, 255
o.DrawPolygon Array(90, 100, 150, 110, 120, 70, 100, 80), 8
o.SetFont 2
o.DrawText 8, 8, "Morphel"
o.SetFont 3
o.DrawTextAngle 150, 115, 45, "angle"
o.SetPixel 1, 1
o.SetColor 200, 100, 50
o.Fill 150, 2
o.SetJpegQuality 75
For t = 0 To 4
  o.SetImageType t
  o.WriteToFile folder & names(t)
Next
o.SetImage 1
o.CreateImagePalette 50, 40
o.SetColor 10, 200, 10
o.DrawFilledRectangle 5, 5, 44, 34
o.SetColor 255, 255, 255
o.DrawLine 0, 39, 49, 0
o.SetImageType 0
o.WriteToFile folder & "palette.png"
o.SetImageType 3
o.WriteToFile folder & "palette.gif"
o.SetColorByIndex 0
o.SetTransparent 1
o.WriteToFile folder & "palette-transparent.gif"

o.SetImage 2
o.CreateImage 64, 48
o.SetColor 0, 0, 255
o.DrawFilledRectangle 0, 0, 63, 47
o.SetAlphaBlending 1
o.SetAlphaColor 255, 0, 0, 64
o.DrawFilledEllipse 32, 24, 40, 30
o.SetAlphaBlending 0
o.SetAlphaColor 0, 255, 0, 100
o.DrawFilledRectangle 0, 0, 15, 15
o.SetColor 255, 255, 255
o.SetBorderColor
o.DrawRectangle 40, 30, 60, 44
o.SetColor 255, 255, 0
o.FillToBorder 50, 37
o.SetImageType 0
o.WriteToFile folder & "blend.png"
o.SetSaveAlpha 0
o.WriteToFile folder & "blend-noalpha.png"
o.SetSaveAlpha 1
o.SetInterlace 1
o.WriteToFile folder & "blend-interlaced.png"
o.SetImageType 1
o.WriteToFile folder & "blend-progressive.jpg"

' Colour reduction: one picture with a gradient and alpha, through greyscale
' and both palette conversions.
Dim reduction, reductions
reductions = Array("colour-grey.png", "colour-palette.png", "colour-palette-noalpha.png")
For reduction = 0 To 2
  o.SetImage 3 + reduction
  o.CreateImage 64, 48
  For t = 0 To 47
    o.SetColor 40 + t * 4, 200 - t * 3, 90 + t
    o.DrawLine 0, t, 63, t
  Next
  o.SetAlphaBlending 1
  o.SetAlphaColor 255, 200, 0, 50
  o.DrawFilledEllipse 40, 20, 36, 30
  o.SetAlphaBlending 0
  o.SetAlphaColor 0, 0, 0, 127
  o.DrawFilledRectangle 4, 30, 20, 44
  If reduction = 0 Then o.ConvertToGrayScale
  If reduction = 1 Then o.ConvertToPalette
  If reduction = 2 Then o.ConvertToPaletteNoAlpha
  o.SetImageType 0
  o.WriteToFile folder & reductions(reduction)
Next

' TrueType text: DejaVu Sans from the Windows Fonts folder, the same file the
' Linux library draws with.
o.SetImage 6
o.CreateImage 160, 60
o.SetColor 255, 255, 240
o.DrawFilledRectangle 0, 0, 159, 59
o.SetFontPathTTFAuto
o.SetFontTTF "nosuch DejaVuSans"
o.SetFontSizeTTF 16
o.SetColor 0, 0, 128
o.DrawTextTTF 6, 24, "TrueType &#233; &amp;"
o.SetColor 160, 0, 0
o.DrawTextAngleTTF 20, 56, 15, "angle 15"
o.SetImageType 0
o.WriteToFile folder & "truetype.png"
o.SetImage 7
o.CreateImagePalette 160, 40
o.SetColor 255, 255, 255
o.SetColor 0, 0, 0
o.SetTextAntialias 0
o.DrawTextTTF 6, 18, "Plain text"
o.SetTextAntialias 1
o.DrawTextTTF 6, 36, "Smooth text"
o.WriteToFile folder & "truetype-palette.png"

' A free rotation of the first drawing and a resized copy of the blend.
o.SetImage 0
o.SetColor 40, 40, 40
o.CopyImageRotate 8, 0, 30
o.SetImage 8
o.CopyImageResize 8, 2, 0, 0, 0, 0, 32, 24, 64, 48
o.SetImageType 0
o.WriteToFile folder & "rotated.png"
If Err.Number <> 0 Then
  WScript.Echo "DRAWING-FAILED " & Err.Number & " " & Err.Description
  WScript.Quit 1
End If
WScript.Echo "DRAWING-OK"
WScript.Quit 0
