; The Folvane setup program. It installs for the current user without administrator rights
; (or for all users with /ALLUSERS, when run elevated), registers the viewer control where it
; installed, and writes an uninstaller that removes exactly what it added. make-release.sh
; gives VERSION, FILES (the staged files as install and remove macros), ICON and OUTFILE.
Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include ${FILES}

!define CLASS_KEY "CLSID\{CA8A9780-280D-11CF-A24D-444553540000}"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvane"
!define USER_DIR "$LOCALAPPDATA\Programs\Folvane"
; Exit codes for a caller of the silent setup.
!define EXIT_FOREIGN_CONTROL 3
!define EXIT_NOT_ADMIN 4
!define EXIT_REGISTRATION 5

Name "Folvane ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "${USER_DIR}"
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
VIAddVersionKey /LANG=1033 "LegalCopyright" "See the licences folder"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Folvane.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers
Var Force

; Whether a classes key holds another control under our class ID: a server key without the
; mark that our own registration leaves.
!macro ForeignIn ROOT RESULT
  ClearErrors
  ReadRegStr $R9 ${ROOT} "Software\Classes\${CLASS_KEY}" "FolvaneStandIn"
  ${If} ${Errors}
    ClearErrors
    EnumRegKey $R9 ${ROOT} "Software\Classes\${CLASS_KEY}\InprocServer32" 0
    ${IfNot} ${Errors}
      StrCpy ${RESULT} 1
    ${EndIf}
    ClearErrors
    EnumRegKey $R9 ${ROOT} "Software\Classes\${CLASS_KEY}\LocalServer32" 0
    ${IfNot} ${Errors}
      StrCpy ${RESULT} 1
    ${EndIf}
  ${EndIf}
!macroend

Function .onInit
  ${GetParameters} $0
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  StrCpy $Force 0
  ClearErrors
  ${GetOptions} $0 "/FORCE" $1
  ${IfNot} ${Errors}
    StrCpy $Force 1
  ${EndIf}

  UserInfo::GetAccountType
  Pop $1
  ${If} $AllUsers == 0
  ${AndIf} $1 == "Admin"
  ${AndIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION "Install Folvane for all users of this computer?$\n$\nChoose No to install it for you alone." IDNO +2
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} $AllUsers == 1
  ${AndIf} $1 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing Folvane for all users needs administrator rights.$\n$\nRun the setup program as administrator, or without /ALLUSERS to install it for yourself." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}

  ; An installed copy is upgraded where it is.
  ${If} $AllUsers == 1
    SetShellVarContext all
    ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $INSTDIR == "${USER_DIR}"
      StrCpy $INSTDIR "$PROGRAMFILES\Folvane"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ReadRegStr $1 HKCU "${UNINST_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $1 != ""
    StrCpy $INSTDIR $1
  ${EndIf}

  ; Another control registered under the class ID is left alone unless asked.
  StrCpy $2 0
  !insertmacro ForeignIn HKCU $2
  !insertmacro ForeignIn HKLM $2
  ${If} $2 == 1
  ${AndIf} $Force == 0
    MessageBox MB_OK|MB_ICONSTOP "Another PDF viewer control is already registered on this computer under the class ID that Folvane's viewer control uses.$\n$\nSetup leaves it in place and stops. To install Folvane anyway and let its control take that place, run setup with /FORCE." /SD IDOK
    SetErrorLevel ${EXIT_FOREIGN_CONTROL}
    Quit
  ${EndIf}
FunctionEnd

Section "Folvane"
  !insertmacro FolvaneInstallFiles
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The control registers itself: for the user in their own classes, for all users machine-wide.
  ${If} $AllUsers == 1
    StrCpy $1 ""
  ${Else}
    StrCpy $1 "user"
  ${EndIf}
  ${If} $Force == 1
    StrCpy $1 "$1,force"
  ${EndIf}
  ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:$1 "$INSTDIR\PdfControl.dll"' $0
  ${If} $0 != 0
    !insertmacro FolvaneRemoveFiles
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    MessageBox MB_OK|MB_ICONSTOP "The PDF viewer control could not be registered (regsvr32 ended with $0). Folvane was not installed." /SD IDOK
    SetErrorLevel ${EXIT_REGISTRATION}
    Quit
  ${EndIf}

  ; The shortcut starts the program in the user's documents, where the explorer opens.
  ${If} ${FileExists} "$DOCUMENTS\*.*"
    SetOutPath "$DOCUMENTS"
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Folvane.lnk" "$INSTDIR\Folvane.exe" "" "$INSTDIR\Folvane.exe" 0
  SetOutPath "$INSTDIR"

  ${GetSize} "$INSTDIR" "/S=0K" $4 $5 $6
  ; SHCTX follows SetShellVarContext: HKCU for the user, HKLM for all users.
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

Function un.onInit
  ; Installed for all users when the machine's uninstall entry names this folder.
  ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
    StrCpy $AllUsers 1
    SetShellVarContext all
  ${Else}
    StrCpy $AllUsers 0
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} $AllUsers == 1
    StrCpy $1 ""
  ${Else}
    StrCpy $1 "user"
  ${EndIf}
  ; Unregistering leaves another control's registration alone.
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:$1 "$INSTDIR\PdfControl.dll"'
  Delete "$SMPROGRAMS\Folvane.lnk"
  !insertmacro FolvaneRemoveFiles
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINST_KEY}"
SectionEnd
