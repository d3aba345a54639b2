; Example NSIS installer for a product whose Windows service is "tembra_service";
; sample-service.exe stands in for the vendor's own service program.
;
; Build:
;   makensis -DTOOL_DIR=<folder> -DOUTFILE=<installer.exe> examples/nsis/tembra.nsi
; where <folder> holds the release zip's files, extracted, and sample-service.exe. Give absolute
; paths: makensis resolves relative ones from this file's folder.
;
; LICENSE and THIRD-PARTY-NOTICES.txt go beside the exe and stay as long as it does: the tool's
; MIT licence and the ZPL-2.1 of the MinGW-w64 runtime linked into it ask for their notices to go
; with every copy shipped. A product with files of these names already installs these under
; others (File /oname=...). The zip's other files, tembra-uninstall.cdx.json included, are for
; the vendor and need not be installed.
;
; The uninstaller removes the service with tembra-uninstall.exe, and only then the files. Its
; exit status is 0 when the service was removed or was already gone; 3010
; (ERROR_SUCCESS_REBOOT_REQUIRED) when the service was only marked for deletion, as a service
; that is still running is: the files it cannot delete yet go at the next restart; 2 otherwise:
; the files then stay, so that the uninstall can be run again. A program that runs it silently
; must pass the install folder as the last argument, "_?=<folder>", to wait for it and get that
; status.
; A real installer also registers its uninstaller with Windows (Add/Remove Programs); left
; out here.

Unicode true
RequestExecutionLevel admin
!include LogicLib.nsh
!include StrFunc.nsh
${UnStrStr} ; makes ${UnStrStr} usable in the uninstaller

!define SERVICE tembra_service
!define LOG "$TEMP\tembra-uninstall.log"

Name "Tembra"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Tembra"

Page directory
Page instfiles
UninstPage instfiles
ShowUninstDetails show

Section
  SetOutPath "$INSTDIR"
  File "${TOOL_DIR}/tembra-uninstall.exe"
  File "${TOOL_DIR}/LICENSE"
  File "${TOOL_DIR}/THIRD-PARTY-NOTICES.txt"
  File "${TOOL_DIR}/sample-service.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  nsExec::ExecToLog '"$SYSDIR\sc.exe" create ${SERVICE} binPath= "\"$INSTDIR\sample-service.exe\"" start= auto'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Could not create the service (sc: $0)."
    SetErrorLevel 2
    Quit
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\sc.exe" start ${SERVICE}'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Could not start the service (sc: $0)."
    SetErrorLevel 2
    Quit
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; RUST_LIB_BACKTRACE=0 keeps a stack backtrace out of the tool's failure report where the
  ; machine sets RUST_BACKTRACE=1; remove this line to let one in.
  System::Call 'kernel32::SetEnvironmentVariable(t "RUST_LIB_BACKTRACE", t "0")'

  ; cmd writes the tool's standard output and standard error, merged in the order written, into
  ; the log byte for byte, and ends with the tool's exit status: $0 ("error" if cmd did not
  ; start). nsExec's own capture would decode the output in the ANSI code page, and the tool
  ; writes UTF-8.
  nsExec::ExecToLog '"$SYSDIR\cmd.exe" /d /s /c ""$INSTDIR\tembra-uninstall.exe" >"${LOG}" 2>&1"'
  Pop $0

  ; $1: the log's first 1023 bytes as text, decoded from UTF-8 (FileRead would take them in the
  ; ANSI code page, and garble a cause line in another script; it comes well before that end).
  System::Call 'kernel32::CreateFileW(w "${LOG}", i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r2'
  System::Call '*(&m1024) p .r3'
  System::Call 'kernel32::ReadFile(p r2, p r3, i 1023, *i 0 r4, p 0)'
  System::Call 'kernel32::CloseHandle(p r2)'
  System::Call 'kernel32::MultiByteToWideChar(i 65001, i 0, p r3, i r4, w .r1, i ${NSIS_MAX_STRLEN}) i .r5'
  System::Free $3
  StrCpy $1 $1 $5

  ; Shown in the details, line by line.
  StrCpy $2 0
  StrCpy $3 ""
  ${Do}
    StrCpy $4 $1 1 $2
    ${If} $4 == "$\n"
      DetailPrint "$3"
      StrCpy $3 ""
    ${ElseIf} $4 == ""
      ${If} $3 != ""
        DetailPrint "$3"
      ${EndIf}
    ${ElseIf} $4 != "$\r"
      StrCpy $3 "$3$4"
    ${EndIf}
    IntOp $2 $2 + 1
  ${LoopUntil} $4 == ""
  DetailPrint "tembra-uninstall.exe exit status: $0 (output kept in ${LOG})"

  ; Exit status 1 with "(os error 1060)" means the service does not exist: nothing left to
  ; remove. The text is the same in every system language.
  ${UnStrStr} $5 "$1" "(os error 1060)"
  ${If} $0 == 1
  ${AndIf} $5 != ""
    StrCpy $0 0
  ${EndIf}
  ${If} $0 != 0
    DetailPrint "The service could not be removed; the files stay so that this can be run again."
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; Exit status 0 and the service's key still there: the service is only marked for deletion
  ; (it did not stop, or another program holds it open). Windows removes it once it has stopped,
  ; at the latest at the next restart; until then its program may run, and its file cannot be
  ; deleted.
  ClearErrors
  EnumRegKey $2 HKLM "SYSTEM\CurrentControlSet\Services\${SERVICE}" 0
  ${IfNot} ${Errors}
    DetailPrint "The service is marked for deletion: it goes at the next restart, with the files still in use."
    SetRebootFlag true
  ${EndIf}

  ; A file that cannot be deleted now goes at the next restart (/REBOOTOK), which sets the
  ; reboot flag. The tool has ended, so it goes at once, and its notices with it.
  Delete /REBOOTOK "$INSTDIR\tembra-uninstall.exe"
  Delete /REBOOTOK "$INSTDIR\LICENSE"
  Delete /REBOOTOK "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete /REBOOTOK "$INSTDIR\sample-service.exe"
  ${If} ${RebootFlag}
    ; The folder too, after the files, and this uninstaller when it runs from the folder
    ; ("_?="). 3010: a restart completes the uninstall.
    Delete /REBOOTOK "$INSTDIR\uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    SetErrorLevel 3010
  ${Else}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd
