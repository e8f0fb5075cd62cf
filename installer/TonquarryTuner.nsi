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
!include "LogicLib.nsh"

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

  ; The player's audio settings and the log: in this folder, or, for a player
  ; without the right to write here, in the player's own application data, and
  ; perhaps still in the VirtualStore copy of this folder, where Windows put an
  ; older version's writes. They are kept unless the player says otherwise (a
  ; silent uninstall keeps them), so a later installation starts with the same
  ; settings; when not kept, every copy goes.
  SetShellVarContext current
  StrCpy $0 "$APPDATA\${COMPANY}\${PRODUCT}"
  ; The VirtualStore mirrors the folder without its drive; a network folder has none.
  StrCpy $1 ""
  StrCpy $2 $INSTDIR 1 1
  ${If} $2 == ":"
    StrCpy $2 $INSTDIR "" 2
    StrCpy $1 "$LOCALAPPDATA\VirtualStore$2"
  ${EndIf}
  StrCpy $3 0
  ${If} ${FileExists} "$INSTDIR\Settings.dat"
  ${OrIf} ${FileExists} "$INSTDIR\Logfile.txt"
  ${OrIf} ${FileExists} "$0\Settings.dat"
  ${OrIf} ${FileExists} "$0\Logfile.txt"
    StrCpy $3 1
  ${EndIf}
  ${If} $1 != ""
  ${AndIf} $3 == 0
    ${If} ${FileExists} "$1\Settings.dat"
    ${OrIf} ${FileExists} "$1\Logfile.txt"
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
  ${If} $3 == 1
    MessageBox MB_YESNO|MB_ICONQUESTION \
      "Keep your audio settings (Settings.dat) and the log file (Logfile.txt) for a later installation?" \
      /SD IDYES IDYES keep
    Delete "$INSTDIR\Settings.dat"
    Delete "$INSTDIR\Logfile.txt"
    Delete "$0\Settings.dat"
    Delete "$0\Logfile.txt"
    RMDir "$0"
    RMDir "$APPDATA\${COMPANY}"
    ${If} $1 != ""
      Delete "$1\Settings.dat"
      Delete "$1\Logfile.txt"
      RMDir "$1"
    ${EndIf}
    keep:
  ${EndIf}
  SetShellVarContext all
  RMDir "$INSTDIR"

  Delete "${SHORTCUTS}\${PRODUCT}.lnk"
  Delete "${SHORTCUTS}\Uninstall ${PRODUCT}.lnk"
  RMDir "${SHORTCUTS}"

  DeleteRegKey HKLM "${PATH_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
