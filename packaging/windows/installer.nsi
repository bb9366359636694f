; Velor's installer for Windows: per user, without administrator rights, in Czech.
; Built by package.sh with -DVERSION, -DSTAGE (the folder of programs), -DFILES (the
; uninstaller's list of them), -DICON and -DOUTFILE.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestSupportedOS all
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Velor Tarnix Line 2"
!define PUBLISHER "Velor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velor"
; The program's single-instance mutex: while it exists, Velor runs and its files are in use.
!define RUNNING_MUTEX "KopieProgramuDorvina"
!define SHORTCUT_PROGRAM "$SMPROGRAMS\Velor Tarnix Line 2.lnk"
!define SHORTCUT_SIMULATOR "$SMPROGRAMS\Velor – simulátor modulů.lnk"
; The user's files: COM.CFG, KonfigA.cfa, KonfigB.cfb and ParamIOI.cfw live in the folder the
; program starts in, and the program folder is no place for them.
!define DATA_DIR "$DOCUMENTS\Velor"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velor"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Velor ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Průvodce nainstaluje program ${PRODUCT} ${VERSION} pro váš uživatelský účet; práva správce nejsou potřeba.$\r$\n$\r$\nSoubory konfigurace (COM.CFG, KonfigA.cfa, KonfigB.cfb, ParamIOI.cfw) budou ve složce Dokumenty\Velor, ve které program startuje.$\r$\n$\r$\nPokračujte tlačítkem Další."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Spustit ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Program ${PRODUCT} bude odebrán z počítače. Složka s daty ${DATA_DIR} zůstane zachována: jsou v ní vaše konfigurace."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Czech"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_CZECH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_CZECH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_CZECH} "FileDescription" "Instalace programu ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_CZECH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_CZECH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_CZECH} "LegalCopyright" "© ${PUBLISHER}"

; Files of a running copy cannot be replaced or removed: the user is asked to end it first.
; In silent mode the answer is Cancel, and the installer ends with an error code.
!macro WaitUntilNotRunning un
Function ${un}WaitUntilNotRunning
    ${Do}
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
        ${If} $0 P= 0
            Return
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Program ${PRODUCT} běží. Ukončete jej a zvolte Opakovat." /SD IDCANCEL IDRETRY again
        SetErrorLevel 2
        Quit
        again:
    ${Loop}
FunctionEnd
!macroend
!insertmacro WaitUntilNotRunning ""
!insertmacro WaitUntilNotRunning "un."

Function .onInit
    Call WaitUntilNotRunning
FunctionEnd

Function un.onInit
    Call un.WaitUntilNotRunning
FunctionEnd

; As the Start menu entry starts it: in the data folder.
Function StartProgram
    SetOutPath "${DATA_DIR}"
    Exec '"$INSTDIR\velor.exe"'
FunctionEnd

Section "Velor"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The data folder, with the example sensor table unless the user has one.
    CreateDirectory "${DATA_DIR}"
    SetOutPath "${DATA_DIR}"
    SetOverwrite off
    File "${STAGE}\ParamIOI.cfw"
    SetOverwrite on

    ; The output folder is the shortcuts' working folder: both start in the data folder.
    CreateShortCut "${SHORTCUT_PROGRAM}" "$INSTDIR\velor.exe" "" "$INSTDIR\velor.exe" 0 \
        SW_SHOWNORMAL "" "Servisní program modulů TARNIX Line 2"
    CreateShortCut "${SHORTCUT_SIMULATOR}" "$INSTDIR\velor-modsim.exe" "--tcp 127.0.0.1:10000" \
        "$INSTDIR\velor-modsim.exe" 0 SW_SHOWNORMAL "" \
        "Simulátor modulů s ukázkovou sběrnicí na 127.0.0.1:10000, pro nácvik"
    SetOutPath "$INSTDIR"

    ; The entry of the system's list of programs.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velor.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "${SHORTCUT_PROGRAM}"
    Delete "${SHORTCUT_SIMULATOR}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DetailPrint "Složka s daty ${DATA_DIR} zůstala zachována."
    MessageBox MB_OK|MB_ICONINFORMATION "Program ${PRODUCT} byl odebrán.$\r$\n$\r$\nSložka s daty ${DATA_DIR} zůstala zachována: jsou v ní vaše konfigurace. Nepotřebujete-li je, smažte ji sami." /SD IDOK
SectionEnd
