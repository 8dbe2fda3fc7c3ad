; The Varnocketile installer.
;
; Installs the plug-in for 64-bit hosts (the ARM64 one on ARM64 Windows, the x64 one elsewhere),
; for 32-bit hosts, or both, each into a host's plug-ins folder; creates the data folder that every user may write (the plug-in keeps its preferences
; there); points the plug-in at that folder through the install key, in both registry views,
; because the 32-bit plug-in reads the 32-bit view; and registers an uninstaller.
;
; Built by dist/package:
;   makensis -DVERSION=1.2.3 -DDLL64=x64.8bs -DDLL32=x86.8bs -DDLLA64=arm64.8bs
;            -DLICENSE=LICENSE.txt -DOUTFILE=setup.exe dist/installer.nsi
;
; setup.exe /S installs both plug-ins into the default folders without asking.
; Uninstall.exe /S removes the plug-ins, the install key and itself and keeps the data folder;
; /REMOVEDATA removes the plug-in's files from the data folder too (and the folder, when empty).
;
; Exit codes: 0 done, 1 cancelled, 2 stopped by an error (nothing further changed), 3 done, but
; the data folder could not be opened to every user.

!macro Require SYMBOL
  !ifndef ${SYMBOL}
    !error "give ${SYMBOL} with -D${SYMBOL}=..."
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require DLL64
!insertmacro Require DLL32
!insertmacro Require DLLA64
!insertmacro Require LICENSE
!insertmacro Require OUTFILE

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
AllowSkipFiles off

!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh
!include MUI2.nsh

!define PRODUCT "Varnocketile"
!define PUBLISHER "the Varnocketile Team"
!define PLUGIN_FILE "Varnocketile.8bs"
; The plug-in takes the first value of this key as its install directory, with its trailing
; backslash, and puts its preferences file there.
!define INSTALL_KEY "Software\Morvelan_Path"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnocketile"
; Built-in Users, by SID so that it works in every language of Windows.
!define USERS_SID "*S-1-5-32-545"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"

Var Dir64
Var Dir32
Var DataDir

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckComponents
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_HEADER_TEXT "Folder for 64-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where current 64-bit image editors look for plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in for 64-bit hosts goes into this folder. Choose another host's plug-ins folder if you like."
!define MUI_DIRECTORYPAGE_VARIABLE $Dir64
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnless64
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "Folder for 32-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where older 32-bit image editors look for plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in for 32-bit hosts goes into this folder. Choose another host's plug-ins folder if you like."
!define MUI_DIRECTORYPAGE_VARIABLE $Dir32
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnless32
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolders
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---- shared by the installer and the uninstaller -------------------------------------------------

; Deletes a file that is there; a file that stays (a host has the plug-in loaded) stops the run
; before anything else changes, so that it can simply be run again.
!macro RemoveFileOrStop FILE
  ${If} ${FileExists} "${FILE}"
    Delete "${FILE}"
    ${If} ${FileExists} "${FILE}"
      MessageBox MB_OK|MB_ICONSTOP "Cannot remove ${FILE}.$\r$\nClose every program that uses the plug-in and try again." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
!macroend

; Removes a plug-in that the uninstall entry lists, and the folder the installer made for it
; (only when empty: a host's own folder is never taken away).
!macro RemoveRecordedPlugin VALUE
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "${VALUE}"
  ${If} $0 != ""
    !insertmacro RemoveFileOrStop "$0"
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "${VALUE}Folder"
  ${If} $0 != ""
    RMDir "$0"
  ${EndIf}
!macroend

!macro UseNativeRegistryView
  ${If} ${RunningX64}
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; ---- installer -------------------------------------------------------------------------------

Section "-Previous release"
  !insertmacro UseNativeRegistryView
  !insertmacro RemoveRecordedPlugin "Plugin64"
  !insertmacro RemoveRecordedPlugin "Plugin32"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

!macro InstallPlugin SOURCE DIR VALUE
  ${IfNot} ${FileExists} "${DIR}\*.*"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}Folder" "${DIR}"
  ${EndIf}
  SetOutPath "${DIR}"
  File "/oname=${PLUGIN_FILE}" "${SOURCE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}" "${DIR}\${PLUGIN_FILE}"
!macroend

; A native ARM64 host loads ARM64 plug-ins only.
Section "Plug-in for 64-bit hosts" SecX64
  !insertmacro UseNativeRegistryView
  ${If} ${IsNativeARM64}
    !insertmacro InstallPlugin "${DLLA64}" $Dir64 "Plugin64"
  ${Else}
    !insertmacro InstallPlugin "${DLL64}" $Dir64 "Plugin64"
  ${EndIf}
SectionEnd

Section "Plug-in for 32-bit hosts (older)" SecX86
  !insertmacro UseNativeRegistryView
  !insertmacro InstallPlugin "${DLL32}" $Dir32 "Plugin32"
SectionEnd

!macro WriteInstallKey VIEW
  SetRegView ${VIEW}
  DeleteRegKey HKLM "${INSTALL_KEY}"
  ClearErrors
  WriteRegStr HKLM "${INSTALL_KEY}" "" "$DataDir\"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Cannot write HKEY_LOCAL_MACHINE\${INSTALL_KEY} (${VIEW}-bit view)." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

Section "-Data folder, install key and uninstaller"
  CreateDirectory "$DataDir"
  ${IfNot} ${FileExists} "$DataDir\*.*"
    MessageBox MB_OK|MB_ICONSTOP "Cannot create the folder $DataDir." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; Standard users must be able to create and replace the preferences file.
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$DataDir" /grant ${USERS_SID}:(OI)(CI)M /T /Q'
  Pop $0
  ${If} $0 != 0
    DetailPrint "icacls gave $0: users other than administrators may not keep their settings."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Cannot open $DataDir to every user (icacls gave $0).$\r$\nThe plug-in works, but only administrators' settings will be remembered." /SD IDOK
    SetErrorLevel 3
  ${EndIf}

  ; The key's only value, so that it is the first, in both views.
  !insertmacro WriteInstallKey 64
  !insertmacro WriteInstallKey 32

  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  !insertmacro UseNativeRegistryView
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DataFolder" "$DataDir"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecX64} $0
  SectionGetSize ${SecX86} $1
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing ${PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  SetShellVarContext all
  StrCpy $DataDir "$APPDATA\${PRODUCT}"
  StrCpy $Dir64 "$COMMONFILES64\Adobe\Plug-Ins\CC\${PRODUCT}"
  StrCpy $Dir32 "$COMMONFILES32\Adobe\Plug-Ins\CS6\${PRODUCT}"
  ${IfNot} ${RunningX64}
    !insertmacro UnselectSection ${SecX64}
    !insertmacro SetSectionFlag ${SecX64} ${SF_RO}
  ${EndIf}
  ; A new release goes where the last one went.
  !insertmacro UseNativeRegistryView
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Plugin64"
  ${If} $0 != ""
    ${GetParent} $0 $Dir64
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Plugin32"
  ${If} $0 != ""
    ${GetParent} $0 $Dir32
  ${EndIf}
FunctionEnd

Function CheckComponents
  ${IfNot} ${SectionIsSelected} ${SecX64}
  ${AndIfNot} ${SectionIsSelected} ${SecX86}
    MessageBox MB_OK|MB_ICONEXCLAMATION "Choose at least one of the two plug-ins."
    Abort
  ${EndIf}
FunctionEnd

Function SkipUnless64
  ${IfNot} ${SectionIsSelected} ${SecX64}
    Abort
  ${EndIf}
FunctionEnd

Function SkipUnless32
  ${IfNot} ${SectionIsSelected} ${SecX86}
    Abort
  ${EndIf}
FunctionEnd

; Both plug-ins have the same file name: one folder cannot hold both.
Function CheckFolders
  ${If} ${SectionIsSelected} ${SecX64}
  ${AndIf} $Dir32 == $Dir64
    MessageBox MB_OK|MB_ICONEXCLAMATION "The two plug-ins need two folders: choose another folder for the 32-bit one."
    Abort
  ${EndIf}
FunctionEnd

; ---- uninstaller -----------------------------------------------------------------------------

Section "-un.Plug-ins, install key and uninstaller"
  !insertmacro UseNativeRegistryView
  !insertmacro RemoveRecordedPlugin "Plugin64"
  !insertmacro RemoveRecordedPlugin "Plugin32"
  SetRegView 64
  DeleteRegKey HKLM "${INSTALL_KEY}"
  SetRegView 32
  DeleteRegKey HKLM "${INSTALL_KEY}"
  !insertmacro UseNativeRegistryView
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

; Settings and run state stay unless asked for: the preferences file and the names of the
; plug-in's two working images (a stale file under either name is deleted whenever it runs).
; Whatever else someone put into the folder stays, and so does the folder then.
Section /o "un.Settings (the data folder)" UnSecData
  ${If} $DataDir != ""
    Delete "$DataDir\QUENpref.xxx"
    Delete "$DataDir\BackingS.xxx"
    Delete "$DataDir\MaskImag.xxx"
    RMDir "$DataDir"
  ${EndIf}
SectionEnd

Function un.onInit
  !insertmacro UseNativeRegistryView
  ReadRegStr $DataDir HKLM "${UNINSTALL_KEY}" "DataFolder"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecData}
  ${EndIf}
FunctionEnd
