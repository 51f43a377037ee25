; phonedock's installer: phonedock.exe and VOCETTA.DLL for the current user only. It needs no administrator
; rights, writes under HKEY_CURRENT_USER only, and its uninstaller removes exactly what it added.
;
; Built by installer/CMakeLists.txt, which passes these defines (names and version come from the program's
; version resource):
;   ARCH             amd64 or x86: the installer's own stub, matching the binaries it carries
;   PROGRAM          path of phonedock.exe
;   DEVICE_LIBRARY   path of VOCETTA.DLL
;   OUTFILE          the installer to write
;   PRODUCT_NAME     shown in the installer, the Start menu and the list of installed apps
;   PUBLISHER        the list's publisher
;   COPYRIGHT        the installer's copyright notice
;   PRODUCT_VERSION  a.b.c.d; VERSION_MAJOR and VERSION_MINOR are its first two numbers
;   ICON             optional: the installer's and uninstaller's icon
;
; The installer's command line:
;   /S                  silent install
;   /STARTATLOGON       start phonedock at logon (also /STARTATLOGON=1); /STARTATLOGON=0: do not.
;                       Without the switch, an earlier install's choice is kept; a first install does not
;                       start at logon. Any other value is refused: exit code 2, nothing installed.
;   /D=folder           the install folder (must come last); default $LOCALAPPDATA\Programs\phonedock
; The uninstaller takes /S for a silent uninstall (the list of installed apps holds that command line). Like
; every uninstaller made this way it copies itself to a temporary folder, starts the copy and returns at once;
; with _?=<install folder> (last on the line) it runs in place instead, so its exit code can be waited for.
;
; Exit codes: 0 done, 1 cancelled by the user, 2 refused or failed (bad switch, phonedock could not be
; closed, a file could not be written or removed).

!macro REQUIRE_DEFINE name
    !ifndef ${name}
        !error "define ${name} is required (see the top of phonedock.nsi)"
    !endif
!macroend
!insertmacro REQUIRE_DEFINE ARCH
!insertmacro REQUIRE_DEFINE PROGRAM
!insertmacro REQUIRE_DEFINE DEVICE_LIBRARY
!insertmacro REQUIRE_DEFINE OUTFILE
!insertmacro REQUIRE_DEFINE PRODUCT_NAME
!insertmacro REQUIRE_DEFINE PUBLISHER
!insertmacro REQUIRE_DEFINE COPYRIGHT
!insertmacro REQUIRE_DEFINE PRODUCT_VERSION
!insertmacro REQUIRE_DEFINE VERSION_MAJOR
!insertmacro REQUIRE_DEFINE VERSION_MINOR

Unicode true
!if "${ARCH}" == "amd64"
    Target amd64-unicode
!else if "${ARCH}" == "x86"
    Target x86-unicode
!else
    !error "ARCH must be amd64 or x86, not ${ARCH}"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

; The key of the uninstall entry and the name of the logon value.
!define APP_ID "phonedock"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP_ID}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; phonedock's hidden main window; a WM_CLOSE to it ends the program cleanly, without asking.
!define MAIN_WINDOW_CLASS "TarvixWindowClass20041118"
; How long a running phonedock may take to end after WM_CLOSE, in ms: it clears the handset's display, closes
; the handset and removes its tray icon first. Then up to DELETE_TRIES tries, 250 ms apart, to delete its files.
!define CLOSE_WAIT_MS 15000
!define DELETE_TRIES 20
!define SYNCHRONIZE 0x00100000
!define STILL_RUNNING_TEXT "phonedock is still running and keeps its files in use.$\r$\nClose it (right-click its icon in the notification area, then Close) and choose Retry."
!define LOGON_SWITCH_TEXT "use /STARTATLOGON, /STARTATLOGON=1 or /STARTATLOGON=0."

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${APP_ID}"
; A reinstall goes where the earlier install is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
ManifestDPIAware true
BrandingText "${PRODUCT_NAME} ${PRODUCT_VERSION}"

VIProductVersion "${PRODUCT_VERSION}"
VIFileVersion "${PRODUCT_VERSION}"

!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\phonedock.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT_NAME} now"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${PRODUCT_VERSION}"

; Removes the program's two files, ending a running phonedock first: a running program keeps them in use. It
; is asked to close, and this waits, bounded, for its process to end and for the files to go. When they do
; not, the user is told and may retry; otherwise the run is abandoned.
!macro DEFINE_RELEASE_PROGRAM_FILES prefix
Function ${prefix}ReleaseProgramFiles
    retry:
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
    ${If} $0 <> 0
        DetailPrint "Closing the running phonedock"
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${CLOSE_WAIT_MS}
        ${If} $2 <> 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS})'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${EndIf}
    ; A file still in use cannot be deleted, or stays until its last user lets go of it.
    StrCpy $1 0
    ${Do}
        Delete "$INSTDIR\phonedock.exe"
        Delete "$INSTDIR\VOCETTA.DLL"
        ${IfNot} ${FileExists} "$INSTDIR\phonedock.exe"
        ${AndIfNot} ${FileExists} "$INSTDIR\VOCETTA.DLL"
            Return
        ${EndIf}
        IntOp $1 $1 + 1
        ${If} $1 >= ${DELETE_TRIES}
            ${Break}
        ${EndIf}
        Sleep 250
    ${Loop}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${STILL_RUNNING_TEXT}" /SD IDCANCEL IDRETRY retry
    DetailPrint "phonedock is still running: stopped"
    SetErrorLevel 2
    Abort
FunctionEnd
!macroend
!insertmacro DEFINE_RELEASE_PROGRAM_FILES ""
!insertmacro DEFINE_RELEASE_PROGRAM_FILES "un."

Section "-Program" SEC_PROGRAM
    Call ReleaseProgramFiles
    SetOutPath "$INSTDIR"
    SetOverwrite on
    ClearErrors
    File "/oname=phonedock.exe" "${PROGRAM}"
    File "/oname=VOCETTA.DLL" "${DEVICE_LIBRARY}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        DetailPrint "The program's files could not be written to $INSTDIR"
        SetErrorLevel 2
        Abort
    ${EndIf}

    CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\phonedock.exe" "" "$INSTDIR\phonedock.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\phonedock.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; The logon choice is this install's: the section below writes the value again when it is chosen.
    DeleteRegValue HKCU "${RUN_KEY}" "${APP_ID}"
SectionEnd

Section /o "Start at logon" SEC_START_AT_LOGON
    WriteRegStr HKCU "${RUN_KEY}" "${APP_ID}" '"$INSTDIR\phonedock.exe"'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SEC_START_AT_LOGON} "Start phonedock each time you log on to Windows."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    SetShellVarContext current
    ; Keep an earlier install's choice unless the command line makes one.
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP_ID}"
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SEC_START_AT_LOGON}
    ${EndIf}

    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/STARTATLOGON" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == ""
        ${OrIf} $R1 == "=1"
            !insertmacro SelectSection ${SEC_START_AT_LOGON}
        ${ElseIf} $R1 == "=0"
            !insertmacro UnselectSection ${SEC_START_AT_LOGON}
        ${Else}
            MessageBox MB_OK|MB_ICONSTOP "Unknown switch /STARTATLOGON$R1: ${LOGON_SWITCH_TEXT}" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Uninstall"
    Call un.ReleaseProgramFiles
    Delete "$INSTDIR\uninstall.exe"
    ; Only an empty folder is removed: whatever else the user put there stays.
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${APP_ID}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
