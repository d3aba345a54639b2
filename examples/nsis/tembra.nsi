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
; exit status is 0 when the service was removed or was already gone, 2 otherwise: the files
; then stay, so that the uninstall can be run again. A program that runs it silently must pass
; the install folder as the last argument, "_?=<folder>", to wait for it and get that status.
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
  ; $0: the tool's exit status ("error" if it did not start); $1: its standard output and
  ; standard error, merged in the order written (the first 1023 characters: the report's
  ; cause line comes well before).
  nsExec::ExecToStack '"$INSTDIR\tembra-uninstall.exe"'
  Pop $0
  Pop $1

  ; Keep the output in the temp folder and show it in the details, line by line.
  FileOpen $2 "${LOG}" w
  FileWrite $2 "$1"
  FileClose $2
  FileOpen $2 "${LOG}" r
  ClearErrors
  ${Do}
    FileRead $2 $3
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    StrCpy $4 $3 1 -1
    ${IfThen} $4 == "$\n" ${|} StrCpy $3 $3 -1 ${|}
    StrCpy $4 $3 1 -1
    ${IfThen} $4 == "$\r" ${|} StrCpy $3 $3 -1 ${|}
    DetailPrint "$3"
  ${Loop}
  FileClose $2
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

  Delete "$INSTDIR\tembra-uninstall.exe"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\sample-service.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
