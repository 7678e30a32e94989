; The bridge's setup program: vextor.exe under Program Files, a Start-menu shortcut, an optional start
; with Windows or, instead, the bridge as a service with its firewall rule, an entry in the installed
; programs and an uninstaller that keeps the settings unless asked to remove them.
;
; makensis -DVERSION=1.0.0 -DPROGRAM_DIR=build/i686 -DOUTFILE=dist/vextor-setup-1.0.0.exe installer/vextor.nsi
; -DAMD64 makes a 64-bit setup program of the x86_64 build (the one that runs under wine64 for the tests).
;
; Switches: /S silent; /AUTOSTART also starts the bridge with Windows (the user's Run key);
; /SERVICE runs it as a service instead (a failure to install it is exit code 2); /D=folder another
; installation folder. The uninstaller: /S silent; /REMOVESETTINGS also removes the settings and
; the service's data folder (asked for when not silent).

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
!include "Sections.nsh"

!define MAKER "MORVEK Sp. z o.o."
!define PRODUCT "Vextor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\${MAKER}\vextor"
; The service manager's key; HKLM\SYSTEM is one key in either registry view.
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\${PRODUCT}"
; The name an administrator finds in the firewall's inbound rules.
!define FIREWALL_RULE "Vextor RS-232/TCP"

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
LangString SECTION_SERVICE ${LANG_POLISH} "Uruchamiaj jako usługę (startuje z systemem Windows, zanim ktokolwiek się zaloguje)"
LangString SECTION_SERVICE ${LANG_ENGLISH} "Run as a service (starts with Windows, before anyone logs on)"
LangString SERVICE_FAILED ${LANG_POLISH} "Nie udało się zainstalować usługi ${PRODUCT} (kod $0). Przyczyna jest w szczegółach instalacji; program jest zainstalowany."
LangString SERVICE_FAILED ${LANG_ENGLISH} "The ${PRODUCT} service could not be installed (code $0). The reason is in the installation details; the program is installed."
LangString FILE_AT_RESTART ${LANG_POLISH} "Plik vextor.exe jest w użyciu (panel otwarty w innej sesji?). Zostanie zastąpiony po ponownym uruchomieniu komputera."
LangString FILE_AT_RESTART ${LANG_ENGLISH} "vextor.exe is in use (a panel open in another session?). It will be replaced when the computer restarts."
LangString ASK_REMOVE_SETTINGS ${LANG_POLISH} "Usunąć także ustawienia programu ${PRODUCT} i folder danych usługi?"
LangString ASK_REMOVE_SETTINGS ${LANG_ENGLISH} "Remove the settings of ${PRODUCT} and the service's data folder as well?"

Section "!$(SECTION_PROGRAM)" SectionProgram
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  ; The new program comes under a name of its own first: it stops a running service (of any
  ; earlier version) and waits for its process to end, so that the old file can be replaced.
  File "/oname=vextor-new.exe" "${PROGRAM_DIR}/vextor.exe"
  ClearErrors
  ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    nsExec::ExecToLog '"$INSTDIR\vextor-new.exe" --stop-service'
    Pop $0
  ${EndIf}
  ClearErrors
  Delete "$INSTDIR\vextor.exe"
  Rename "$INSTDIR\vextor-new.exe" "$INSTDIR\vextor.exe"
  ${If} ${Errors}
    ; A panel in another user's session still runs the old file: it is replaced at the restart.
    Rename /REBOOTOK "$INSTDIR\vextor-new.exe" "$INSTDIR\vextor.exe"
    MessageBox MB_OK|MB_ICONINFORMATION "$(FILE_AT_RESTART)" /SD IDOK
  ${EndIf}
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

Section /o "$(SECTION_SERVICE)" SectionService
  ; The service serves the line for everybody: a panel started at this user's logon would want it too.
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ; Installed, or brought back to its configuration and started again after an upgrade: the
  ; service is never deleted and made anew, which would lose what an administrator set.
  nsExec::ExecToLog '"$INSTDIR\vextor.exe" --install-service'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(SERVICE_FAILED)" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  ; A service never gets the firewall's "allow this program" prompt: its clients need a rule.
  ; Removed first, so that an upgrade leaves one rule, not two.
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${FIREWALL_RULE}"'
  Pop $1
  nsExec::ExecToLog 'netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\vextor.exe" enable=yes'
  Pop $1
  DetailPrint "netsh add rule: $1"
SectionEnd

Function .onInit
  ; A silent install takes the start with Windows or the service only when asked for on the
  ; command line; the service wins, since two bridges would want one line.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionAutostart}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/SERVICE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionService}
  ${EndIf}
  ; An installed service stays one through an upgrade; the uninstaller is what removes it.
  ClearErrors
  ReadRegStr $1 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    !insertmacro SetSectionFlag ${SectionService} ${SF_SELECTED}
    !insertmacro SetSectionFlag ${SectionService} ${SF_RO}
  ${EndIf}
  ${If} ${SectionIsSelected} ${SectionService}
    !insertmacro UnselectSection ${SectionAutostart}
  ${EndIf}
FunctionEnd

; The start with Windows and the service exclude each other: the one just ticked wins.
Function .onSelChange
  ${If} $0 == ${SectionService}
  ${AndIf} ${SectionIsSelected} ${SectionService}
    !insertmacro UnselectSection ${SectionAutostart}
  ${ElseIf} $0 == ${SectionAutostart}
  ${AndIf} ${SectionIsSelected} ${SectionAutostart}
    !insertmacro UnselectSection ${SectionService}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; The service first, stopped and removed with its event source: its process holds the program file.
  ${If} ${FileExists} "$INSTDIR\vextor.exe"
    nsExec::ExecToLog '"$INSTDIR\vextor.exe" --uninstall-service'
    Pop $0
  ${EndIf}
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${FIREWALL_RULE}"'
  Pop $0
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete /REBOOTOK "$INSTDIR\vextor.exe"
  Delete "$INSTDIR\vextor-new.exe"
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
  ; The service's: the machine's key in the program's own (32-bit) view, and its data folder.
  SetRegView 32
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${MAKER}"
  RMDir /r "$APPDATA\MORVEK\${PRODUCT}"
  RMDir "$APPDATA\MORVEK"
keep:
SectionEnd
