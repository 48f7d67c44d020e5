; The Windows installer of otpwriter, made by scripts/package-windows with
;   makensis -DVERSION=2.0 -DSTAGE=<folder of the files> -DOUTFILE=<setup.exe> [-DWINDOW] otpwriter.nsi
; WINDOW is defined when the folder holds the window (otpwriter.exe): then the
; Start-menu entry opens it and .rom files open in it.
Unicode true
; A 64-bit installer: the programs are 64-bit, and wine without its 32-bit part
; runs it as well.
Target amd64-unicode
!include "x64.nsh"
!include "LogicLib.nsh"

!define NAME "otpwriter"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${NAME} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}\otpwriter-cli.exe"
!ifdef WINDOW
  File "${STAGE}\otpwriter.exe"
!endif
  File "${STAGE}\demo-rx4400.rom"
  File "${STAGE}\README.txt"
  ; An installation over an earlier one keeps the operator's Writer.ini.
  SetOverwrite off
  File "${STAGE}\Writer.ini"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start-menu entry starts in the install folder, whose Writer.ini it reads.
!ifdef WINDOW
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\otpwriter.exe"
  WriteRegStr HKLM "Software\Classes\.rom" "" "${NAME}.rom"
  WriteRegStr HKLM "Software\Classes\${NAME}.rom" "" "${NAME} ROM image"
  WriteRegStr HKLM "Software\Classes\${NAME}.rom\DefaultIcon" "" "$INSTDIR\otpwriter.exe,0"
  WriteRegStr HKLM "Software\Classes\${NAME}.rom\shell\open\command" "" '"$INSTDIR\otpwriter.exe" "%1"'
  ; A production job opens the station window in job mode.
  WriteRegStr HKLM "Software\Classes\.otpjob" "" "${NAME}.otpjob"
  WriteRegStr HKLM "Software\Classes\${NAME}.otpjob" "" "${NAME} production job"
  WriteRegStr HKLM "Software\Classes\${NAME}.otpjob\DefaultIcon" "" "$INSTDIR\otpwriter.exe,0"
  WriteRegStr HKLM "Software\Classes\${NAME}.otpjob\shell\open\command" "" '"$INSTDIR\otpwriter.exe" "%1"'
!else
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$SYSDIR\cmd.exe" '/k "$INSTDIR\otpwriter-cli.exe" --help'
!endif

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!ifdef WINDOW
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\otpwriter.exe,0"
!endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${NAME}.lnk"
!ifdef WINDOW
  ; The association goes only when it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.rom" ""
  ${If} $0 == "${NAME}.rom"
    DeleteRegKey HKLM "Software\Classes\.rom"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${NAME}.rom"
  ReadRegStr $0 HKLM "Software\Classes\.otpjob" ""
  ${If} $0 == "${NAME}.otpjob"
    DeleteRegKey HKLM "Software\Classes\.otpjob"
  ${EndIf}
  DeleteRegKey HKLM "Software\Classes\${NAME}.otpjob"
!endif
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only what the installer put there; a log or a .rom of the operator's stays.
  Delete "$INSTDIR\otpwriter.exe"
  Delete "$INSTDIR\otpwriter-cli.exe"
  Delete "$INSTDIR\Writer.ini"
  Delete "$INSTDIR\demo-rx4400.rom"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
