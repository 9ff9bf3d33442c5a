; The Windows installer of Glimmora.scr, built by cmake/Packaging.cmake:
;   makensis -DVERSION=1.2.3 -DVERSION_QUAD=1.2.3.0 -DYEAR=2026 -DPUBLISHER=... \
;            -DSAVER=path/Glimmora.scr -DOUTFILE=path/Glimmora-Setup-1.2.3.exe glimmora.nsi
; It puts the saver into the 64-bit system folder, where the Screen Saver
; settings list savers, registers an uninstaller with Apps & Features and,
; when asked (never in a silent /S install), makes Glimmora the current
; screen saver. The uninstaller removes the saver and its entries and
; leaves the user's settings (HKCU\Software\Glimmora) alone.

!ifndef VERSION | VERSION_QUAD | YEAR | PUBLISHER | SAVER | OUTFILE
  !error "VERSION, VERSION_QUAD, YEAR, PUBLISHER, SAVER and OUTFILE must be defined"
!endif

Unicode true
; A 64-bit installer: $SYSDIR is the real System32, never SysWOW64.
Target amd64-unicode
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimmora"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Glimmora"
Caption "Glimmora ${VERSION} Setup"
UninstallCaption "Glimmora Uninstall"
OutFile "${OUTFILE}"
; The system folder and the machine's uninstall entries need an administrator.
RequestExecutionLevel admin
; Only the uninstaller lives here; the saver goes where Windows looks.
InstallDir "$PROGRAMFILES64\Glimmora"
ShowInstDetails show
ShowUninstDetails show
AutoCloseWindow false

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Glimmora"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Glimmora Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright ${YEAR} ${PUBLISHER}"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ; A 64-bit installer cannot start on 32-bit Windows at all; this guards
  ; the redirection below should it ever be built for x86.
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Glimmora needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Glimmora"
  ${DisableX64FSRedirection}
  SetOutPath "$SYSDIR"
  File "/oname=Glimmora.scr" "${SAVER}"
  ${EnableX64FSRedirection}

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Glimmora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\Glimmora.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The saver is one static file of a few MiB; Apps & Features shows KiB.
  ${DisableX64FSRedirection}
  FileOpen $0 "$SYSDIR\Glimmora.scr" r
  FileSeek $0 0 END $1
  FileClose $0
  ${EnableX64FSRedirection}
  IntOp $1 $1 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; The choice of screen saver is the user's: offered, and left alone in a
  ; silent install (/SD IDNO answers No there).
  MessageBox MB_YESNO|MB_ICONQUESTION "Make Glimmora your screen saver now?" /SD IDNO IDNO done
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\Glimmora.scr"
    ; SPI_SETSCREENSAVEACTIVE, with SPIF_UPDATEINIFILE | SPIF_SENDCHANGE, so
    ; that the running session takes the change.
    System::Call 'user32::SystemParametersInfoW(i 17, i 1, p 0, i 3)'
    DetailPrint "Glimmora is now the screen saver."
  done:
SectionEnd

Section "Uninstall"
  ${DisableX64FSRedirection}
  Delete "$SYSDIR\Glimmora.scr"
  ${EnableX64FSRedirection}
  ; A screen saver setting that names the removed file would name nothing.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == "$SYSDIR\Glimmora.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; HKCU\Software\Glimmora, the user's settings, stays for a later install.
SectionEnd
