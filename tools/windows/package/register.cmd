@echo off
rem Registers Morphel for the script hosts of this machine, each DLL with the
rem regsvr32 of its own bitness:
rem   64-bit Windows  x64\morphel.dll with %SystemRoot%\System32\regsvr32.exe
rem                   x86\morphel.dll with %SystemRoot%\SysWOW64\regsvr32.exe
rem   32-bit Windows  x86\morphel.dll with %SystemRoot%\System32\regsvr32.exe
rem Run it from a command prompt opened with "Run as administrator".
rem   register.cmd [x64 ^| x86]     only that one (default: every one that applies)
rem   unregister.cmd [x64 ^| x86]   the same, removing the registration
rem Exit code 0 when every DLL was handled, 1 otherwise, 2 for a wrong argument.
setlocal
set "HERE=%~dp0"
set "MODE="
set "VERB=registered"
set "ENTRY=DllRegisterServer"
set "ONLY=%~1"
if /i "%~1"=="/u" (
  set "MODE=/u"
  set "VERB=unregistered"
  set "ENTRY=DllUnregisterServer"
  set "ONLY=%~2"
)
if "%ONLY%"=="" goto :known
if /i "%ONLY%"=="x64" goto :known
if /i "%ONLY%"=="x86" goto :known
echo Morphel: unknown argument "%ONLY%": give x64, x86 or nothing. 1>&2
exit /b 2
:known

rem A 32-bit command prompt on 64-bit Windows sees SysWOW64 as System32 and
rem reaches the 64-bit folder as Sysnative.
set "SYS64=%SystemRoot%\System32"
set "SYS32=%SystemRoot%\SysWOW64"
if /i "%PROCESSOR_ARCHITECTURE%"=="x86" (
  set "SYS64="
  set "SYS32=%SystemRoot%\System32"
)
if defined PROCESSOR_ARCHITEW6432 (
  set "SYS64=%SystemRoot%\Sysnative"
  set "SYS32=%SystemRoot%\System32"
)
if /i "%ONLY%"=="x86" set "SYS64="
if /i not "%ONLY%"=="x64" goto :bitness_known
if not defined SYS64 (
  echo Morphel: this is 32-bit Windows: it runs no 64-bit host; use x86. 1>&2
  exit /b 1
)
set "SYS32="
:bitness_known

rem Registration writes under HKEY_LOCAL_MACHINE, which needs an elevated prompt.
reg add "HKLM\SOFTWARE\Classes\Morphel.ElevationProbe" /f >nul 2>&1
if errorlevel 1 (
  echo Morphel: not elevated: open the command prompt with "Run as administrator" and run %~nx0 again. 1>&2
  exit /b 1
)
reg delete "HKLM\SOFTWARE\Classes\Morphel.ElevationProbe" /f >nul 2>&1

set "FAILED=0"
if defined SYS64 call :regsvr x64 "%SYS64%"
if defined SYS32 call :regsvr x86 "%SYS32%"
exit /b %FAILED%

rem :regsvr FOLDER SYSTEMDIR: FOLDER\morphel.dll with SYSTEMDIR\regsvr32.exe.
rem Paths are echoed outside parenthesised blocks: "Program Files (x86)" would
rem end a block early.
:regsvr
set "DLL=%HERE%%~1\morphel.dll"
set "REGSVR=%~2\regsvr32.exe"
set "WHY="
if not exist "%DLL%" set "WHY=the file is missing: unpack the whole zip and run the script from its folder"
if "%WHY%"=="" if not exist "%REGSVR%" set "WHY=%REGSVR% is missing"
if not "%WHY%"=="" goto :failed
"%REGSVR%" /s %MODE% "%DLL%"
set "RC=%errorlevel%"
if "%RC%"=="0" goto :handled
set "WHY=regsvr32 exit code %RC%"
if "%RC%"=="3" set "WHY=the DLL could not be loaded (regsvr32 exit code 3)"
if "%RC%"=="4" set "WHY=%ENTRY% not found in the DLL (regsvr32 exit code 4)"
if "%RC%"=="5" set "WHY=%ENTRY% failed (regsvr32 exit code 5; an elevated prompt is needed)"
:failed
echo Morphel: %DLL% was not %VERB%: %WHY%. 1>&2
set "FAILED=1"
goto :eof
:handled
echo Morphel: %~1\morphel.dll %VERB% with %REGSVR%
goto :eof
