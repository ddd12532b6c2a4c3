; The Folvane setup program. It installs for the current user without administrator rights, or
; for all users with /ALLUSERS when run elevated. It registers nothing: Folvane.exe finds its
; viewer control through its embedded manifest. The files it installs are listed in the install
; folder, so that an upgrade and the uninstaller remove exactly those and leave the user's own.
; make-release.sh gives VERSION, FILES (the staged files as an install macro), LIST (their
; list), LEGACY_LIST (the files of 1.0.0, which kept no list), SIZE_KB, ICON, OUTFILE, and SIGN
; (a command that signs a file) when the release is signed.
Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include ${FILES}

!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!define CLASS_KEY "Software\Classes\CLSID\{CA8A9780-280D-11CF-A24D-444553540000}"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvane"
!define LIST_NAME "installed-files.txt"
; Exit codes of the setup program and the uninstaller, for callers of the silent mode (the
; README lists them). Each of them means that nothing was changed, except EXIT_FILES_LEFT.
!define EXIT_NOT_ADMIN 4
!define EXIT_RUNNING 5
!define EXIT_FILES_LEFT 6

Name "Folvane ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
; No InstallDir: an empty $INSTDIR in .onInit means that no /D= was given.
BrandingText "Folvane ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Folvane"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Folvane ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "Folvane"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 the Folvane developers. GNU GPL; see the licences folder."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers
Var OldDir
Var Left

; Runs FUNC for each line of the file list LIST, with the folder FOLDER in $R0 and the line in
; $R2. A list is data found on disk: a line that is not a plain relative path is skipped, so a
; tampered list cannot reach outside the folder.
!macro ForEachListed UN FOLDER LIST FUNC
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R0 "${FOLDER}"
  ClearErrors
  FileOpen $R1 "${LIST}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileRead $R1 $R2 1024
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      Call ${UN}TrimLine
      Call ${UN}IsPlainPath
      Pop $0
      ${If} $0 == 1
        Call ${UN}${FUNC}
      ${EndIf}
    ${Loop}
    FileClose $R1
  ${EndIf}
  Pop $R2
  Pop $R1
  Pop $R0
!macroend

!macro ListFunctions UN
  Function ${UN}TrimLine
    ${Do}
      StrCpy $0 $R2 1 -1
      ${If} $0 == "$\r"
      ${OrIf} $0 == "$\n"
        StrCpy $R2 $R2 -1
      ${Else}
        ${Break}
      ${EndIf}
    ${Loop}
  FunctionEnd

  ; Pushes 1 for a relative path without drive, "..", or a leading backslash; 0 otherwise.
  Function ${UN}IsPlainPath
    StrCpy $0 $R2 1
    ${If} $R2 == ""
    ${OrIf} $0 == "\"
    ${OrIf} $0 == "/"
      Push 0
      Return
    ${EndIf}
    StrLen $1 $R2
    StrCpy $2 0
    ${Do}
      ${If} $2 >= $1
        Push 1
        Return
      ${EndIf}
      StrCpy $0 $R2 1 $2
      StrCpy $3 $R2 2 $2
      ${If} $0 == ":"
      ${OrIf} $3 == ".."
        Push 0
        Return
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
  FunctionEnd

  ; A listed program or library that cannot be opened for writing is in use: a copy of
  ; Folvane (or its worker) is running from the folder. The uninstaller itself is left out,
  ; since its first stage may still be ending.
  Function ${UN}CheckInUse
    StrCpy $0 $R2 4 -4
    ${If} $0 != ".exe"
    ${AndIf} $0 != ".dll"
      Return
    ${EndIf}
    ${If} $R2 == "Uninstall.exe"
    ${OrIfNot} ${FileExists} "$R0\$R2"
      Return
    ${EndIf}
    ClearErrors
    FileOpen $0 "$R0\$R2" a
    ${If} ${Errors}
      StrCpy $Left "$R0\$R2"
    ${Else}
      FileClose $0
    ${EndIf}
  FunctionEnd

  ; Files first, then the folders (listed with a closing backslash, deepest first), each
  ; folder only when empty. $Left counts the files that stay.
  Function ${UN}RemoveListed
    StrCpy $0 $R2 1 -1
    ${If} $0 == "\"
      RMDir "$R0\$R2"
    ${Else}
      Delete "$R0\$R2"
      ${If} ${FileExists} "$R0\$R2"
        IntOp $Left $Left + 1
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; Stops before anything changes while Folvane runs from FOLDER (in $R3) with the files of
  ; the list in $R4: asks the user to close it, or ends the silent run with EXIT_RUNNING.
  Function ${UN}WaitUntilClosed
    ${Do}
      StrCpy $Left ""
      !insertmacro ForEachListed "${UN}" $R3 $R4 CheckInUse
      ${If} $Left == ""
        Return
      ${EndIf}
      ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Folvane is running from $R3 ($Left is in use).$\n$\nClose Folvane, then choose Retry." /SD IDCANCEL IDRETRY`
        SetErrorLevel ${EXIT_RUNNING}
        Quit
      ${EndIf}
    ${Loop}
  FunctionEnd
!macroend
!insertmacro ListFunctions ""
!insertmacro ListFunctions "un."

; The list of an installed copy: its own, or for a copy of 1.0.0, which kept none, what 1.0.0
; installed. Sets $R4.
Function FindList
  ${If} ${FileExists} "$R3\${LIST_NAME}"
    StrCpy $R4 "$R3\${LIST_NAME}"
  ${Else}
    InitPluginsDir
    File "/oname=$PLUGINSDIR\legacy-files.txt" "${LEGACY_LIST}"
    StrCpy $R4 "$PLUGINSDIR\legacy-files.txt"
  ${EndIf}
FunctionEnd

; Old files that could not be removed (a program started meanwhile) stop the upgrade before
; any new file is written; the old list and entry stay, so that setup can be run again.
Function StopIfFilesLeft
  ${If} $Left != 0
    MessageBox MB_OK|MB_ICONSTOP "$Left of Folvane's files could not be replaced. Close any program that uses them and run setup again." /SD IDOK
    SetErrorLevel ${EXIT_FILES_LEFT}
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $0
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}

  UserInfo::GetAccountType
  Pop $1
  ${If} $AllUsers == 0
  ${AndIf} $1 == "Admin"
  ${AndIfNot} ${Silent}
  ${AndIf} $INSTDIR == ""
    MessageBox MB_YESNO|MB_ICONQUESTION "Install Folvane for all users of this computer?$\n$\nChoose No to install it for you alone." IDNO +2
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} $AllUsers == 1
  ${AndIf} $1 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing Folvane for all users needs administrator rights.$\n$\nRun the setup program as administrator, or without /ALLUSERS to install it for yourself." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}

  ; The context decides the Start menu and the uninstall entry (SHCTX): the user's or the
  ; machine's. The folder is chosen after it, since $LOCALAPPDATA follows it too.
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $2 "$PROGRAMFILES\Folvane"
  ${Else}
    SetShellVarContext current
    StrCpy $2 "$LOCALAPPDATA\Programs\Folvane"
  ${EndIf}
  ReadRegStr $OldDir SHCTX "${UNINST_KEY}" "InstallLocation"
  ; /D= wins; otherwise an installed copy is upgraded where it is.
  ${If} $INSTDIR == ""
    ${If} $OldDir != ""
      StrCpy $INSTDIR $OldDir
    ${Else}
      StrCpy $INSTDIR $2
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Folvane"
  ; Nothing changes while a copy runs from the old folder or the new one.
  ${If} $OldDir != ""
    StrCpy $R3 $OldDir
    Call FindList
    Call WaitUntilClosed
  ${EndIf}
  ${If} $INSTDIR != $OldDir
  ${AndIf} ${FileExists} "$INSTDIR\${LIST_NAME}"
    StrCpy $R3 $INSTDIR
    Call FindList
    Call WaitUntilClosed
  ${EndIf}

  ; The old copy's files go first, so that what the new version no longer ships goes with
  ; them and no old file stays beside new ones; files the user put there stay.
  ${If} $OldDir != ""
    StrCpy $R3 $OldDir
    Call FindList
    ; 1.0.0 registered the control for the user (machine-wide for all users): that
    ; registration goes, but only when it is ours, for the folder being upgraded.
    ReadRegStr $0 SHCTX "${CLASS_KEY}\InprocServer32" ""
    ${If} $0 == "$OldDir\PdfControl.dll"
      DeleteRegKey SHCTX "${CLASS_KEY}"
    ${EndIf}
    StrCpy $Left 0
    !insertmacro ForEachListed "" $R3 $R4 RemoveListed
    Call StopIfFilesLeft
    Delete "$OldDir\${LIST_NAME}"
    RMDir "$OldDir"
  ${EndIf}
  ${If} $INSTDIR != $OldDir
  ${AndIf} ${FileExists} "$INSTDIR\${LIST_NAME}"
    StrCpy $Left 0
    !insertmacro ForEachListed "" $INSTDIR "$INSTDIR\${LIST_NAME}" RemoveListed
    Call StopIfFilesLeft
  ${EndIf}

  !insertmacro FolvaneInstallFiles
  SetOutPath "$INSTDIR"
  File "/oname=${LIST_NAME}" "${LIST}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut starts the program in the user's documents, where the explorer opens.
  ${If} ${FileExists} "$DOCUMENTS\*.*"
    SetOutPath "$DOCUMENTS"
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Folvane.lnk" "$INSTDIR\Folvane.exe" "" "$INSTDIR\Folvane.exe" 0
  SetOutPath "$INSTDIR"

  ; Our files only: the staged ones and the uninstaller, not what the user keeps there.
  FileOpen $0 "$INSTDIR\Uninstall.exe" r
  FileSeek $0 0 END $4
  FileClose $0
  IntOp $4 $4 / 1024
  IntOp $4 $4 + ${SIZE_KB}
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "Folvane"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Folvane.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "Folvane"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $4
SectionEnd

; After an all-users install setup runs elevated: the desktop's shell starts the program, so
; that it runs as the user and not as administrator.
Function RunProgram
  ${If} $AllUsers == 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Folvane.exe"'
  ${Else}
    Exec '"$INSTDIR\Folvane.exe"'
  ${EndIf}
FunctionEnd

Function un.onInit
  ; Installed for all users when the machine's uninstall entry names this folder.
  ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $1 != $INSTDIR
    StrCpy $AllUsers 0
    SetShellVarContext current
    Return
  ${EndIf}
  StrCpy $AllUsers 1
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 == "Admin"
    Return
  ${EndIf}
  ${If} ${Silent}
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  ; Ask for elevation: run this uninstaller again as administrator and end with its exit code.
  ; SHELLEXECUTEINFOW (60 bytes) with SEE_MASK_NOCLOSEPROCESS and the "runas" verb.
  System::Call '*(i 60, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w "_?=$INSTDIR", p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r2'
  System::Call 'shell32::ShellExecuteExW(p r2) i .r3'
  StrCpy $5 ${EXIT_NOT_ADMIN}
  ${If} $3 != 0
    System::Call '*$2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r4)'
    System::Call 'kernel32::WaitForSingleObject(p r4, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p r4, *i .r5)'
    System::Call 'kernel32::CloseHandle(p r4)'
  ${EndIf}
  System::Free $2
  SetErrorLevel $5
  Quit
FunctionEnd

Section "Uninstall"
  ; Without the folder's list, the files that this version installed.
  StrCpy $R3 $INSTDIR
  StrCpy $R4 "$INSTDIR\${LIST_NAME}"
  ${IfNot} ${FileExists} $R4
    InitPluginsDir
    File "/oname=$PLUGINSDIR\${LIST_NAME}" "${LIST}"
    StrCpy $R4 "$PLUGINSDIR\${LIST_NAME}"
  ${EndIf}
  Call un.WaitUntilClosed
  Delete "$SMPROGRAMS\Folvane.lnk"
  ; The list goes last, and the entry only with it: an uninstall that could not remove every
  ; file can be run again.
  StrCpy $Left 0
  !insertmacro ForEachListed "un." $R3 $R4 RemoveListed
  ${If} $Left != 0
    MessageBox MB_OK|MB_ICONSTOP "$Left of Folvane's files in $INSTDIR could not be removed. Close any program that uses them and run the uninstaller again." /SD IDOK
    SetErrorLevel ${EXIT_FILES_LEFT}
    Quit
  ${EndIf}
  Delete "$INSTDIR\${LIST_NAME}"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd
