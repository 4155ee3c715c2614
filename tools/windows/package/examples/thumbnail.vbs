' Reads a picture and writes a copy a quarter of its size as JPEG.
'   cscript //nologo thumbnail.vbs picture.png thumbnail.jpg
If WScript.Arguments.Count <> 2 Then
  WScript.Echo "usage: cscript thumbnail.vbs PICTURE.png THUMBNAIL.jpg"
  WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
Set img = CreateObject("Morphel.Images")
img.SetImageType 0                        ' the format is never guessed: PNG in
img.ReadFromFile fso.GetAbsolutePathName(WScript.Arguments(0))
w = img.GetWidth
h = img.GetHeight
img.SetImage 1
img.CreateImage w \ 4, h \ 4
img.CopyImageResize 1, 0, 0, 0, 0, 0, w \ 4, h \ 4, w, h   ' into slot 1 from slot 0
img.SetImageType 1                        ' JPEG out
img.SetJpegQuality 85
img.WriteToFile fso.GetAbsolutePathName(WScript.Arguments(1))
WScript.Echo "wrote " & WScript.Arguments(1) & " (" & (w \ 4) & "x" & (h \ 4) & ")"
