Option Explicit
Dim fso, folder
Set fso = CreateObject("Scripting.FileSystemObject")
Set folder = fso.GetFolder("C:\Temp")
WScript.Echo "Files: " & folder.Files.Count
