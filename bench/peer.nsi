; The lightest real peer for the start-up benchmark: an installer whose uninstaller, like ours,
; copies itself to the temporary folder and restarts from there before it opens its window.
Unicode true
; 64-bit, like the twin that the benchmark starts (the 64-bit loader runs both).
Target amd64-unicode
Name "Bench Peer"
OutFile "peer-setup.exe"
InstallDir "C:\bench\NSIS peer"
RequestExecutionLevel user
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
Section
  SetOutPath $INSTDIR
  File "peer.nsi"
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd
Section "Uninstall"
  Delete "$INSTDIR\peer.nsi"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
