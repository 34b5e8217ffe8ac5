@echo off
rem Registers the folder of this script as the agent's installation folder, so
rem that a console run from anywhere loads the simulated agent kept here.
rem A registration of another folder (a real agent) is left alone.
setlocal
set "key=HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro Security"
set "here=%~dp0"
rem Without the trailing backslash, which would escape the closing quote below.
set "here=%here:~0,-1%"

set "current="
reg query "%key%" /reg:64 >nul 2>&1
if errorlevel 1 goto register
for /f "tokens=1,2,*" %%a in ('reg query "%key%" /v InstallLocation /reg:64 2^>nul') do (
  if /i "%%a"=="InstallLocation" set "current=%%c"
)
if /i "%current%"=="%here%" goto register
if defined current (
  echo install-demo: an agent is already registered at "%current%"; nothing was changed.
) else (
  echo install-demo: "%key%" exists already; nothing was changed.
)
exit /b 1

:register
reg add "%key%" /v InstallLocation /t REG_SZ /d "%here%" /f /reg:64 >nul
if errorlevel 1 (
  echo install-demo: cannot write "%key%"; run it as an administrator.
  exit /b 1
)
echo The simulated agent in "%here%" is registered.
echo Try: "%here%\Product.Console.exe" /c GetVersion product
exit /b 0
