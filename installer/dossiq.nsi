; Installer of Dossiq: VantorManager.exe, dossiqshell.dll, the console program dossiq.exe and
; the manual signer.pdf in one program folder (put on the mode's PATH), either for all users (Program Files, machine-wide registration, needs
; administrator rights) or for the current user only (the user's program folder, per-user
; registration, no administrator rights).
;
; Built by the CMake target "installer":
;   makensis -DVERSION=1.1.0 -DMANAGER_EXE=... -DSHELL_DLL=... -DCONSOLE_EXE=...
;            -DSHELL_RUN_EXE=... -DMANUAL_PDF=... -DOUTFILE=...
;            [-DSIGN_SCRIPT=...]
; SIGN_SCRIPT signs the file given as its argument in place (Authenticode): the uninstaller
; before it is packed, the installer when it is written.
; Command line of the result: /S silent, /AllUsers or /CurrentUser, /D=folder (last).

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!ifndef VERSION | MANAGER_EXE | SHELL_DLL | CONSOLE_EXE | SHELL_RUN_EXE | MANUAL_PDF | OUTFILE
    !error "VERSION, MANAGER_EXE, SHELL_DLL, CONSOLE_EXE, SHELL_RUN_EXE, MANUAL_PDF and OUTFILE must be defined"
!endif
!ifdef SIGN_SCRIPT
    !uninstfinalize 'bash "${SIGN_SCRIPT}" "%1"' = 0
    !finalize 'bash "${SIGN_SCRIPT}" "%1"' = 0
!endif

!define PRODUCT "Dossiq"
!define PUBLISHER "Korvane"
!define UNINSTALL_PARENT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY "${UNINSTALL_PARENT}\Dossiq"
!define CLASSES "Software\Classes"
!define SIGNED_PROGID "Dossiq.SignedDocument"
!define PROTECTED_PROGID "Dossiq.ProtectedDocument"
; Icon resources of VantorManager.exe for the two file types.
!define SIGNED_ICON 211
!define PROTECTED_ICON 212
!define STARTMENU_FOLDER "Dossiq"
; Where the PATH of each mode lives.
!define USER_ENVIRONMENT "Environment"
!define SYSTEM_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; Registered by Windows Installer while the package dossiq-<version>.msi is installed (its
; upgrade code {BA4F4577-0496-4EB0-9153-448B0B515AB8}, packed).
!define MSI_UPGRADE_KEY "Software\Classes\Installer\UpgradeCodes\7754F4AB69400BE4193544B8B015A58B"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright © ${PUBLISHER}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
; A repeated installation goes to the folder of the previous one of the same mode.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
; The uninstaller finds its mode itself (un.onInit).
!define MULTIUSER_NOUNINSTALL
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${__FILEDIR__}/../resources/manager/icons/manager.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/manager/icons/manager.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Vantor Manager"
!define MUI_FINISHPAGE_RUN_FUNCTION StartManager
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\signer.pdf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the user manual"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; The installer runs elevated; a manager started from it directly would too, and would then
; refuse files dragged from the Explorer. The desktop's Explorer starts it with the user's
; normal rights instead (shell_run.exe).
Function StartManager
    InitPluginsDir
    File "/oname=$PLUGINSDIR\shell_run.exe" "${SHELL_RUN_EXE}"
    ExecWait '"$PLUGINSDIR\shell_run.exe" "$INSTDIR\VantorManager.exe" "$INSTDIR"' $0
    ${If} $0 != 0
        MessageBox MB_OK|MB_ICONINFORMATION "Vantor Manager could not be started from the installer. Start it from the Start menu." /SD IDOK
    ${EndIf}
FunctionEnd

Var InstallMode  ; AllUsers or CurrentUser, in the installer and the uninstaller alike

Function .onInit
    ; MultiUser sets its default folder over one given with /D=; the user's choice wins.
    StrCpy $0 $INSTDIR
    !insertmacro MULTIUSER_INIT
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

; regsvr32 of the platform, in the mode's registration: machine-wide through
; DllRegisterServer, per-user through DllInstall with "user". $0 = "" or "/u"; exit code in $1.
!macro RunRegsvr32 UN
Function ${UN}RunRegsvr32
    ClearErrors
    ${If} $InstallMode == "AllUsers"
        ExecWait '"$SYSDIR\regsvr32.exe" /s $0 "$INSTDIR\dossiqshell.dll"' $1
    ${Else}
        ExecWait '"$SYSDIR\regsvr32.exe" /s $0 /n /i:user "$INSTDIR\dossiqshell.dll"' $1
    ${EndIf}
    ${If} ${Errors}
        StrCpy $1 "not started"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RunRegsvr32 ""
!insertmacro RunRegsvr32 "un."

; Deletes a key of SHCTX that holds neither subkeys nor values. EnumRegKey fails only for a
; missing key; EnumRegValue fails when there is no value (the default value has an empty name).
!macro DeleteEmptyKey KEY
    ClearErrors
    EnumRegKey $0 SHCTX "${KEY}" 0
    ${IfNot} ${Errors}
    ${AndIf} $0 == ""
        EnumRegValue $0 SHCTX "${KEY}" 0
        ${If} ${Errors}
            DeleteRegKey /ifempty SHCTX "${KEY}"
        ${EndIf}
    ${EndIf}
!macroend

; RESULT := 1 when KEY of SHCTX does not exist, else 0.
!macro KeyMissing KEY RESULT
    ClearErrors
    EnumRegKey ${RESULT} SHCTX "${KEY}" 0
    ${If} ${Errors}
        StrCpy ${RESULT} 1
    ${Else}
        StrCpy ${RESULT} 0
    ${EndIf}
!macroend

; Associates an extension with its ProgId. A ProgId that owned the extension before is kept in
; our ProgId's key and given back by the uninstaller.
!macro AddFileType EXT PROGID DESCRIPTION ICON
    ReadRegStr $0 SHCTX "${CLASSES}\${EXT}" ""
    ${If} $0 != ""
    ${AndIf} $0 != "${PROGID}"
        WriteRegStr SHCTX "${CLASSES}\${PROGID}" "PreviousProgId" $0
    ${EndIf}
    WriteRegStr SHCTX "${CLASSES}\${EXT}" "" "${PROGID}"
    WriteRegStr SHCTX "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}" ""
    WriteRegStr SHCTX "${CLASSES}\${PROGID}" "" "${DESCRIPTION}"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\VantorManager.exe,-${ICON}"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell" "" "open"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\VantorManager.exe" "%1"'
!macroend

!macro RemoveFileType EXT PROGID
    ReadRegStr $0 SHCTX "${CLASSES}\${PROGID}" "PreviousProgId"
    ReadRegStr $1 SHCTX "${CLASSES}\${EXT}" ""
    ${If} $1 == "${PROGID}"
        ${If} $0 != ""
            WriteRegStr SHCTX "${CLASSES}\${EXT}" "" $0
        ${Else}
            DeleteRegValue SHCTX "${CLASSES}\${EXT}" ""
        ${EndIf}
    ${EndIf}
    DeleteRegValue SHCTX "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
    ; The extension's keys go only when nothing but our values was in them.
    !insertmacro DeleteEmptyKey "${CLASSES}\${EXT}\OpenWithProgids"
    !insertmacro DeleteEmptyKey "${CLASSES}\${EXT}"
    DeleteRegKey SHCTX "${CLASSES}\${PROGID}"
!macroend

; Reads the PATH of the installation's mode into $0; $1 := 1 when it can be changed without
; losing anything (it fits the installer's strings with the folder added), else 0.
!macro ReadPath UN
Function ${UN}ReadPath
    ${If} $InstallMode == "AllUsers"
        ReadRegStr $0 HKLM "${SYSTEM_ENVIRONMENT}" "Path"
    ${Else}
        ReadRegStr $0 HKCU "${USER_ENVIRONMENT}" "Path"
    ${EndIf}
    StrLen $1 $0
    StrLen $2 $INSTDIR
    IntOp $1 $1 + $2
    ${If} $1 < ${NSIS_MAX_STRLEN}
        StrCpy $1 1
    ${Else}
        StrCpy $1 0
    ${EndIf}
FunctionEnd

; Writes $0 as the mode's PATH (an emptied per-user PATH goes) and tells running programs.
Function ${UN}WritePath
    ${If} $InstallMode == "AllUsers"
        WriteRegExpandStr HKLM "${SYSTEM_ENVIRONMENT}" "Path" $0
    ${ElseIf} $0 == ""
        DeleteRegValue HKCU "${USER_ENVIRONMENT}" "Path"
    ${Else}
        WriteRegExpandStr HKCU "${USER_ENVIRONMENT}" "Path" $0
    ${EndIf}
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

; $0 := PATH $0 without its first entry that names $INSTDIR (with or without a closing
; backslash, in any letter case); $3 := 1 when there was one, else 0. Every other entry,
; empty ones too, stays as it was.
Function ${UN}RemovePathEntry
    StrCpy $3 0
    StrCpy $4 ""   ; the result
    StrCpy $5 ""   ; the entry being read
    StrCpy $6 0    ; position
    StrCpy $8 0    ; entries in the result
    ${Do}
        StrCpy $7 $0 1 $6
        ${If} $7 == ";"
        ${OrIf} $7 == ""
            ${If} $3 == 0
            ${AndIf} $5 == $INSTDIR
                StrCpy $3 1
            ${ElseIf} $3 == 0
            ${AndIf} $5 == "$INSTDIR\"
                StrCpy $3 1
            ${ElseIf} $8 == 0
                StrCpy $4 $5
                IntOp $8 $8 + 1
            ${Else}
                StrCpy $4 "$4;$5"
                IntOp $8 $8 + 1
            ${EndIf}
            StrCpy $5 ""
            ${IfThen} $7 == "" ${|} ${ExitDo} ${|}
        ${Else}
            StrCpy $5 "$5$7"
        ${EndIf}
        IntOp $6 $6 + 1
    ${Loop}
    ${If} $3 == 1
        StrCpy $0 $4
    ${EndIf}
FunctionEnd
!macroend
!insertmacro ReadPath ""
!insertmacro ReadPath "un."

Section "Dossiq" SecMain
    SectionIn RO
    StrCpy $InstallMode $MultiUser.InstallMode
    ; The MSI package installs into the same folder for all users.
    ${If} $InstallMode == "AllUsers"
        ClearErrors
        EnumRegKey $0 HKLM "${MSI_UPGRADE_KEY}" 0
        ${IfNot} ${Errors}
            MessageBox MB_OK|MB_ICONSTOP "Dossiq is already installed for all users by its Windows Installer package. Remove it first (Apps & features), or install just for you." /SD IDOK
            SetErrorLevel 3
            Quit
        ${EndIf}
    ${EndIf}
    SetOutPath "$INSTDIR"

    ; Parent keys that this installation (with the shell extension's registration) is the
    ; first to create; the uninstaller removes them again when they are left empty.
    !insertmacro KeyMissing "${UNINSTALL_PARENT}" $R1
    !insertmacro KeyMissing "${CLASSES}" $R2
    !insertmacro KeyMissing "${CLASSES}\CLSID" $R3
    !insertmacro KeyMissing "${CLASSES}\AppID" $R4

    ; Explorer may hold an older dossiqshell.dll: move it aside, it goes at the next restart.
    ${If} ${FileExists} "$INSTDIR\dossiqshell.dll"
        Delete "$INSTDIR\dossiqshell.dll"
        ${If} ${FileExists} "$INSTDIR\dossiqshell.dll"
            Delete "$INSTDIR\dossiqshell.dll.old"
            Rename "$INSTDIR\dossiqshell.dll" "$INSTDIR\dossiqshell.dll.old"
            Delete /REBOOTOK "$INSTDIR\dossiqshell.dll.old"
        ${EndIf}
    ${EndIf}
    File "/oname=VantorManager.exe" "${MANAGER_EXE}"
    File "/oname=dossiqshell.dll" "${SHELL_DLL}"
    File "/oname=dossiq.exe" "${CONSOLE_EXE}"
    File "/oname=signer.pdf" "${MANUAL_PDF}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VantorManager.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} $R1 == 1
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "CreatedUninstallParent" 1
    ${EndIf}
    ${If} $R2 == 1
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "CreatedClasses" 1
    ${EndIf}
    ${If} $R3 == 1
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "CreatedClassesCLSID" 1
    ${EndIf}
    ${If} $R4 == 1
        WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "CreatedClassesAppID" 1
    ${EndIf}

    !insertmacro AddFileType ".snx" "${SIGNED_PROGID}" "Signed Document" ${SIGNED_ICON}
    !insertmacro AddFileType ".pnx" "${PROTECTED_PROGID}" "Protected Document" ${PROTECTED_ICON}
    ; SHCNE_ASSOCCHANGED: Explorer picks up the new types and icons.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    CreateDirectory "$SMPROGRAMS\${STARTMENU_FOLDER}"
    CreateShortcut "$SMPROGRAMS\${STARTMENU_FOLDER}\Vantor Manager.lnk" "$INSTDIR\VantorManager.exe"
    CreateShortcut "$SMPROGRAMS\${STARTMENU_FOLDER}\Dossiq Manual.lnk" "$INSTDIR\signer.pdf"

    ; The console program on PATH, once; the uninstaller takes out only what was added here.
    Call ReadPath
    ${If} $1 == 1
        Call RemovePathEntry
        ${If} $3 == 0
            ${If} $0 == ""
                StrCpy $0 $INSTDIR
            ${Else}
                StrCpy $1 $0 1 -1
                ${If} $1 == ";"
                    StrCpy $0 "$0$INSTDIR"
                ${Else}
                    StrCpy $0 "$0;$INSTDIR"
                ${EndIf}
            ${EndIf}
            Call WritePath
            WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "AddedToPath" 1
        ${EndIf}
    ${Else}
        DetailPrint "PATH is too long to be changed safely: $INSTDIR was not added"
        MessageBox MB_OK|MB_ICONEXCLAMATION "PATH is too long to add the program folder safely. dossiq.exe is in $INSTDIR." /SD IDOK
    ${EndIf}

    StrCpy $0 ""
    Call RunRegsvr32
    ${If} $1 != 0
        ; The files and file types stay (the uninstaller removes them); the exit code tells.
        DetailPrint "Registering dossiqshell.dll failed: $1"
        MessageBox MB_OK|MB_ICONSTOP "The Explorer extension dossiqshell.dll could not be registered (regsvr32: $1)." /SD IDOK
        SetErrorLevel 2
    ${EndIf}
SectionEnd

Function un.onInit
    ; Installed for all users when the machine-wide registration names this folder.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        StrCpy $InstallMode "AllUsers"
        SetShellVarContext all
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_OK|MB_ICONSTOP "Dossiq was installed for all users: only an administrator can remove it." /SD IDOK
            SetErrorLevel 740
            Quit
        ${EndIf}
    ${Else}
        StrCpy $InstallMode "CurrentUser"
        SetShellVarContext current
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ReadRegDWORD $R1 SHCTX "${UNINSTALL_KEY}" "CreatedUninstallParent"
    ReadRegDWORD $R2 SHCTX "${UNINSTALL_KEY}" "CreatedClasses"
    ReadRegDWORD $R3 SHCTX "${UNINSTALL_KEY}" "CreatedClassesCLSID"
    ReadRegDWORD $R4 SHCTX "${UNINSTALL_KEY}" "CreatedClassesAppID"
    ReadRegDWORD $R5 SHCTX "${UNINSTALL_KEY}" "AddedToPath"

    ${If} $R5 == 1
        Call un.ReadPath
        ${If} $1 == 1
            Call un.RemovePathEntry
            ${If} $3 == 1
                Call un.WritePath
            ${EndIf}
        ${Else}
            DetailPrint "PATH is too long to be changed safely: remove $INSTDIR from it by hand"
        ${EndIf}
    ${EndIf}

    StrCpy $0 "/u"
    Call un.RunRegsvr32
    ${If} $1 != 0
        DetailPrint "Unregistering dossiqshell.dll failed: $1"
        SetErrorLevel 2
    ${EndIf}

    !insertmacro RemoveFileType ".snx" "${SIGNED_PROGID}"
    !insertmacro RemoveFileType ".pnx" "${PROTECTED_PROGID}"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

    Delete "$SMPROGRAMS\${STARTMENU_FOLDER}\Vantor Manager.lnk"
    Delete "$SMPROGRAMS\${STARTMENU_FOLDER}\Dossiq Manual.lnk"
    RMDir "$SMPROGRAMS\${STARTMENU_FOLDER}"

    ; Only our own files: the folder may have been chosen by the user and hold others.
    Delete "$INSTDIR\VantorManager.exe"
    Delete "$INSTDIR\dossiq.exe"
    Delete /REBOOTOK "$INSTDIR\dossiqshell.dll"
    Delete /REBOOTOK "$INSTDIR\dossiqshell.dll.old"
    Delete "$INSTDIR\signer.pdf"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"

    ; Only the registration that belongs to this folder.
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${EndIf}

    ; The parents that the installation created, when nothing else has come into them.
    ${If} $R1 == 1
        !insertmacro DeleteEmptyKey "${UNINSTALL_PARENT}"
    ${EndIf}
    ${If} $R3 == 1
        !insertmacro DeleteEmptyKey "${CLASSES}\CLSID"
    ${EndIf}
    ${If} $R4 == 1
        !insertmacro DeleteEmptyKey "${CLASSES}\AppID"
    ${EndIf}
    ${If} $R2 == 1
        !insertmacro DeleteEmptyKey "${CLASSES}"
    ${EndIf}
SectionEnd
