; Example installer for the Oracle monitoring agents: copies the agents, then calls the installation exit TAVNOVU.dll to configure them.
;
; Build (the normal CMake build does this when makensis is found):
;   makensis -DARCH=x64 -DVERSION=1.0.0 -DDIST=<folder holding TAVNOVU.dll> -DOUTFILE=agents-x64.exe agents.nsi
; ARCH is x64 (with the 64-bit TAVNOVU.dll) or x86 (with the 32-bit one).
; VERSION is the installer's own version, the project's (CMake passes it).
;
; Command line of the installer:
;   /S                 silent install; needs /ANSWERS=
;   /ANSWERS=FILE      an answers file plays the dialogs (see README.md, "Unattended installs")
;   /SKIPCONFIG        install the agents, configure them later
;   /D=DIR             the install directory (last on the line, no quotes)
;
; Run over an earlier install (its Uninstall entry and uninstaller are there),
; it replaces the program files in that install's folder and keeps the
; configuration: TavSetUp is called with skip set.
; The uninstaller, DIR\uninstall.exe (/S: silent), removes what the installer
; installed and keeps the generated configuration (etc) and the logs.

;--- What this installer configures: the one place to change for another family.
!define PRODUCT_KEYWORD     "oracle"                  ; ora, oracle, sql, mssql, syb, sybase, informix, ...
!define AGENTS_VERSION      "3.01"                    ; the agents' version, in the parameter string
!define PRODUCT_DESCRIPTION "Oracle Monitoring Agent"
!define PRODUCT_NAME        "Veltra Oracle Monitoring Agents"

; The maker's key whose paths TAVNOVU reads before the environment's.
!define CONFIG_KEY "Software\Veltra\Common\CurrentVersion\Primary\Configuration"
; TAVNOVU splits the parameter string at blanks, so the setup log is named
; without a directory and written in the working directory, $INSTDIR\logs.
!define SETUP_LOG   "setup.log"
!define PARMS_ROOM  1024           ; bytes of the writable parameter buffer
!define PUBLISHER   "Veltra"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltraOracleAgents"

!ifndef ARCH
  !define ARCH x64
!endif
!ifndef DIST
  !error "DIST must name the folder that holds TAVNOVU.dll (cmake --install ... --strip)"
!endif
!ifndef VERSION
  !error "VERSION must be the installer's version, x.y.z (CMake passes the project's)"
!endif
!ifndef OUTFILE
  !define OUTFILE "agents-${ARCH}.exe"
!endif

Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\Veltra\Agents"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  InstallDir "$PROGRAMFILES\Veltra\Agents"
!else
  !error "ARCH must be x64 or x86"
!endif

!include LogicLib.nsh
!include FileFunc.nsh

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
; The build's file times are not stored, so that two builds give the same bytes.
SetDateSave off
!ifdef SIGN
  ; The uninstaller, which the installer writes out, is signed as the installer
  ; is: SIGN is the signing command, given the file (CMake passes it).
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

; The installer's own version resource.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Page directory
Page instfiles

; A line in the details view and in $INSTDIR\install.log, which outlives the installer's window.
!macro Log TEXT
  DetailPrint "${TEXT}"
  Push $9
  FileOpen $9 "$INSTDIR\install.log" a
  FileSeek $9 0 END
  FileWrite $9 "${TEXT}$\r$\n"
  FileClose $9
  Pop $9
!macroend

Var Answers   ; the answers file, a full path; empty: the dialogs show
Var Skip      ; 1: TavSetUp returns at once, nothing is configured
Var Earlier   ; the version of the earlier install this one replaces; empty: none

Function .onInit
!if "${ARCH}" == "x64"
  ; A 64-bit TAVNOVU.dll reads the 64-bit registry: write the paths there too.
  SetRegView 64
!endif
  ${GetParameters} $R0
  StrCpy $Skip 0
  ClearErrors
  ${GetOptions} $R0 "/SKIPCONFIG" $R1
  ${IfNot} ${Errors}
    StrCpy $Skip 1
  ${EndIf}
  StrCpy $Answers ""
  ClearErrors
  ${GetOptions} $R0 "/ANSWERS=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 != ""
    ; A relative name is taken from where the installer was started, before
    ; the install changes the working directory.
    System::Call 'kernel32::GetFullPathName(t R1, i ${NSIS_MAX_STRLEN}, t .R1, p 0)'
    StrCpy $Answers $R1
  ${EndIf}
  ; An earlier install, its uninstaller still in place, is replaced where it
  ; is, and the configuration it generated is kept.
  ReadRegStr $Earlier HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $Earlier != ""
  ${AndIf} ${FileExists} "$R2\uninstall.exe"
    StrCpy $INSTDIR $R2
    StrCpy $Skip 1
  ${Else}
    StrCpy $Earlier ""
  ${EndIf}
FunctionEnd

Section "Agents"
  SetOutPath "$INSTDIR"
  !insertmacro Log "Installing ${PRODUCT_NAME} ${VERSION} into $INSTDIR"
  ${If} $Earlier != ""
    !insertmacro Log "Replacing version $Earlier; the configuration in etc is kept"
  ${EndIf}
  ${If} $Answers == ""
  ${AndIf} ${Silent}
  ${AndIf} $Skip == 0
    ; Without answers the dialogs would show, and nobody would answer them.
    !insertmacro Log "A silent install needs /ANSWERS=FILE: nothing was installed."
    Abort
  ${EndIf}
  File "setup.ini"
  SetOutPath "$INSTDIR\bin"
  File "payload\bin\*.*"
  SetOutPath "$INSTDIR\dll"
  File "payload\dll\*.*"
  ; TAVNOVU writes into etc and logs, but creates neither: when it cannot open
  ; an include file it ends the whole installer process (exit code 100 or 110).
  CreateDirectory "$INSTDIR\etc"
  CreateDirectory "$INSTDIR\logs"
  WriteRegStr HKLM "${CONFIG_KEY}" "BinPath" "$INSTDIR\bin"
  WriteRegStr HKLM "${CONFIG_KEY}" "DllPath" "$INSTDIR\dll"
  WriteRegStr HKLM "${CONFIG_KEY}" "EtcPath" "$INSTDIR\etc"
  WriteRegStr HKLM "${CONFIG_KEY}" "LogPath" "$INSTDIR\logs"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  Call ConfigureAgents
SectionEnd

; Calls TavSetUp(skip, iniPath, 0, parms) and aborts the install unless it returns 0.
Function ConfigureAgents
  ${If} $Answers != ""
    ; TAVNOVU reads the variable from the process environment when the call starts.
    System::Call 'kernel32::SetEnvironmentVariable(t "TAVNOVU_ANSWERS", t "$Answers")'
    !insertmacro Log "Answers file: $Answers"
  ${EndIf}

  InitPluginsDir
  File "/oname=$PLUGINSDIR\TAVNOVU.dll" "${DIST}\TAVNOVU.dll"
  ; The working directory takes the setup log and TAVNOVU's own files.
  SetOutPath "$INSTDIR\logs"
  ; TavSetUp splits the parameters in place: they go in a writable ANSI buffer of our own.
  System::Call '*(&m${PARMS_ROOM} "${SETUP_LOG} ${PRODUCT_KEYWORD} ${AGENTS_VERSION} ${PRODUCT_DESCRIPTION}") p .R3'
  ; int TavSetUp(int, const char*, int, char*): cdecl (c) on x86; u unloads the DLL after the call.
  System::Call '$PLUGINSDIR\TAVNOVU.dll::TavSetUp(i $Skip, m "$INSTDIR\setup.ini", i 0, p R3) i .R4 ? cu'
  System::Free $R3
  SetOutPath "$INSTDIR"
  !insertmacro Log "TavSetUp returned $R4"

  ${Switch} $R4
    ${Case} 0
      ${Break}
    ${Case} 1
      StrCpy $R5 "The configuration of the database agents was cancelled, or TAVNOVU refused it (see $INSTDIR\logs\${SETUP_LOG}). Nothing was configured."
      ${Break}
    ${Case} 2
      StrCpy $R5 "TAVNOVU could not open its setup log $INSTDIR\logs\${SETUP_LOG}. Nothing was configured."
      ${Break}
    ${Case} "error"
      StrCpy $R5 "TAVNOVU.dll could not be loaded, or has no TavSetUp. Nothing was configured."
      ${Break}
    ${Default}
      StrCpy $R5 "TAVNOVU returned $R4. Nothing was configured."
      ${Break}
  ${EndSwitch}
  ${If} $R4 != 0
    !insertmacro Log "$R5"
    MessageBox MB_OK|MB_ICONSTOP "$R5" /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
!if "${ARCH}" == "x64"
  SetRegView 64
!endif
FunctionEnd

; Removes what the installer installed. The generated configuration (etc),
; the logs and install.log are not the installer's files: they stay.
Section "Uninstall"
  !insertmacro Log "Uninstalling ${PRODUCT_NAME} ${VERSION} from $INSTDIR; etc and logs are kept"
  Delete "$INSTDIR\setup.ini"
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\dll"
  DeleteRegValue HKLM "${CONFIG_KEY}" "BinPath"
  DeleteRegValue HKLM "${CONFIG_KEY}" "DllPath"
  DeleteRegValue HKLM "${CONFIG_KEY}" "EtcPath"
  DeleteRegValue HKLM "${CONFIG_KEY}" "LogPath"
  DeleteRegKey /ifempty HKLM "${CONFIG_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
SectionEnd
