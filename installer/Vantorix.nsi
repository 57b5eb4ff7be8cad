; Vantorix setup and uninstaller. Compiled by the build (CMakeLists.txt):
;
;   makensis -DARCH=x86|amd64 -DVERSION=5.0.0.90 -DPUBLISHER=... \
;            -DUNINSTALL_TITLE=... -DPROGRAM_DIR=... -DRES_DIR=... \
;            -DOUTFILE=...setup.exe installer/Vantorix.nsi
;
; VERSION and PUBLISHER come from res/version.h, UNINSTALL_TITLE from the
; program's string table: the running program quits when a window with that
; title appears. PROGRAM_DIR holds Vantorix.exe and, when the help has been
; built, Vantorix.chm.

!ifndef ARCH | VERSION | PUBLISHER | UNINSTALL_TITLE | PROGRAM_DIR | RES_DIR | OUTFILE
  !error "ARCH, VERSION, PUBLISHER, UNINSTALL_TITLE, PROGRAM_DIR, RES_DIR and OUTFILE must be defined"
!endif

!if "${ARCH}" == "amd64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define PRODUCT "Vantorix"
!define PROGRAM_EXE "Vantorix.exe"
!define HELP_FILE "Vantorix.chm"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantorix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's own settings; the same view of the registry as the program
; (the 32-bit view for the 32-bit release).
!define SETTINGS_KEY "SOFTWARE\Brisquandel"
!define TASK_NAME "Vantorix"
; The program holds a semaphore of its own name for as long as it runs.
!define INSTANCE_MARKER "Vantorix"
; How long a silent run waits for a running copy to quit (200 ms steps):
; someone has to answer the program's notice first.
!define SILENT_WAIT_STEPS 1500
; After this long an interactive run asks whether to go on waiting.
!define INTERACTIVE_WAIT_STEPS 150

Name "${PRODUCT}"
OutFile "${OUTFILE}"
UninstallCaption "${UNINSTALL_TITLE}"
BrandingText "${PRODUCT} ${VERSION}"
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true
; Reproducible output: the compressed data carry no file times.
SetCompressor /SOLID /FINAL lzma
SetDateSave off
!if "${ARCH}" == "amd64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; A new version goes where the last one is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "${RES_DIR}/app.ico"
!define MUI_UNICON "${RES_DIR}/app.ico"
!define MUI_ABORTWARNING

; Both windows keep their title on every page: the pages would add a caption
; of their own to it. The uninstaller's is the title the program watches for.
!define MUI_PAGE_CUSTOMFUNCTION_SHOW KeepTitle
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_CUSTOMFUNCTION_SHOW KeepTitle
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM_EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW KeepTitle
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.KeepTitle
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.KeepTitle
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.KeepTitle
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------- shared
; Setup and uninstaller each get their own copy (un. prefix).
!macro SHARED_FUNCTIONS un

; Setup changes Program Files, HKLM and the task scheduler: it needs an
; administrator (Windows XP runs it without asking).
Function ${un}RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} can only be installed and removed by an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
FunctionEnd

; $0 = 1 while a copy of the program runs, else 0.
Function ${un}IsProgramRunning
  System::Call 'kernel32::OpenSemaphore(i 0x00100000, i 0, t "${INSTANCE_MARKER}") p.r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
FunctionEnd

; Asks a running copy to quit and waits until it has ended. A hidden window
; with the uninstaller's title is what the program watches for; it shows its
; notice, and ends once the user has read it. Aborts, changing nothing, when
; the program does not end.
Function ${un}CloseRunningProgram
  Call ${un}IsProgramRunning
  ${If} $0 = 0
    Return
  ${EndIf}
  DetailPrint "Asking the running ${PRODUCT} to quit..."
  System::Call 'user32::CreateWindowEx(i 0, t "STATIC", t "${UNINSTALL_TITLE}", i 0, i 0, i 0, i 0, i 0, p 0, p 0, p 0, p 0) p.r1'
  StrCpy $2 0
  ${Do}
    Sleep 200
    Call ${un}IsProgramRunning
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} ${Silent}
      ${If} $2 >= ${SILENT_WAIT_STEPS}
        System::Call 'user32::DestroyWindow(p r1)'
        DetailPrint "${PRODUCT} is still running; nothing was changed."
        SetErrorLevel 2
        Abort
      ${EndIf}
    ${ElseIf} $2 >= ${INTERACTIVE_WAIT_STEPS}
      StrCpy $2 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running. Answer its message, or quit it from its icon in the notification area, then choose Retry." IDRETRY keepWaiting
        System::Call 'user32::DestroyWindow(p r1)'
        Abort
      keepWaiting:
    ${EndIf}
  ${Loop}
  System::Call 'user32::DestroyWindow(p r1)'
FunctionEnd

!macroend

!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; ---------------------------------------------------------------- setup
Function KeepTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:$(^SetupCaption)"
FunctionEnd

Function .onInit
  Call RequireAdministrator
FunctionEnd

; Start at log-on. An elevated program in the Run key is skipped by Windows
; Vista and later without a word, so there a task starts it at every log-on
; with the highest rights of the user who logs on. XP has no UAC: the Run key
; of the machine serves every user.
Function RegisterLogonStart
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ${IfNot} ${AtLeastWinVista}
    WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${PROGRAM_EXE}"'
    Return
  ${EndIf}
  ${WordReplace} "$INSTDIR\${PROGRAM_EXE}" "&" "&amp;" "+" $1
  InitPluginsDir
  StrCpy $2 "$PLUGINSDIR\logon-task.xml"
  FileOpen $0 $2 w
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '  <RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '    <Author>${PUBLISHER}</Author>$\r$\n'
  FileWriteUTF16LE $0 '    <Description>Starts ${PRODUCT} when a user logs on.</Description>$\r$\n'
  FileWriteUTF16LE $0 '  </RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '  <Triggers>$\r$\n'
  FileWriteUTF16LE $0 '    <LogonTrigger>$\r$\n'
  FileWriteUTF16LE $0 '      <Enabled>true</Enabled>$\r$\n'
  FileWriteUTF16LE $0 '    </LogonTrigger>$\r$\n'
  FileWriteUTF16LE $0 '  </Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals>$\r$\n'
  FileWriteUTF16LE $0 '    <Principal id="Author">$\r$\n'
  ; Every member of Users, in the session where they log on.
  FileWriteUTF16LE $0 '      <GroupId>S-1-5-32-545</GroupId>$\r$\n'
  FileWriteUTF16LE $0 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n'
  FileWriteUTF16LE $0 '    </Principal>$\r$\n'
  FileWriteUTF16LE $0 '  </Principals>$\r$\n'
  FileWriteUTF16LE $0 '  <Settings>$\r$\n'
  FileWriteUTF16LE $0 '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n'
  FileWriteUTF16LE $0 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
  FileWriteUTF16LE $0 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
  ; A resident program: no time limit, normal priority.
  FileWriteUTF16LE $0 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
  FileWriteUTF16LE $0 '    <Priority>4</Priority>$\r$\n'
  FileWriteUTF16LE $0 '    <Enabled>true</Enabled>$\r$\n'
  FileWriteUTF16LE $0 '  </Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="Author">$\r$\n'
  FileWriteUTF16LE $0 '    <Exec>$\r$\n'
  FileWriteUTF16LE $0 '      <Command>$1</Command>$\r$\n'
  FileWriteUTF16LE $0 '    </Exec>$\r$\n'
  FileWriteUTF16LE $0 '  </Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Create /TN "${TASK_NAME}" /XML "$2" /F'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The start at log-on could not be registered (schtasks: $0)."
  ${EndIf}
  Delete $2
FunctionEnd

Section "${PRODUCT}" SectionProgram
  SectionIn RO
  Call CloseRunningProgram

  SetOutPath "$INSTDIR"
  File "/oname=${PROGRAM_EXE}" "${PROGRAM_DIR}/${PROGRAM_EXE}"
  !if /FileExists "${PROGRAM_DIR}/${HELP_FILE}"
    File "/oname=${HELP_FILE}" "${PROGRAM_DIR}/${HELP_FILE}"
  !endif
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0 \
                 SW_SHOWNORMAL "" "Guards this PC against malware that spreads from USB drives"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${PROGRAM_EXE}",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The installed files only, in KB; not the quarantine beside them.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  Call RegisterLogonStart
SectionEnd

; ---------------------------------------------------------------- uninstaller
Function un.KeepTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:${UNINSTALL_TITLE}"
FunctionEnd

Function un.onInit
  Call un.RequireAdministrator
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningProgram

  ${If} ${AtLeastWinVista}
    nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK_NAME}" /F'
    Pop $0
  ${EndIf}
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  Delete "$INSTDIR\${PROGRAM_EXE}"
  Delete "$INSTDIR\${HELP_FILE}"

  ; The quarantined files are the only copies of what the user deleted:
  ; they stay unless the user says otherwise, and always in a silent run.
  ClearErrors
  FindFirst $0 $1 "$INSTDIR\quarantine\*.*"
  ${While} $1 != ""
    ${If} $1 != "."
    ${AndIf} $1 != ".."
      ${Break}
    ${EndIf}
    FindNext $0 $1
  ${EndWhile}
  FindClose $0
  ${If} $1 != ""
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
      "Keep the quarantined files?$\r$\n$\r$\nThey are the only copies of the files that ${PRODUCT} deleted. \
They stay in $INSTDIR\quarantine, where a new installation lists them again.$\r$\n$\r$\n\
Choose No to delete them for good." /SD IDYES IDYES keepQuarantine
    RMDir /r "$INSTDIR\quarantine"
    keepQuarantine:
  ${EndIf}
  RMDir "$INSTDIR\quarantine"

  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
