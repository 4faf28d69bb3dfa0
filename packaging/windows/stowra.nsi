; The Windows installer: stowra.exe, stowra-cli.exe, the licence and a readme in Program Files, a
; Start menu entry, and an uninstaller registered with Windows. The uninstaller leaves the user's
; settings (stowra.ini, stowra-cli.ini) where the programs wrote them.
; makensis -DVERSION=1.0.0 -DPROGRAM=stowra.exe -DCLI=stowra-cli.exe -DSOURCE=<repository> -DOUTPUT=<setup.exe>
; SPDX-License-Identifier: GPL-3.0-or-later

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Stowra"

Name "Stowra ${VERSION}"
OutFile "${OUTPUT}"
InstallDir "$PROGRAMFILES64\Stowra"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Stowra"
VIAddVersionKey "FileDescription" "Stowra installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

LicenseData "${SOURCE}\LICENSE"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Stowra"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=stowra.exe" "${PROGRAM}"
  File "/oname=stowra-cli.exe" "${CLI}"
  File "/oname=LICENSE.txt" "${SOURCE}\LICENSE"
  File "/oname=README.txt" "${SOURCE}\packaging\windows\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Stowra.lnk" "$INSTDIR\stowra.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Stowra"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "Publisher" "The Stowra developers"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\stowra.exe"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Stowra.lnk"
  Delete "$INSTDIR\stowra.exe"
  Delete "$INSTDIR\stowra-cli.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty: settings written beside the programs stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
