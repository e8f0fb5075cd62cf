; The player's installer: the program, its textures and pages, an uninstaller, the
; install path the program finds its settings by, a Start-menu shortcut and an
; entry in the system's list of installed programs.
;   makensis -DVERSION=<the project's version> -DBUILD_DIR=<build folder> -DOUT_FILE=<setup.exe> TonquarryTuner.nsi
; The installer is a 32-bit program like the tuner: on 64-bit Windows its writes
; under HKLM\Software land in the 32-bit registry view, which is the one the
; program reads.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define PRODUCT "Tonquarry Guitar Tuner"
!define COMPANY "Tonquarry Multimedia Studios"
!define EXE "TonquarryTuner.exe"
!define PATH_KEY "Software\${COMPANY}\Tonquarry Redede Rizuz Ad"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SHORTCUTS "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\${COMPANY}\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Install"
  SetShellVarContext all
  ; Each folder's own contents: "File /r DIR/NAME" would also take every folder
  ; called NAME anywhere below DIR, such as a test run's copy left in the build.
  SetOutPath "$INSTDIR\Textures"
  File /r "${BUILD_DIR}/Textures/*.*"
  SetOutPath "$INSTDIR\help"
  File /r "${BUILD_DIR}/help/*.*"
  SetOutPath "$INSTDIR"
  File "${BUILD_DIR}/${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${PATH_KEY}" "Install Path" "$INSTDIR"

  ; The shortcut is made while the install folder is the output folder, which makes
  ; it the program's working folder: textures, pages and the log live there.
  CreateDirectory "${SHORTCUTS}"
  CreateShortcut "${SHORTCUTS}\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
  CreateShortcut "${SHORTCUTS}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\${EXE}"
  RMDir /r "$INSTDIR\Textures"
  RMDir /r "$INSTDIR\help"
  Delete "$INSTDIR\Uninstall.exe"

  ; The program writes the player's audio settings and its log into this folder.
  ; They are kept unless the player says otherwise (a silent uninstall keeps them),
  ; so a later installation into the same folder starts with the same settings.
  IfFileExists "$INSTDIR\Settings.dat" ask
  IfFileExists "$INSTDIR\Logfile.txt" ask done
  ask:
    MessageBox MB_YESNO|MB_ICONQUESTION \
      "Keep your audio settings (Settings.dat) and the log file (Logfile.txt) for a later installation?" \
      /SD IDYES IDYES done
    Delete "$INSTDIR\Settings.dat"
    Delete "$INSTDIR\Logfile.txt"
  done:
  RMDir "$INSTDIR"

  Delete "${SHORTCUTS}\${PRODUCT}.lnk"
  Delete "${SHORTCUTS}\Uninstall ${PRODUCT}.lnk"
  RMDir "${SHORTCUTS}"

  DeleteRegKey HKLM "${PATH_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
