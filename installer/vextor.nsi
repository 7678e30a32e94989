; The bridge's setup program: vextor.exe under Program Files, a Start-menu shortcut, an optional start
; with Windows, an entry in the installed programs and an uninstaller that keeps the user's settings
; unless asked to remove them.
;
; makensis -DVERSION=1.0.0 -DPROGRAM_DIR=build/i686 -DOUTFILE=dist/vextor-setup-1.0.0.exe installer/vextor.nsi
; -DAMD64 makes a 64-bit setup program of the x86_64 build (the one that runs under wine64 for the tests).
;
; Switches: /S silent; /AUTOSTART also starts the bridge with Windows (the user's Run key);
; /D=folder another installation folder. The uninstaller: /S silent; /REMOVESETTINGS also removes
; the settings (asked for when not silent).

Unicode true
!ifndef VERSION
  !error "VERSION, PROGRAM_DIR and OUTFILE are given by scripts/release.sh"
!endif
!ifndef PROGRAM_DIR
  !error "VERSION, PROGRAM_DIR and OUTFILE are given by scripts/release.sh"
!endif
!ifndef OUTFILE
  !error "VERSION, PROGRAM_DIR and OUTFILE are given by scripts/release.sh"
!endif
!ifdef AMD64
  Target amd64-unicode
!endif

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define MAKER "MORVEK Sp. z o.o."
!define PRODUCT "Vextor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\${MAKER}\vextor"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\MORVEK\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\MORVEK\${PRODUCT}"
!endif
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
; No file dates in the setup program: two releases of one commit are the same bytes.
SetDateSave off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu ${PRODUCT}"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "© 2026 ${MAKER}"

!define MUI_ICON "../resources/bridge/vextor.ico"
!define MUI_UNICON "../resources/bridge/vextor.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vextor.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "English"

LangString SECTION_PROGRAM ${LANG_POLISH} "Program ${PRODUCT}"
LangString SECTION_PROGRAM ${LANG_ENGLISH} "${PRODUCT}"
LangString SECTION_AUTOSTART ${LANG_POLISH} "Uruchamiaj z systemem Windows"
LangString SECTION_AUTOSTART ${LANG_ENGLISH} "Start with Windows"
LangString ASK_REMOVE_SETTINGS ${LANG_POLISH} "Usunąć także ustawienia programu ${PRODUCT}?"
LangString ASK_REMOVE_SETTINGS ${LANG_ENGLISH} "Remove the settings of ${PRODUCT} as well?"

Section "!$(SECTION_PROGRAM)" SectionProgram
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${PROGRAM_DIR}/vextor.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut starts the bridge in the public documents, a folder every user may write its log file to.
  SetOutPath "$DOCUMENTS"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vextor.exe" "" "$INSTDIR\vextor.exe" 0
  SetOutPath "$INSTDIR"

!ifdef AMD64
  SetRegView 64
!endif
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vextor.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(SECTION_AUTOSTART)" SectionAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\vextor.exe"'
SectionEnd

Function .onInit
  ; A silent install takes the start with Windows only when asked for on the command line.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    SectionGetFlags ${SectionAutostart} $1
    IntOp $1 $1 | ${SF_SELECTED}
    SectionSetFlags ${SectionAutostart} $1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\vextor.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
!ifdef AMD64
  SetRegView 64
!endif
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The settings stay for a later install unless the user asks to remove them.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(ASK_REMOVE_SETTINGS)" /SD IDNO IDNO keep
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${MAKER}"
keep:
SectionEnd
