' Draws a red triangle with a white greeting and writes it as hello.png in
' the current folder; then shows how a failure reaches the script.
'   cscript //nologo hello.vbs
Set img = CreateObject("Morphel.Images")
img.CreateImage 200, 100
img.SetColor 255, 0, 0
img.DrawFilledPolygon Array(10, 10, 190, 10, 100, 90), 6   ' x0, y0, x1, y1, ... and the count
img.SetColor 255, 255, 255
img.SetFont 2
img.DrawText 80, 20, "Hello"
img.SetImageType 0                                           ' 0 PNG, 1 JPEG, 2 WBMP, 3 GIF, 4 BMP
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.GetAbsolutePathName("hello.png")
img.WriteToFile path
WScript.Echo "wrote " & path & " (" & img.GetWidth & "x" & img.GetHeight & ")"

On Error Resume Next
img.SetImage 5                                               ' an empty slot
h = img.GetHeight
WScript.Echo Hex(Err.Number) & " " & Err.Source & ": " & Err.Description  ' 80004005 Morphel: NO IMAGE!
