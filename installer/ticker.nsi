; The Windows installer of the Norvale Desktop Ticker: a per-user install, without
; elevation, into the user's local application data. The build passes the files
; and the version (see installer/CMakeLists.txt):
;   makensis -DVERSION=3.2 -DVERSION_QUAD=3.2.0.0 -DTICKER_EXE=... -DLOADER_SWF=... -DHELP_HTM=...
;            -DLUA_LICENSE=... -DJPEG_LICENSE=... -DJPEG_IJG=... -DICON=...
;            -DWELCOME_BMP=... -DOUTFILE=... installer/ticker.nsi
;
; Command line (install and uninstall): /S runs silently. A silent install keeps the
; log-on choice already stored (yes when there is none); a silent uninstall keeps the
; user's settings unless /REMOVESETTINGS is given. /D=folder picks the folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Norvale Desktop Ticker"
!define PUBLISHER "Norvale"
; The program's settings key, the log-on Run key and our entry in the list of
; installed programs, all under HKEY_CURRENT_USER.
!define SETTINGS_KEY "Software\Norvale\Vodazovovarar"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Norvale Desktop Ticker"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NorvaleDesktopTicker"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; The uninstaller's name stays clear of the words that make Windows ask for elevation.
!define REMOVER "remove.exe"
; How long a running ticker may take to close when asked, in quarter seconds.
!define CLOSE_POLLS 40

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallPath"
AllowSkipFiles off
ShowInstDetails hide
ShowUninstDetails hide
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WELCOME_BMP}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Welcome to the ${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This will put the ${PRODUCT} on your computer, for your own user account only: no administrator rights are needed.$\r$\n$\r$\nIf the ticker is running, it will be asked to close first; your news channel, the ticker's place on the screen and your other settings are kept.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\ticker.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the ${PRODUCT} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom LogOnPage LogOnPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; "yes" or "no": the answer to the log-on question, as the program reads it.
Var LaunchOnStartup
Var LogOnBox
; 1 when this run made the install folder (a failed install then removes it again).
Var MadeFolder
; 1 once every earlier file is set aside and the new ones are being written: a file
; without a set-aside copy is then one of ours.
Var Extracting

; ------------------------------------------------------------------ the running ticker

; Asks a running ticker to close (its own quit sequence saves its settings) and waits
; for it to end. The ticker holds the named mutex for as long as it runs, so the
; mutex going away is the sign that the process has ended. Leaves "closed" or
; "running" on the stack.
!macro CLOSE_TICKER_FUNCTION un
Function ${un}CloseRunningTicker
  Push $0
  Push $1
  Push $2
  ${Do}
    ; The strip: closing it runs the program's quit sequence. Its class name keeps an
    ; Explorer window showing a folder of the same name out of it.
    System::Call 'user32::FindWindowW(w "NorvaleForm", w "${PRODUCT}") p.r1'
    ${If} $1 P<> 0
      System::Call 'user32::PostMessageW(p r1, i 0x0010, p 0, p 0)' ; WM_CLOSE
    ${EndIf}
    StrCpy $2 0
    ${Do}
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "NorvaleTickerMutex") p.r0' ; SYNCHRONIZE
      ${If} $0 P= 0
        StrCpy $2 "closed"
        ${Break}
      ${EndIf}
      ; Our own handle would keep the mutex alive: let go of it before waiting.
      System::Call 'kernel32::CloseHandle(p r0)'
      IntOp $2 $2 + 1
      ${If} $2 > ${CLOSE_POLLS}
        StrCpy $2 "running"
        ${Break}
      ${EndIf}
      Sleep 250
    ${Loop}
    ${If} $2 == "closed"
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "The ${PRODUCT} is running and did not close when asked.$\r$\n$\r$\nPlease close it (right-click the ticker and choose Exit), then click Retry. Cancel stops here; nothing has been changed." /SD IDCANCEL IDRETRY retry
    ${Break}
  retry:
  ${Loop}
  ; The answer goes on the stack in place of the saved registers.
  Exch $2
  Exch
  Pop $1
  Exch
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_TICKER_FUNCTION ""
!insertmacro CLOSE_TICKER_FUNCTION "un."

; ------------------------------------------------------------------ installing

; The files, with their place in the install folder. Each is first moved aside as
; name.previous, so that a failed upgrade can put the old copy back.
!macro SHIPPED_FILES action
  !insertmacro ${action} "ticker.exe"
  !insertmacro ${action} "loader.swf"
  !insertmacro ${action} "help.htm"
  !insertmacro ${action} "licences\Lua.txt"
  !insertmacro ${action} "licences\libjpeg-turbo.txt"
  !insertmacro ${action} "licences\libjpeg-turbo IJG README.txt"
  !insertmacro ${action} "${REMOVER}"
!macroend

; Fails the install when an existing file cannot be written (read-only, or in use).
!macro PROBE_FILE name
  ${If} ${FileExists} "$INSTDIR\${name}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${name}" a
    ${If} ${Errors}
      StrCpy $1 "$INSTDIR\${name}"
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
!macroend

!macro SET_ASIDE name
  ${If} ${FileExists} "$INSTDIR\${name}"
    Delete "$INSTDIR\${name}.previous"
    ClearErrors
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.previous"
    ${If} ${Errors}
      StrCpy $1 "$INSTDIR\${name}"
    ${EndIf}
  ${EndIf}
!macroend

!macro PUT_BACK name
  ${If} ${FileExists} "$INSTDIR\${name}.previous"
    Delete "$INSTDIR\${name}"
    Rename "$INSTDIR\${name}.previous" "$INSTDIR\${name}"
  ${ElseIf} $Extracting == 1
    Delete "$INSTDIR\${name}"
  ${EndIf}
!macroend

!macro DROP_PREVIOUS name
  Delete "$INSTDIR\${name}.previous"
!macroend

Function .onInit
  ; The log-on choice: the stored one on an upgrade, else yes (the program's default).
  ReadRegStr $LaunchOnStartup HKCU "${SETTINGS_KEY}" "LaunchOnStartup"
  ${If} $LaunchOnStartup != "no"
    StrCpy $LaunchOnStartup "yes"
  ${EndIf}
  StrCpy $MadeFolder 0
  StrCpy $Extracting 0
FunctionEnd

Function LogOnPage
  !insertmacro MUI_HEADER_TEXT "Start with Windows" "Choose whether the ticker starts when you log on."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "The ${PRODUCT} can start by itself each time you log on to Windows. You can change this later with $\"Launch at startup$\" in the ticker's menu."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "&Start the ${PRODUCT} when I log on"
  Pop $LogOnBox
  ${If} $LaunchOnStartup == "yes"
    ${NSD_Check} $LogOnBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function LogOnPageLeave
  ${NSD_GetState} $LogOnBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $LaunchOnStartup "yes"
  ${Else}
    StrCpy $LaunchOnStartup "no"
  ${EndIf}
FunctionEnd

Section "Program" SecProgram
  SectionIn RO

  ; A running ticker holds its files and would write its settings over ours when it
  ; quits later: it closes first, before anything changes.
  DetailPrint "Closing a running ${PRODUCT}..."
  Call CloseRunningTicker
  Pop $0
  ${If} $0 != "closed"
    Abort "The ${PRODUCT} is still running; nothing was changed."
  ${EndIf}

  ; Everything that will be written must be writable before the first write.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ClearErrors
    CreateDirectory "$INSTDIR"
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "$INSTDIR\*.*"
      MessageBox MB_OK|MB_ICONSTOP "Cannot create the folder$\r$\n$INSTDIR$\r$\n$\r$\nPlease choose a folder that you may write to. Nothing has been installed." /SD IDOK
      Abort "Cannot create $INSTDIR; nothing was installed."
    ${EndIf}
    StrCpy $MadeFolder 1
  ${EndIf}
  StrCpy $1 ""
  ClearErrors
  FileOpen $0 "$INSTDIR\norvale-write-test.tmp" w
  ${If} ${Errors}
    StrCpy $1 "$INSTDIR"
  ${Else}
    FileClose $0
    Delete "$INSTDIR\norvale-write-test.tmp"
  ${EndIf}
  ${If} $1 == ""
    ${If} ${FileExists} "$INSTDIR\licences\*.*"
      ClearErrors
      FileOpen $0 "$INSTDIR\licences\norvale-write-test.tmp" w
      ${If} ${Errors}
        StrCpy $1 "$INSTDIR\licences"
      ${Else}
        FileClose $0
        Delete "$INSTDIR\licences\norvale-write-test.tmp"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $1 == ""
    !insertmacro SHIPPED_FILES PROBE_FILE
  ${EndIf}
  ${If} $1 == ""
    !insertmacro SHIPPED_FILES SET_ASIDE
  ${EndIf}
  ${If} $1 != ""
    MessageBox MB_OK|MB_ICONSTOP "Cannot write to$\r$\n$1$\r$\n$\r$\nThe folder may be read-only, or a file in it may be in use. Please choose a folder that you may write to. Nothing has been installed." /SD IDOK
    Abort "Cannot write to $1; nothing was installed."
  ${EndIf}

  StrCpy $Extracting 1
  SetOutPath "$INSTDIR"
  File "/oname=ticker.exe" "${TICKER_EXE}"
  File "/oname=loader.swf" "${LOADER_SWF}"
  File "/oname=help.htm" "${HELP_HTM}"
  SetOutPath "$INSTDIR\licences"
  File "/oname=Lua.txt" "${LUA_LICENSE}"
  File "/oname=libjpeg-turbo.txt" "${JPEG_LICENSE}"
  File "/oname=libjpeg-turbo IJG README.txt" "${JPEG_IJG}"
  SetOutPath "$INSTDIR"
  ClearErrors
  WriteUninstaller "$INSTDIR\${REMOVER}"
  ${If} ${Errors}
    Abort "Cannot write $INSTDIR\${REMOVER}; nothing was installed."
  ${EndIf}

  ; The files are in place: from here on only the registry and the shortcut.
  !insertmacro SHIPPED_FILES DROP_PREVIOUS
  ; $INSTDIR comes without a trailing backslash, as the program wants it.
  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallPath" "$INSTDIR"
  WriteRegStr HKCU "${SETTINGS_KEY}" "LaunchOnStartup" "$LaunchOnStartup"
  ; The program writes the Run entry itself when it quits with the choice on; a no
  ; takes away one left by an earlier install at once.
  ${If} $LaunchOnStartup == "no"
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  CreateShortcut "${SHORTCUT}" "$INSTDIR\ticker.exe" "" "$INSTDIR\ticker.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ticker.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${REMOVER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${REMOVER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; A failed install leaves the folder as it found it: the earlier copy's files come
; back, and a folder that this run made goes again.
Function .onInstFailed
  !insertmacro SHIPPED_FILES PUT_BACK
  RMDir "$INSTDIR\licences"
  ${If} $MadeFolder == 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

; ------------------------------------------------------------------ uninstalling

Section "Uninstall"
  ; The ticker re-creates its Run entry when it quits: it goes first.
  Call un.CloseRunningTicker
  Pop $0
  ${If} $0 != "closed"
    Abort "The ${PRODUCT} is still running; nothing was removed."
  ${EndIf}

  ; Only our own files: whatever else the user put in the folder stays, and so
  ; does the folder then.
  Delete "$INSTDIR\ticker.exe"
  Delete "$INSTDIR\loader.swf"
  Delete "$INSTDIR\help.htm"
  Delete "$INSTDIR\licences\Lua.txt"
  Delete "$INSTDIR\licences\libjpeg-turbo.txt"
  Delete "$INSTDIR\licences\libjpeg-turbo IJG README.txt"
  RMDir "$INSTDIR\licences"
  Delete "$INSTDIR\${REMOVER}"
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The settings (the user id, the channel, the strip's place) are kept for a later
  ; install unless the user says otherwise; a silent uninstall keeps them unless
  ; /REMOVESETTINGS is given.
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/REMOVESETTINGS" $2
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your ${PRODUCT} settings (your news channel, the ticker's place on the screen and your other choices) for a later installation?" /SD IDYES IDYES keep
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Norvale"
  Goto done
keep:
  DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallPath"
done:
SectionEnd
