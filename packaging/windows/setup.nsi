; The Windows setup: the viewer, the optional converter and, where the original imaging
; component is missing, the stand-in component; the .mdi association, "Open with" for TIFF
; files, the application's capabilities for Default apps, a Start-menu entry and the
; installed-programs entry. With the converter: its folder on the PATH and Explorer's "Convert
; to searchable PDF" on .mdi, .tif and .tiff files. For the current user by default (no
; administrator rights); for every user with /ALLUSERS. /S installs silently.
;
;   makensis -DVERSION=2.0 -DWIN32=DIR -DWIN64=DIR -DLICENCES=DIR -DICON=FILE -DOUTFILE=FILE
;            [-DLICENSE=FILE] [-DTARGET=x86-unicode|amd64-unicode] [-DCOMPRESSOR=zlib] setup.nsi
; WIN32 and WIN64 hold each architecture's Folirex.exe and MiPageView.dll, and
; folirex-convert.exe, convert-to-pdf.cmd and tessdata\ where the build made the converter.
; LICENSE is the project's licence (default: the repository's), shown on a page of its own.

Unicode true
!ifndef TARGET
  !define TARGET x86-unicode   ; one setup for 32- and 64-bit Windows
!endif
Target ${TARGET}
!if "${TARGET}" == "amd64-unicode"
  !pragma warning disable 6012  ; ${RunningX64} is always true there: an unused label
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include Integration.nsh
!include MUI2.nsh

; The original component's class, which the stand-in implements too.
!define CLSID "{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}"
!define PROGID "Folirex.Document"
!define APPKEY "Software\Folirex"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Folirex"
!define TIFFPROGID "Folirex.Tiff"
!define CONVERTVERB "Folirex.ConvertToPdf"
!ifndef LICENSE
  !define LICENSE "${__FILEDIR__}\..\..\LICENSE"
!endif
; The converter's recognition data (English, and script and orientation detection), the same
; for both architectures: in a tessdata folder beside the converter, where Tesseract looks.
!if /FileExists "${WIN64}/tessdata/eng.traineddata"
  !define TESSDATA "${WIN64}/tessdata"
!else if /FileExists "${WIN32}/tessdata/eng.traineddata"
  !define TESSDATA "${WIN32}/tessdata"
!endif

Name "Folirex ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
!ifndef COMPRESSOR
  !define COMPRESSOR "/SOLID lzma"   ; the smallest; a test's build may trade size for time
!endif
SetCompressor ${COMPRESSOR}
ShowInstDetails show
BrandingText "Folirex ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey ProductName "Folirex"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Folirex ${VERSION} setup"
VIAddVersionKey LegalCopyright "Folirex"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Folirex.exe"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers  ; 1: for every user (HKLM, Program Files), else for the current user (HKCU)
Var Bits      ; 32 or 64: the viewer's architecture, the one of the component it hosts
Var StandIn   ; 1: the stand-in component is registered
Var EnvKey    ; the environment's key in SHCTX: the user's, or the machine's for every user

; Without administrator rights, an install or removal for every user runs again elevated,
; with the same options; /ELEVATED marks the elevated run, so a refused elevation cannot loop.
!macro ElevateForAllUsers PROGRAM
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/ELEVATED" $2
    ${IfNot} ${Errors}
      MessageBox MB_ICONSTOP "Folirex for every user needs administrator rights." /SD IDOK
      SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    StrCpy $1 "/ALLUSERS /ELEVATED"
    ${If} ${Silent}
      StrCpy $1 "/S $1"
    ${EndIf}
    ExecShellWait "runas" "${PROGRAM}" $1
    Quit
  ${EndIf}
!macroend

; Chooses, for the current user or every user, the registry root (SHCTX), the folders and the
; environment whose PATH takes the program's folder.
!macro UseContext
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $EnvKey "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
  ${Else}
    SetShellVarContext current
    StrCpy $EnvKey "Environment"
  ${EndIf}
!macroend

; Deletes a key that has neither subkeys nor values (nor a default value) left.
!macro DeleteKeyIfEmpty KEY
  EnumRegKey $0 SHCTX "${KEY}" 0
  EnumRegValue $1 SHCTX "${KEY}" 0
  ReadRegStr $2 SHCTX "${KEY}" ""
  ${If} "$0$1$2" == ""
    DeleteRegKey SHCTX "${KEY}"
  ${EndIf}
!macroend

; The PATH value of the environment ($EnvKey in SHCTX), without reading it: its type in $R1 (0
; when there is none, 1 REG_SZ, 2 REG_EXPAND_SZ) and its length in $R2, in characters with the
; closing NUL. The setup's own strings hold NSIS_MAX_STRLEN characters at most: a longer PATH
; would come back cut short, and written back so, the rest of it lost.
!macro PathValueInfo UN
Function ${UN}PathValueInfo
  ; The predefined keys, as signed numbers: a 64-bit handle holds them sign-extended.
  ${If} $AllUsers == 1
    StrCpy $R0 -2147483646  ; HKEY_LOCAL_MACHINE, 0x80000002
  ${Else}
    StrCpy $R0 -2147483647  ; HKEY_CURRENT_USER, 0x80000001
  ${EndIf}
  StrCpy $R1 0
  StrCpy $R2 0
  System::Call 'advapi32::RegOpenKeyExW(p R0, w "$EnvKey", i 0, i 0x20019, *p .R3) i .R4'
  ${If} $R4 == 0
    System::Call 'advapi32::RegQueryValueExW(p R3, w "Path", p 0, *i .R1, p 0, *i .R2) i .R4'
    System::Call 'advapi32::RegCloseKey(p R3)'
    ${If} $R4 != 0
      StrCpy $R1 0
      StrCpy $R2 0
    ${EndIf}
    IntOp $R2 $R2 / 2
  ${EndIf}
FunctionEnd
!macroend
!insertmacro PathValueInfo ""
!insertmacro PathValueInfo "un."

; The first place of $R6 in $R5 from place $R7 on, in $R7, or -1; letters of either case match.
!macro StrIndex UN
Function ${UN}StrIndex
  StrLen $R8 $R6
  StrLen $R9 $R5
  ${Do}
    IntOp $R4 $R7 + $R8
    ${If} $R4 > $R9
      StrCpy $R7 -1
      Return
    ${EndIf}
    StrCpy $R4 $R5 $R8 $R7
    ${If} $R4 == $R6
      Return
    ${EndIf}
    IntOp $R7 $R7 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro StrIndex ""
!insertmacro StrIndex "un."

; Writes the PATH value $R5 with the type it had ($R1), and tells the running programs.
!macro WritePath
  ${If} $R1 == 2
    WriteRegExpandStr SHCTX $EnvKey "Path" $R5
  ${Else}
    WriteRegStr SHCTX $EnvKey "Path" $R5
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; The program's folder at the end of the PATH, unless it is on it already; the rest of the
; PATH as it was. A PATH too long for the setup's strings is left alone, and the user told.
Function AddToPath
  Call PathValueInfo
  ${If} $R1 == 0
    StrCpy $R1 2  ; as Windows makes it
    StrCpy $R5 "$INSTDIR"
    !insertmacro WritePath
    WriteRegDWORD SHCTX "${APPKEY}" "MadePath" 1
    WriteRegDWORD SHCTX "${APPKEY}" "AddedToPath" 1
    Return
  ${EndIf}
  StrLen $0 "$INSTDIR"
  IntOp $0 $0 + $R2  ; the new PATH's characters with the closing NUL, less one
  ${If} $R1 > 2
  ${OrIf} $R1 < 1
  ${OrIf} $0 >= ${NSIS_MAX_STRLEN}
    DetailPrint "The PATH is left as it is: add $INSTDIR to it to run folirex-convert by name."
    MessageBox MB_ICONINFORMATION "The PATH is too long for this setup to change it safely.$\n$\n\
Add $INSTDIR to it yourself to run folirex-convert by its name." /SD IDOK
    Return
  ${EndIf}
  ReadRegStr $R5 SHCTX $EnvKey "Path"
  Push $R5
  StrCpy $R5 ";$R5;"
  StrCpy $R6 ";$INSTDIR;"
  StrCpy $R7 0
  Call StrIndex
  Pop $R5
  ${If} $R7 >= 0
    Return
  ${EndIf}
  ${If} $R5 == ""
    StrCpy $R5 "$INSTDIR"
  ${Else}
    StrCpy $R5 "$R5;$INSTDIR"
  ${EndIf}
  !insertmacro WritePath
  WriteRegDWORD SHCTX "${APPKEY}" "AddedToPath" 1
FunctionEnd

; Takes out of the PATH the entry the setup added, with its separator: the rest stays as it is.
; A PATH the setup made for it alone goes with it.
Function un.RemoveFromPath
  ReadRegDWORD $0 SHCTX "${APPKEY}" "AddedToPath"
  ${If} $0 != 1
    Return
  ${EndIf}
  Call un.PathValueInfo
  ${If} $R1 == 0
    Return
  ${EndIf}
  ${If} $R2 > ${NSIS_MAX_STRLEN}
    DetailPrint "The PATH is too long for this uninstaller: take $INSTDIR out of it yourself."
    Return
  ${EndIf}
  ReadRegStr $R5 SHCTX $EnvKey "Path"
  ${If} $R5 == "$INSTDIR"
    ReadRegDWORD $0 SHCTX "${APPKEY}" "MadePath"
    ${If} $0 == 1
      DeleteRegValue SHCTX $EnvKey "Path"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${Else}
      StrCpy $R5 ""
      !insertmacro WritePath
    ${EndIf}
    Return
  ${EndIf}
  ; ";folder" followed by ";" or by the end; else "folder;" at the start.
  StrCpy $R6 ";$INSTDIR"
  StrLen $3 $R6
  StrCpy $R7 0
  ${Do}
    Call un.StrIndex
    ${If} $R7 < 0
      StrCpy $R6 "$INSTDIR;"
      StrCpy $1 $R5 $3
      ${If} $1 != $R6
        Return  ; the user has taken it out already
      ${EndIf}
      StrCpy $R5 $R5 "" $3
      ${Break}
    ${EndIf}
    IntOp $4 $R7 + $3
    StrCpy $1 $R5 1 $4
    ${If} $1 == ""
    ${OrIf} $1 == ";"
      StrCpy $1 $R5 $R7
      StrCpy $2 $R5 "" $4
      StrCpy $R5 "$1$2"
      ${Break}
    ${EndIf}
    IntOp $R7 $R7 + 1
  ${Loop}
  !insertmacro WritePath
FunctionEnd

; Explorer's "Convert to searchable PDF" on files of the extension, whatever program they open
; with: the script beside the converter, in a window that shows what happens.
!macro WriteConvertVerb EXT
  WriteRegStr SHCTX "Software\Classes\SystemFileAssociations\${EXT}\shell\${CONVERTVERB}" "" \
    "Convert to searchable PDF"
  WriteRegStr SHCTX "Software\Classes\SystemFileAssociations\${EXT}\shell\${CONVERTVERB}" "Icon" \
    '"$INSTDIR\Folirex.exe",0'
  WriteRegStr SHCTX "Software\Classes\SystemFileAssociations\${EXT}\shell\${CONVERTVERB}\command" "" \
    '"$INSTDIR\convert-to-pdf.cmd" "%1"'
!macroend
!macro RemoveConvertVerb EXT
  DeleteRegKey SHCTX "Software\Classes\SystemFileAssociations\${EXT}\shell\${CONVERTVERB}"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\SystemFileAssociations\${EXT}\shell"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\SystemFileAssociations\${EXT}"
!macroend

; A parent key or folder that a new user's registry or profile may lack is noted when the setup
; makes it, so that the removal takes it away again (when empty) and leaves one that was there.
!macro NoteMissingKey FLAG KEY
  ClearErrors
  EnumRegKey $0 SHCTX "${KEY}" 0
  ${If} ${Errors}
    WriteRegDWORD SHCTX "${APPKEY}" "${FLAG}" 1
  ${EndIf}
!macroend
!macro RemoveIfMade FLAG KEY
  ReadRegDWORD $0 SHCTX "${APPKEY}" "${FLAG}"
  ${If} $0 == 1
    DeleteRegKey /ifempty SHCTX "${KEY}"
  ${EndIf}
!macroend

; SetRegView takes no variable.
!macro UseRegView BITS
  ${If} ${BITS} == 64
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; The server file of the original component in registry view $0 (32 or 64), in $1, or "".
; A registration of the stand-in (an earlier install, or the zip's scripts) does not count.
Function OriginalServer
  !insertmacro UseRegView $0
  ReadRegStr $1 HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ${If} $1 == ""
    ReadRegStr $1 HKLM "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ${EndIf}
  ${GetFileName} $1 $2
  ${If} $2 == "MiPageView.dll"
    StrCpy $1 ""
  ${EndIf}
  SetRegView default
FunctionEnd

; Removes the stand-in's class registration in view $Bits, but only while it still names this
; folder's component: an original installed since keeps its own.
!macro RemoveStandIn UN
Function ${UN}RemoveStandIn
  ReadRegDWORD $1 SHCTX "${APPKEY}" "MadeClassIds"
  !insertmacro UseRegView $Bits
  ReadRegStr $0 SHCTX "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
  ${If} $0 == "$INSTDIR\MiPageView.dll"
    DeleteRegKey SHCTX "Software\Classes\CLSID\${CLSID}"
    ${If} $1 == 1
      DeleteRegKey /ifempty SHCTX "Software\Classes\CLSID"
    ${EndIf}
  ${EndIf}
  SetRegView default
FunctionEnd
!macroend
!insertmacro RemoveStandIn ""
!insertmacro RemoveStandIn "un."

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    !insertmacro ElevateForAllUsers "$EXEPATH"
  ${EndIf}
  !insertmacro UseContext

  ; The viewer hosts the original component where one is registered, so it takes that
  ; component's architecture; elsewhere it and the stand-in take the system's.
  StrCpy $StandIn 0
  ${If} ${RunningX64}
    StrCpy $0 64
    Call OriginalServer
    StrCpy $Bits 64
    ${If} $1 == ""
      StrCpy $0 32
      Call OriginalServer
      StrCpy $Bits 32
    ${EndIf}
    ${If} $1 == ""
      StrCpy $Bits 64
      StrCpy $StandIn 1
    ${EndIf}
  ${Else}
    StrCpy $0 32
    Call OriginalServer
    StrCpy $Bits 32
    ${If} $1 == ""
      StrCpy $StandIn 1
    ${EndIf}
  ${EndIf}

  ; An earlier install is upgraded where it is; /D= chooses another folder.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR SHCTX "${APPKEY}" "InstallDir"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} $AllUsers != 1
      ; The user's own programs folder: the program can write its last-file record beside itself.
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Folirex"
    ${ElseIf} $Bits == 64
      StrCpy $INSTDIR "$PROGRAMFILES64\Folirex"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES32\Folirex"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Folirex"
  !insertmacro NoteMissingKey MadeClasses "Software\Classes"
  !insertmacro NoteMissingKey MadeUninstallList "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  ${If} $AllUsers != 1
  ${AndIfNot} ${FileExists} "$LOCALAPPDATA\Programs\*.*"
    WriteRegDWORD SHCTX "${APPKEY}" "MadeProgramsFolder" 1
  ${EndIf}
  SetOutPath "$INSTDIR"
  ${If} $Bits == 64
    File "/oname=Folirex.exe" "${WIN64}/Folirex.exe"
  ${Else}
    File "/oname=Folirex.exe" "${WIN32}/Folirex.exe"
  ${EndIf}
  ; The converter is built on its own: a setup made without it installs the viewer alone.
  !if /FileExists "${WIN64}/folirex-convert.exe"
    ${If} $Bits == 64
      File "/oname=folirex-convert.exe" "${WIN64}/folirex-convert.exe"
      File "/oname=convert-to-pdf.cmd" "${WIN64}/convert-to-pdf.cmd"
    ${EndIf}
  !endif
  !if /FileExists "${WIN32}/folirex-convert.exe"
    ${If} $Bits == 32
      File "/oname=folirex-convert.exe" "${WIN32}/folirex-convert.exe"
      File "/oname=convert-to-pdf.cmd" "${WIN32}/convert-to-pdf.cmd"
    ${EndIf}
  !endif
  !ifdef TESSDATA
    ${If} ${FileExists} "$INSTDIR\folirex-convert.exe"
      SetOutPath "$INSTDIR\tessdata"
      File "${TESSDATA}/eng.traineddata"
      File "${TESSDATA}/osd.traineddata"
      SetOutPath "$INSTDIR"
    ${EndIf}
  !endif
  File "/oname=LICENSE.txt" "${LICENSE}"
  SetOutPath "$INSTDIR\licences"
  File /r "${LICENCES}/*"
  SetOutPath "$INSTDIR"

  ; An earlier install's stand-in, or its other architecture's, goes first.
  ReadRegStr $0 SHCTX "${APPKEY}" "Bits"
  ${If} $0 != ""
    Push $Bits
    StrCpy $Bits $0
    Call RemoveStandIn
    Pop $Bits
  ${EndIf}
  ${If} $StandIn == 1
    ${If} $Bits == 64
      File "/oname=MiPageView.dll" "${WIN64}/MiPageView.dll"
    ${Else}
      File "/oname=MiPageView.dll" "${WIN32}/MiPageView.dll"
    ${EndIf}
    !insertmacro UseRegView $Bits
    ClearErrors
    EnumRegKey $0 SHCTX "Software\Classes\CLSID" 0
    StrCpy $1 0
    ${If} ${Errors}
      StrCpy $1 1
    ${EndIf}
    SetRegView default
    ${If} $1 == 1
      WriteRegDWORD SHCTX "${APPKEY}" "MadeClassIds" 1
    ${EndIf}
    ; The component registers itself, as regsvr32 has it do (/i:user: for this user alone).
    ; The system's own regsvr32 runs a component of the other architecture in its own.
    ${If} $AllUsers == 1
      StrCpy $1 '/s "$INSTDIR\MiPageView.dll"'
    ${Else}
      StrCpy $1 '/s /n /i:user "$INSTDIR\MiPageView.dll"'
    ${EndIf}
    ${DisableX64FSRedirection}
    ExecWait '"$SYSDIR\regsvr32.exe" $1' $0
    ${EnableX64FSRedirection}
    ${If} $0 != 0
      MessageBox MB_ICONSTOP "The page-view component could not be registered ($0)." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Else}
    Delete "$INSTDIR\MiPageView.dll"
  ${EndIf}

  ; .mdi opens in Folirex; the type it had before comes back on removal.
  ReadRegStr $0 SHCTX "Software\Classes\.mdi" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr SHCTX "${APPKEY}" "PreviousMdiType" $0
  ${EndIf}
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "MDI document"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\Folirex.exe",0'
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\Folirex.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.mdi" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\.mdi\OpenWithProgids" "${PROGID}" ""
  ; TIFF files keep their own program; Folirex is one more in their "Open with" list.
  WriteRegStr SHCTX "Software\Classes\Applications\Folirex.exe" "FriendlyAppName" "Folirex"
  WriteRegStr SHCTX "Software\Classes\Applications\Folirex.exe\shell\open\command" "" '"$INSTDIR\Folirex.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\Applications\Folirex.exe\SupportedTypes" ".mdi" ""
  WriteRegStr SHCTX "Software\Classes\Applications\Folirex.exe\SupportedTypes" ".tif" ""
  WriteRegStr SHCTX "Software\Classes\Applications\Folirex.exe\SupportedTypes" ".tiff" ""
  WriteRegStr SHCTX "Software\Classes\.tif\OpenWithList\Folirex.exe" "" ""
  WriteRegStr SHCTX "Software\Classes\.tiff\OpenWithList\Folirex.exe" "" ""
  WriteRegStr SHCTX "Software\Classes\${TIFFPROGID}" "" "TIFF image"
  WriteRegStr SHCTX "Software\Classes\${TIFFPROGID}\DefaultIcon" "" '"$INSTDIR\Folirex.exe",0'
  WriteRegStr SHCTX "Software\Classes\${TIFFPROGID}\shell\open\command" "" '"$INSTDIR\Folirex.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.tif\OpenWithProgids" "${TIFFPROGID}" ""
  WriteRegStr SHCTX "Software\Classes\.tiff\OpenWithProgids" "${TIFFPROGID}" ""

  ; The application's capabilities: Default apps and "Open with" on Windows 10 and 11 list
  ; Folirex for these types, also where the user once chose another program.
  WriteRegStr SHCTX "${APPKEY}\Capabilities" "ApplicationName" "Folirex"
  WriteRegStr SHCTX "${APPKEY}\Capabilities" "ApplicationDescription" \
    "Views Microsoft Office Document Imaging documents and TIFF files."
  WriteRegStr SHCTX "${APPKEY}\Capabilities" "ApplicationIcon" '"$INSTDIR\Folirex.exe",0'
  WriteRegStr SHCTX "${APPKEY}\Capabilities\FileAssociations" ".mdi" "${PROGID}"
  WriteRegStr SHCTX "${APPKEY}\Capabilities\FileAssociations" ".tif" "${TIFFPROGID}"
  WriteRegStr SHCTX "${APPKEY}\Capabilities\FileAssociations" ".tiff" "${TIFFPROGID}"
  WriteRegStr SHCTX "Software\RegisteredApplications" "Folirex" "${APPKEY}\Capabilities"

  ; The converter, where there is one: by its name from a new command prompt, and from
  ; Explorer's menu on the documents.
  ${If} ${FileExists} "$INSTDIR\folirex-convert.exe"
    Call AddToPath
    !insertmacro WriteConvertVerb .mdi
    !insertmacro WriteConvertVerb .tif
    !insertmacro WriteConvertVerb .tiff
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\Folirex.lnk" "$INSTDIR\Folirex.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr SHCTX "${APPKEY}" "InstallDir" "$INSTDIR"
  WriteRegStr SHCTX "${APPKEY}" "Bits" $Bits
  WriteRegStr SHCTX "${APPKEY}" "Version" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayName" "Folirex"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTKEY}" "Publisher" "Folirex"
  WriteRegStr SHCTX "${UNINSTKEY}" "DisplayIcon" '"$INSTDIR\Folirex.exe",0'
  WriteRegStr SHCTX "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTKEY}" "EstimatedSize" $0
  ${NotifyShell_AssocChanged}
SectionEnd

!macro RemoveOpenWith EXT
  DeleteRegKey SHCTX "Software\Classes\${EXT}\OpenWithList\Folirex.exe"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}\OpenWithList"
  DeleteRegValue SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${TIFFPROGID}"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${EXT}"
!macroend

Function un.onInit
  ; A removal for every user is one whose machine-wide record names this folder.
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${APPKEY}" "InstallDir"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    !insertmacro ElevateForAllUsers "$INSTDIR\Uninstall.exe"
  ${EndIf}
  !insertmacro UseContext
  ReadRegStr $Bits SHCTX "${APPKEY}" "Bits"
FunctionEnd

Section "Uninstall"
  Call un.RemoveStandIn

  ReadRegStr $0 SHCTX "Software\Classes\.mdi" ""
  ${If} $0 == "${PROGID}"
    ReadRegStr $1 SHCTX "${APPKEY}" "PreviousMdiType"
    ${If} $1 != ""
      WriteRegStr SHCTX "Software\Classes\.mdi" "" $1
    ${Else}
      DeleteRegValue SHCTX "Software\Classes\.mdi" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue SHCTX "Software\Classes\.mdi\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.mdi\OpenWithProgids"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.mdi"
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "Software\Classes\${TIFFPROGID}"
  DeleteRegValue SHCTX "Software\RegisteredApplications" "Folirex"
  !insertmacro DeleteKeyIfEmpty "Software\RegisteredApplications"
  Call un.RemoveFromPath
  !insertmacro RemoveConvertVerb .mdi
  !insertmacro RemoveConvertVerb .tif
  !insertmacro RemoveConvertVerb .tiff
  !insertmacro DeleteKeyIfEmpty "Software\Classes\SystemFileAssociations"
  DeleteRegKey SHCTX "Software\Classes\Applications\Folirex.exe"
  DeleteRegKey /ifempty SHCTX "Software\Classes\Applications"
  !insertmacro RemoveOpenWith .tif
  !insertmacro RemoveOpenWith .tiff

  Delete "$SMPROGRAMS\Folirex.lnk"
  DeleteRegKey SHCTX "${UNINSTKEY}"
  !insertmacro RemoveIfMade MadeUninstallList "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  !insertmacro RemoveIfMade MadeClasses "Software\Classes"
  ReadRegDWORD $2 SHCTX "${APPKEY}" "MadeProgramsFolder"
  DeleteRegKey SHCTX "${APPKEY}"
  ${NotifyShell_AssocChanged}

  ; The files the setup put here, and the program's last-file record; anything else (a
  ; document saved here) stays, and with it the folder.
  Delete "$INSTDIR\Folirex.exe"
  Delete "$INSTDIR\Folirex.exe.cfg"
  Delete "$INSTDIR\MiPageView.dll"
  Delete "$INSTDIR\folirex-convert.exe"
  Delete "$INSTDIR\convert-to-pdf.cmd"
  ; Languages the user added to the data stay, and with them the folder.
  Delete "$INSTDIR\tessdata\eng.traineddata"
  Delete "$INSTDIR\tessdata\osd.traineddata"
  RMDir "$INSTDIR\tessdata"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\licences"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $2 == 1
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}
SectionEnd
