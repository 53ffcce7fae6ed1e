; The players' setup program: installs the plug-in and the updater, registers
; the plug-in for browsers, sets the servers it trusts, and leaves an
; uninstaller that takes away exactly what it put there. Everything in the
; registry goes to the view of the setup's own width, where a browser of
; that width reads: 32 bits, as shipped; WIDTH=64 makes a 64-bit setup of
; the x86_64 build's files, which the tests run where 32-bit programs cannot.
;
; Built by build_setup.sh: makensis -DVERSION=1.0.0.1 -DSITE=www.example.com
;   -DSTAGE=<folder with NPvkchk.dll, vkupdate.exe, README.txt, vkupdate.ico>
;   -DOUTFILE=<exe> -DWIDTH=32|64 [-DSIGN]
; SIGN: the uninstaller is signed (sign.sh) before it is packed.

!ifndef WIDTH
    !define WIDTH 32
!endif
!if ${WIDTH} == 64
    Target amd64-unicode
    !define PROGRAM_FILES "$PROGRAMFILES64"
    !define OTHER_WIDTH 32
!else if ${WIDTH} == 32
    !define PROGRAM_FILES "$PROGRAMFILES32"
    !define OTHER_WIDTH 64
!else
    !error "WIDTH is 32 or 64, not ${WIDTH}"
!endif

; How many characters at a text's start are among a set: the C runtime
; compares character codes, not the system's collation, as the plug-in does.
!ifdef NSIS_UNICODE
    !define SPAN "msvcrt::wcsspn"
    !define CHARSET W
!else
    !define SPAN "msvcrt::strspn"
    !define CHARSET A
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define PRODUCT "Velkor Games Online Client"
!define VENDOR "Velkor Games Online"
!define PLUGIN_KEY "Software\MozillaPlugins\@velkorgames.com/vkchk"
!define PLUGINS_KEY "Software\MozillaPlugins"
!define VENDOR_KEY "Software\Velkor Games Online"
!define TRUST_KEY "${VENDOR_KEY}\Versioning Plug-in"
!define COMPONENTS_KEY "${VENDOR_KEY}\Velkor System Components"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelkorGamesOnlineClient"
!define DEFAULT_DIR "${PROGRAM_FILES}\Velkor Games Online\Client"
; The plug-in reads the list into a buffer of 256 characters.
!define TRUSTED_MAX 255
; The characters of its command line NSIS keeps, terminator aside.
!define /math CMDLINE_HELD ${NSIS_MAX_STRLEN} - 1

Name "${PRODUCT} ${VERSION}"
BrandingText "${VENDOR}"
OutFile "${OUTFILE}"
; The uninstaller is made ready for a signature as the programs are, so that
; a signed one with its signature removed equals the unsigned one.
!uninstfinalize 'python3 "${__FILEDIR__}/pad_pe.py" "%1"'
!ifdef SIGN
    !uninstfinalize 'sh "${__FILEDIR__}/sign.sh" "%1"'
!endif
InstallDir "${DEFAULT_DIR}"
; A reinstall without /D= goes where the last one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; A file in use (a browser holding the plug-in) fails the setup rather than
; being skipped and reported as installed.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${VENDOR}"

; The pages of any Windows setup; a silent run (/S) shows none of them.
; The details stay up until Next: they say which servers are trusted.
!define MUI_ICON "${STAGE}/vkupdate.ico"
!define MUI_UNICON "${STAGE}/vkupdate.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} on your computer: the browser plug-in that checks your games against the web site and starts them, and the game updater.$\r$\n$\r$\nClose your web browsers before you continue: a browser that holds the plug-in keeps it from being replaced.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

Var Trusted   ; the origins written to TrustedServers
Var Notes     ; what the setup has to tell, also for a silent run

; Text for whoever started the setup: its standard output when it has one
; (a silent run from a command prompt with its output redirected, a
; deployment tool), the details list, and setup.log.
!macro Tell text
    StrCpy $Notes "$Notes${text}$\r$\n"
    DetailPrint "${text}"
    Push "${text}"
    Call WriteStdOut
!macroend

; A setup that stops says why: a refusal has said it already; otherwise it
; was a file that could not be written, NSIS's own message, which /S hides.
Var Refused
Function .onInstFailed
    ${If} $Refused == ""
        Push "Not installed: a file in $INSTDIR could not be written. A running browser holding NPvkchk.dll keeps it; close the browsers and run the setup again."
        Call WriteStdOut
    ${EndIf}
FunctionEnd

Function WriteStdOut
    Exch $0
    Push $1
    System::Call 'kernel32::GetStdHandle(i -11) p.r1'
    ${If} $1 P<> 0
    ${AndIf} $1 P<> -1
        FileWrite $1 "$0$\r$\n"
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; ---- The trusted servers: /TRUSTED=, its check, and what the setup keeps ----

Var TrustedGiven    ; 1 when /TRUSTED= named the list
Var TrustAction     ; "write" $Trusted, or "keep" the list found
Var TrustOwnType    ; TrustedServers' registry type in the setup's view, "" when absent
Var TrustOtherType  ; the same in the other view, which the plug-in reads when its own has none

; Checks the origins in $Trusted by the plug-in's own rule, separated by
; blanks or tabs: "http://" or "https://" in any case, a host of ASCII
; letters, digits, "." and "-", and at most ":" and a port from 1 to 65535
; in at most five digits; nothing else. Sets $R9 to the reason when they
; are not all origins.
Function CheckOrigins
    Push $0 ; position
    Push $1 ; character
    Push $2 ; the word so far
    Push $3 ; words seen
    StrCpy $R9 ""
    StrLen $0 $Trusted
    ${If} $0 > ${TRUSTED_MAX}
        StrCpy $R9 "the list is longer than ${TRUSTED_MAX} characters"
    ${EndIf}
    StrCpy $0 0
    StrCpy $2 ""
    StrCpy $3 0
    ${DoWhile} $R9 == ""
        StrCpy $1 $Trusted 1 $0
        IntOp $0 $0 + 1
        ${If} $1 == " "
        ${OrIf} $1 == "$\t"
        ${OrIf} $1 == ""
            ${If} $2 != ""
                IntOp $3 $3 + 1
                Push $2
                Call CheckOrigin
            ${EndIf}
            StrCpy $2 ""
            ${IfThen} $1 == "" ${|} ${Break} ${|}
        ${Else}
            StrCpy $2 "$2$1"
        ${EndIf}
    ${Loop}
    ${If} $R9 == ""
    ${AndIf} $3 == 0
        StrCpy $R9 "no origin given"
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; One origin from the stack, by the rule above; $R9 the reason it is not one.
Function CheckOrigin
    Exch $3 ; the origin
    Push $4 ; what follows the scheme, then the host, then the port
    Push $5 ; a count
    Push $6 ; a count, then the port's value
    Push $7 ; text, then a character
    Push $8 ; position
    StrCpy $4 $3 7
    StrCpy $5 $3 8
    ${If} $4 == "http://"
        StrCpy $4 $3 "" 7
        StrCpy $5 7
    ${ElseIf} $5 == "https://"
        StrCpy $4 $3 "" 8
        StrCpy $5 8
    ${Else}
        StrCpy $R9 "$3 is not an http:// or https:// origin"
    ${EndIf}
    ; StrCmp ignores case by the system's collation, which may match other
    ; characters than the ASCII letters the plug-in takes.
    ${If} $R9 == ""
        StrCpy $7 $3 $5
        System::Call '${SPAN}(t r7, t "HTPShtps:/") i .r6 ?c'
        ${IfThen} $6 != $5 ${|} StrCpy $R9 "$3 is not an http:// or https:// origin" ${|}
    ${EndIf}
    ${If} $R9 == ""
        System::Call '${SPAN}(t r4, t "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") i .r5 ?c'
        ${IfThen} $5 == 0 ${|} StrCpy $R9 "$3 has no host" ${|}
    ${EndIf}
    ${If} $R9 == ""
        StrCpy $4 $4 "" $5
        StrCpy $7 $4 1
        ${If} $7 == ":"
            StrCpy $4 $4 "" 1
            System::Call '${SPAN}(t r4, t "0123456789") i .r5 ?c'
            ${If} $5 < 1
            ${OrIf} $5 > 5
                StrCpy $R9 "$3 has a bad port"
            ${Else}
                ; Digit by digit: IntOp reads a leading 0 as octal.
                StrCpy $6 0
                StrCpy $8 0
                ${DoWhile} $8 < $5
                    StrCpy $7 $4 1 $8
                    IntOp $6 $6 * 10
                    IntOp $6 $6 + $7
                    IntOp $8 $8 + 1
                ${Loop}
                StrCpy $4 $4 "" $5
                ${If} $6 < 1
                ${OrIf} $6 > 65535
                    StrCpy $R9 "$3 has a bad port"
                ${ElseIf} $4 != ""
                    StrCpy $R9 "$3 has more than a scheme, a host and a port"
                ${EndIf}
            ${EndIf}
        ${ElseIf} $7 != ""
            StrCpy $R9 "$3 has more than a scheme, a host and a port"
        ${EndIf}
    ${EndIf}
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
FunctionEnd

; /TRUSTED=VALUE from the parameters in $0 into $Trusted, $TrustedGiven 1.
; The value runs to the next blank, or is quoted: /TRUSTED="a b", or
; "/TRUSTED=a b" as programs that quote each argument pass it. (GetOptions
; would end it at the first "/" of "http://".) A switch the setup cannot
; read whole sets $R9 to the reason: the setup must not go on with a list
; other than the one given.
Function ReadTrustedSwitch
    ; NSIS holds only the first ${NSIS_MAX_STRLEN} characters of its command
    ; line (less /D= and what follows): a /TRUSTED= behind them would be
    ; lost without a word.
    System::Call 'kernel32::GetCommandLine${CHARSET}() p .r7'
    System::Call 'kernel32::lstrlen${CHARSET}(p r7) i .r7'
    StrLen $8 $CMDLINE
    ${If} $8 >= ${CMDLINE_HELD}
    ${AndIf} $7 > $8
        StrCpy $R9 "the command line is longer than the setup can read whole ($7 characters)"
        Return
    ${EndIf}
    StrLen $2 $0
    StrCpy $3 0
    ${DoWhile} $3 < $2
        StrCpy $4 $0 9 $3
        ${If} $4 != "/TRUSTED="
            IntOp $3 $3 + 1
            ${Continue}
        ${EndIf}
        ${If} $TrustedGiven == 1
            StrCpy $R9 "given more than once"
            Return
        ${EndIf}
        StrCpy $TrustedGiven 1
        StrCpy $5 " "
        ${If} $3 > 0
            IntOp $6 $3 - 1
            StrCpy $6 $0 1 $6
            ${IfThen} $6 == "$\"" ${|} StrCpy $5 "$\"" ${|}
        ${EndIf}
        IntOp $3 $3 + 9
        StrCpy $4 $0 "" $3
        StrCpy $6 $4 1
        ${If} $5 == " "
        ${AndIf} $6 == "$\""
            StrCpy $5 "$\""
            StrCpy $4 $4 "" 1
        ${EndIf}
        StrCpy $Trusted ""
        ${Do}
            StrCpy $6 $4 1
            ${If} $6 == ""
            ${OrIf} $6 == $5
                ${Break}
            ${EndIf}
            StrCpy $Trusted "$Trusted$6"
            StrCpy $4 $4 "" 1
        ${Loop}
        ${If} $6 == ""
        ${AndIf} $5 == "$\""
            StrCpy $R9 "its closing quote is missing"
            Return
        ${EndIf}
        StrLen $4 $4
        IntOp $3 $2 - $4
    ${Loop}
FunctionEnd

; $R8 := the registry type of TrustedServers in the view of $R7 bits, ""
; when there is none. (ReadRegStr cannot tell a missing value from one of
; another type.)
Function TrustValueType
    Push $0
    Push $1
    StrCpy $R8 ""
    StrCpy $0 0x20219 ; KEY_READ | KEY_WOW64_32KEY
    ${IfThen} $R7 == 64 ${|} StrCpy $0 0x20119 ${|}
    ; HKEY_LOCAL_MACHINE, sign-extended as the system's headers make it.
    System::Call 'advapi32::RegOpenKeyEx(p -2147483646, t "${TRUST_KEY}", i 0, i r0, *p .r1) i .r0'
    ${If} $0 == 0
        System::Call 'advapi32::RegQueryValueEx(p r1, t "TrustedServers", p 0, *i .r0, p 0, p 0) i .s'
        Exch $1
        ${IfThen} $1 == 0 ${|} StrCpy $R8 $0 ${|}
        Exch $1
        System::Call 'advapi32::RegCloseKey(p r1)'
        Pop $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; What the install does with TrustedServers: with /TRUSTED=, write it;
; without, keep a list that is there (in either view: the plug-in reads
; the other view when its own has none), or write the default. A value of
; another type than a string could not be put back by the uninstaller: it
; is not replaced. Sets $R9 to the reason when the setup must stop.
Function DecideTrust
    StrCpy $R7 ${WIDTH}
    Call TrustValueType
    StrCpy $TrustOwnType $R8
    StrCpy $R7 ${OTHER_WIDTH}
    Call TrustValueType
    StrCpy $TrustOtherType $R8
    StrCpy $TrustAction "write"
    ${If} $TrustedGiven != 1
        ${If} $TrustOwnType != ""
        ${OrIf} $TrustOtherType != ""
            StrCpy $TrustAction "keep"
        ${EndIf}
    ${ElseIf} $TrustOwnType != ""
    ${AndIf} $TrustOwnType != 1
        StrCpy $R9 "TrustedServers is there already and is not a string value, which the uninstaller could not put back; remove it first"
    ${EndIf}
FunctionEnd

; Carries out DecideTrust's choice. The uninstall entry records, at the
; first install, what was there before (TrustedServersSetup: created,
; replaced with TrustedServersBefore, or kept), so the uninstaller puts
; that back; a later install over it changes the record only when it
; replaces a list an earlier one kept. Tells what the list now is.
Function SetTrust
    Push $0
    Push $1
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "TrustedServersSetup"
    ${If} $TrustAction == "keep"
        ${IfThen} $0 == "" ${|} WriteRegStr HKLM "${UNINSTALL_KEY}" "TrustedServersSetup" "kept" ${|}
        ReadRegStr $1 HKLM "${TRUST_KEY}" "TrustedServers"
        ${If} $TrustOwnType != ""
            !insertmacro Tell "Trusted servers kept as they were: $1"
        ${Else}
            !insertmacro Tell "Trusted servers kept as they were, in the ${OTHER_WIDTH}-bit registry view"
        ${EndIf}
    ${Else}
        ${If} $0 == ""
        ${OrIf} $0 == "kept"
            ${If} $TrustOwnType == ""
                WriteRegStr HKLM "${UNINSTALL_KEY}" "TrustedServersSetup" "created"
            ${Else}
                ReadRegStr $1 HKLM "${TRUST_KEY}" "TrustedServers"
                WriteRegStr HKLM "${UNINSTALL_KEY}" "TrustedServersSetup" "replaced"
                WriteRegStr HKLM "${UNINSTALL_KEY}" "TrustedServersBefore" "$1"
            ${EndIf}
        ${EndIf}
        WriteRegStr HKLM "${TRUST_KEY}" "TrustedServers" "$Trusted"
        !insertmacro Tell "Trusted servers: $Trusted"
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Puts TrustedServers back as the first install found it; with no record
; (an entry of an older setup) the value stays: an uninstall never leaves
; the plug-in trusting more than before.
Function un.RestoreTrust
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "TrustedServersSetup"
    ${If} $0 == "replaced"
        ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "TrustedServersBefore"
        WriteRegStr HKLM "${TRUST_KEY}" "TrustedServers" "$1"
    ${ElseIf} $0 == "created"
        DeleteRegValue HKLM "${TRUST_KEY}" "TrustedServers"
        DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${TRUST_KEY}"
    ${EndIf}
FunctionEnd

; ---- end of the trusted servers ----

Function .onInit
    SetRegView ${WIDTH}
    StrCpy $Trusted "https://${SITE}"
    StrCpy $R9 ""
    ${GetParameters} $0
    Call ReadTrustedSwitch
    ${IfThen} $R9 == "" ${|} Call CheckOrigins ${|}
    ${IfThen} $R9 == "" ${|} Call DecideTrust ${|}
    ${If} $R9 != ""
        StrCpy $0 "/TRUSTED=: $R9. Give blank-separated origins such as https://${SITE} or http://host:8080."
        Push $0
        Call WriteStdOut
        MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

; The files of an installation in dir, as the uninstaller removes them.
; An uninstaller run in place (_?=) cannot delete itself: it and its
; folders go at the next restart.
!macro RemoveFiles dir
    Delete "${dir}\NPvkchk.dll"
    Delete "${dir}\vkupdate.exe"
    Delete "${dir}\README.txt"
    Delete "${dir}\setup.log"
    Delete /REBOOTOK "${dir}\uninstall.exe"
    RMDir /REBOOTOK "${dir}"
    ; The vendor's folder too, when this setup made it: only the default's.
    ${If} "${dir}" == "${DEFAULT_DIR}"
        RMDir /REBOOTOK "${PROGRAM_FILES}\Velkor Games Online"
    ${EndIf}
!macroend

Section "Client"
    SetRegView ${WIDTH}
    ; vkupdate.exe of the System Components may live in SystemPath; this
    ; setup must not replace it, nor take it away when uninstalled.
    ReadRegStr $0 HKLM "${COMPONENTS_KEY}" "SystemPath"
    ReadRegStr $1 HKLM "${COMPONENTS_KEY}" "PlugInPath"
    ${If} $0 != ""
        GetFullPathName $2 "$0\."
        ${If} $2 == $INSTDIR
            !insertmacro Tell "$INSTDIR is the System Components' folder; choose another with /D=."
            StrCpy $Refused 1
            SetErrorLevel 2
            Abort
        ${EndIf}
    ${EndIf}

    ; Installed elsewhere before: the old files go, so one installation remains.
    ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $2 != ""
    ${AndIf} $2 != $INSTDIR
        DetailPrint "Removing the earlier installation in $2"
        !insertmacro RemoveFiles "$2"
    ${EndIf}

    SetOutPath "$INSTDIR"
    SetOverwrite on
    File "${STAGE}/NPvkchk.dll"
    File "${STAGE}/vkupdate.exe"
    File "${STAGE}/README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${PLUGIN_KEY}" "Path" "$INSTDIR\NPvkchk.dll"
    WriteRegStr HKLM "${PLUGIN_KEY}" "Description" "Velkor Versioning"
    WriteRegStr HKLM "${PLUGIN_KEY}" "ProductName" "Velkor Versioning Plugin"
    WriteRegStr HKLM "${PLUGIN_KEY}" "Vendor" "${VENDOR}"
    WriteRegStr HKLM "${PLUGIN_KEY}" "Version" "${VERSION}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    !insertmacro Tell "${PRODUCT} ${VERSION} installed in $INSTDIR"
    Call SetTrust
    ${If} $0 == ""
    ${OrIf} $1 == ""
        !insertmacro Tell "The System Components are not installed (HKEY_LOCAL_MACHINE\${COMPONENTS_KEY} with SystemPath and PlugInPath): the plug-in will not work until they are."
        MessageBox MB_OK|MB_ICONEXCLAMATION "The Velkor System Components are not installed on this computer. The plug-in is installed, but it will not work until they are." /SD IDOK
    ${EndIf}
    FileOpen $3 "$INSTDIR\setup.log" w
    FileWrite $3 "$Notes"
    FileClose $3

    ${GetSize} "$INSTDIR" "/S=0K" $4 $5 $6
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $4
SectionEnd

Function un.onInit
    SetRegView ${WIDTH}
FunctionEnd

Section "Uninstall"
    SetRegView ${WIDTH}
    ; A browser holding the plug-in keeps it: stop before anything is gone.
    Delete "$INSTDIR\NPvkchk.dll"
    ${If} ${FileExists} "$INSTDIR\NPvkchk.dll"
        ; Silent, the exit status says it: the copy NSIS runs from TEMP has no
        ; standard output.
        StrCpy $0 "Not removed: $INSTDIR\NPvkchk.dll is in use. Close the browsers and run the uninstaller again."
        DetailPrint "$0"
        MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    !insertmacro RemoveFiles "$INSTDIR"

    DeleteRegKey HKLM "${PLUGIN_KEY}"
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${PLUGINS_KEY}"
    Call un.RestoreTrust
    ; The System Components' key lives under it: the vendor key stays then.
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${VENDOR_KEY}"
    ; Last, so that the entry is gone only once everything else is.
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
