@echo off
rem Removes Morphel's registration: the same as register.cmd, with regsvr32 /u.
rem   unregister.cmd [x64 ^| x86]
call "%~dp0register.cmd" /u %*
exit /b %errorlevel%
