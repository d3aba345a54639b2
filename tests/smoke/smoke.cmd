@echo off
rem Smoke test of tembra-uninstall.exe against the machine's own service control manager.
rem Creates and starts tembra_service from the sample service, runs the tool (exit status 0,
rem exactly the success line, service gone), runs it again (exit status 1, "(os error 1060)"
rem on standard error). Prints one result line; exit status 0 only when every check passed.
rem Run as administrator: smoke.cmd <tool exe> <sample service exe>
rem fc and findstr are not used: under Wine they answer 0 whatever they compare.
setlocal enabledelayedexpansion
if "%~2"=="" (
  echo usage: smoke.cmd TOOL_EXE SAMPLE_SERVICE_EXE
  exit /b 2
)
set "TOOL=%~f1"
set "SERVICE_EXE=%~f2"
set SERVICE=tembra_service
set "SUCCESS=Service uninstalled successfully. Resource cleanup warnings can be ignored."
set "WORK=%TEMP%\tembra-smoke"

call :state
if defined STATE (
  echo smoke: FAIL %SERVICE% exists already ^(!STATE!^); left alone
  exit /b 1
)
rem Not "mkdir ... || ...": Wine's cmd runs the right-hand side even when mkdir succeeds.
if exist "%WORK%\" rd /s /q "%WORK%"
mkdir "%WORK%"
if not exist "%WORK%\" (
  echo smoke: FAIL cannot make %WORK%
  exit /b 1
)

sc create %SERVICE% binPath= "\"%SERVICE_EXE%\"" >nul
if not "%errorlevel%"=="0" (set "WHY=sc create failed" & goto fail)
sc start %SERVICE% >nul
set TRIES=0
:wait_running
call :state
if "%STATE%"=="RUNNING" goto running
set /a TRIES+=1
if %TRIES% geq 30 (set "WHY=service not RUNNING after 30 s (state: %STATE%)" & goto fail)
ping -n 2 127.0.0.1 >nul
goto wait_running
:running

rem First run: removes the service.
"%TOOL%" >"%WORK%\out1.txt" 2>"%WORK%\err1.txt"
set RC=%errorlevel%
if not "%RC%"=="0" (set "WHY=first run: exit status %RC%, expected 0" & goto fail)
rem Exactly one line, the success line, ended by a single line feed.
set LINES=0
set "LINE="
for /f "usebackq delims=" %%L in ("%WORK%\out1.txt") do (
  set /a LINES+=1
  set "LINE=%%L"
)
for %%F in ("%WORK%\out1.txt") do set SIZE=%%~zF
if not "%LINES%"=="1" (set "WHY=first run: %LINES% lines on standard output, expected 1" & goto fail)
if not "!LINE!"=="%SUCCESS%" (set "WHY=first run: standard output is not the success line" & goto fail)
if not "%SIZE%"=="76" (set "WHY=first run: standard output is %SIZE% bytes, expected 76" & goto fail)
call :wait_gone
if defined STATE (set "WHY=first run: the service is still there after 60 s (%STATE%)" & goto fail)

rem Second run: no such service.
"%TOOL%" >"%WORK%\out2.txt" 2>"%WORK%\err2.txt"
set RC=%errorlevel%
if not "%RC%"=="1" (set "WHY=second run: exit status %RC%, expected 1" & goto fail)
for %%F in ("%WORK%\out2.txt") do set SIZE=%%~zF
if not "%SIZE%"=="0" (set "WHY=second run: %SIZE% bytes on standard output, expected none" & goto fail)
set "FOUND="
for /f "usebackq delims=" %%L in ("%WORK%\err2.txt") do (
  set "LINE=%%L"
  if not "!LINE:(os error 1060)=!"=="!LINE!" set FOUND=1
)
if not defined FOUND (set "WHY=second run: no (os error 1060) on standard error" & goto fail)

rd /s /q "%WORK%"
echo smoke: PASS
exit /b 0

:fail
rem Remove the service this script created, if it is still there.
call :state
if defined STATE (
  sc stop %SERVICE% >nul 2>&1
  sc delete %SERVICE% >nul 2>&1
  call :wait_gone
)
echo smoke: FAIL !WHY! ^(outputs kept in %WORK%^)
exit /b 1

rem Sets STATE to the service's state word (RUNNING, STOPPED, ...), or clears it when there is
rem no such service.
:state
set "STATE="
for /f "tokens=1,4" %%A in ('sc query %SERVICE% 2^>nul') do if "%%A"=="STATE" set "STATE=%%B"
exit /b 0

rem Waits until the service is gone, 60 tries a second apart; STATE is then its state, or cleared.
rem A service deleted before it has stopped is only marked for deletion, and goes once it has
rem stopped: on a busy machine, some seconds later.
:wait_gone
set GONE_TRIES=0
:wait_gone_again
call :state
if not defined STATE exit /b 0
set /a GONE_TRIES+=1
if %GONE_TRIES% geq 60 exit /b 0
ping -n 2 127.0.0.1 >nul
goto wait_gone_again
