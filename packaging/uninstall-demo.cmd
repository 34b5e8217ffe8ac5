@echo off
rem Removes the registration that install-demo.cmd made for this folder, and
rem nothing else: a registration of another folder is left alone.
setlocal
set "key=HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro Security"
set "here=%~dp0"
set "here=%here:~0,-1%"

set "current="
for /f "tokens=1,2,*" %%a in ('reg query "%key%" /v InstallLocation /reg:64 2^>nul') do (
  if /i "%%a"=="InstallLocation" set "current=%%c"
)
if not defined current (
  echo uninstall-demo: no agent is registered; nothing was changed.
  exit /b 0
)
if /i not "%current%"=="%here%" (
  echo uninstall-demo: the agent registered at "%current%" is not this one; nothing was changed.
  exit /b 1
)
rem install-demo only registers where no other key existed, so the key is ours.
reg delete "%key%" /f /reg:64 >nul
if errorlevel 1 (
  echo uninstall-demo: cannot remove "%key%"; run it as an administrator.
  exit /b 1
)
echo The registration of "%here%" is removed.
exit /b 0
