@echo off
rem Removes what install-demo.cmd added for this folder, and nothing else: the
rem agent's key only when it carries install-demo's mark for this folder, and
rem the throw-away certificate only from the stores it recorded adding it to.
setlocal
set "reg=%SystemRoot%\System32\reg.exe"
set "certutil=%SystemRoot%\System32\certutil.exe"
set "key=HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro Security"
set "mark=SimulatedAgentDemo"
set "here=%~dp0"
set "here=%here:~0,-1%"
rem Never a folder that is not this script's (Wine's cmd, for one, drops the
rem "%" signs of a folder's name from %~dp0).
if not exist "%here%\%~nx0" goto unknown_folder

%reg% query "%key%" /reg:64 >nul 2>&1
if errorlevel 1 goto not_registered
set "marked="
set "current="
set "trusted="
set "stores="
call :read_value %mark% marked
call :read_value InstallLocation current
call :read_value DemoCertificate trusted
call :read_value DemoCertificateStores stores
if not defined marked goto foreign
if /i not "%marked%"=="%here%" goto other_demo

if not defined trusted goto remove_key
call :untrust_all
if errorlevel 1 exit /b 1
echo The demo's certificate %trusted% is no longer trusted.
:remove_key
%reg% delete "%key%" /f /reg:64 >nul 2>&1
if errorlevel 1 goto cannot_write
echo The registration of "%here%" is removed.
exit /b 0

:untrust_all
for %%s in (%stores%) do (
  call :untrust %%s
  if errorlevel 1 exit /b 1
)
exit /b 0

:untrust
rem certutil fails with negative codes, which "if errorlevel 1" takes for success.
%certutil% -store %1 %trusted% >nul 2>&1
if not "%errorlevel%"=="0" exit /b 0
%certutil% -delstore %1 %trusted% >nul 2>&1
if "%errorlevel%"=="0" exit /b 0
echo uninstall-demo: cannot remove the certificate %trusted% from the store %1; run it as an administrator.
exit /b 1

rem Sets the variable %2 to the data of the key's value %1 (empty without one).
:read_value
for /f "tokens=1,2,*" %%a in ('%reg% query "%key%" /v %1 /reg:64 2^>nul') do (
  if /i "%%a"=="%1" set "%2=%%c"
)
exit /b 0

:not_registered
echo uninstall-demo: no agent is registered; nothing was changed.
exit /b 0

:foreign
if defined current (
  echo uninstall-demo: the agent registered at "%current%" is not this demo; nothing was changed.
) else (
  echo uninstall-demo: "%key%" was not made by install-demo.cmd; nothing was changed.
)
exit /b 1

:other_demo
echo uninstall-demo: the simulated agent registered is the one in "%marked%", not this one; nothing was changed.
exit /b 1

:cannot_write
echo uninstall-demo: cannot remove "%key%"; run it as an administrator.
exit /b 1

:unknown_folder
echo uninstall-demo: cannot tell the folder of this script (not "%here%"); nothing was changed.
exit /b 1
