@echo off
rem Registers the folder of this script as the agent's installation folder, so
rem that a console run from anywhere loads the simulated agent kept here.
rem
rem   install-demo.cmd [/trust]
rem
rem The key it creates carries a value of its own (SimulatedAgentDemo, this
rem folder); uninstall-demo.cmd removes only a key with that mark. A key that
rem was there before (a real agent's, or anybody's) is left as it was.
rem
rem /trust: Windows loads the agent's library only when its signature is
rem trusted. A build signed with a throw-away certificate carries it here
rem (demo-certificate.cer); /trust adds that one certificate to the local
rem machine's Trusted Root Certification Authorities and Trusted Publishers
rem stores, where it was not yet, and records it in the key, so that
rem uninstall-demo.cmd removes exactly it again. Without /trust no store is
rem touched.
setlocal
set "reg=%SystemRoot%\System32\reg.exe"
set "certutil=%SystemRoot%\System32\certutil.exe"
set "key=HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro Security"
set "mark=SimulatedAgentDemo"
set "here=%~dp0"
rem Without the trailing backslash, which would escape the closing quote below.
set "here=%here:~0,-1%"
rem Never a folder that is not this script's (Wine's cmd, for one, drops the
rem "%" signs of a folder's name from %~dp0).
if not exist "%here%\%~nx0" goto unknown_folder

set "trust="
if /i "%~1"=="/trust" set "trust=1"
if "%~1"=="" goto arguments_read
if defined trust goto arguments_read
echo usage: install-demo.cmd [/trust]
exit /b 2
:arguments_read

set "thumbprint="
if not defined trust goto certificate_read
if not exist "%here%\demo-certificate.cer" goto no_certificate
if not exist "%here%\demo-certificate.sha1" goto no_certificate
set /p thumbprint=<"%here%\demo-certificate.sha1"
:certificate_read

set "marked="
set "current="
set "trusted="
set "stores="
%reg% query "%key%" /reg:64 >nul 2>&1
if errorlevel 1 goto register
call :read_value %mark% marked
call :read_value InstallLocation current
call :read_value DemoCertificate trusted
call :read_value DemoCertificateStores stores
if not defined marked goto foreign
if /i not "%marked%"=="%here%" goto other_demo
rem Ours, from an earlier run: registered again, the certificate it trusted kept.
if not defined thumbprint goto register
if not defined trusted goto register
if /i "%trusted%"=="%thumbprint%" goto register
echo install-demo: an earlier run trusted another certificate (%trusted%); run uninstall-demo.cmd first. Nothing was changed.
exit /b 1

:register
%reg% add "%key%" /v %mark% /t REG_SZ /d "%here%" /f /reg:64 >nul 2>&1
if errorlevel 1 goto cannot_write
%reg% add "%key%" /v InstallLocation /t REG_SZ /d "%here%" /f /reg:64 >nul 2>&1
if errorlevel 1 goto cannot_write
echo The simulated agent in "%here%" is registered.
if not defined thumbprint goto registered
call :trust_certificate
if errorlevel 1 exit /b 1
:registered
echo Try: "%here%\Product.Console.exe" /c GetVersion product
exit /b 0

:trust_certificate
echo Trusting the demo's throw-away certificate %thumbprint% in the local machine's
echo Trusted Root Certification Authorities and Trusted Publishers stores, so that
echo Windows loads the stand-ins, which are signed with it; uninstall-demo.cmd
echo removes it again.
call :trust_in Root
if errorlevel 1 exit /b 1
call :trust_in TrustedPublisher
if errorlevel 1 exit /b 1
exit /b 0

rem Adds the certificate to the store %1 unless it is there already (then it
rem is somebody else's to keep) or this script added it before, and records
rem each store at once, so that a failure half-way leaves nothing unrecorded.
:trust_in
for %%s in (%stores%) do if /i "%%s"=="%1" exit /b 0
rem certutil fails with negative codes, which "if errorlevel 1" takes for success.
%certutil% -store %1 %thumbprint% >nul 2>&1
if "%errorlevel%"=="0" exit /b 0
%certutil% -addstore %1 "%here%\demo-certificate.cer" >nul 2>&1
if not "%errorlevel%"=="0" goto cannot_trust
if defined stores (set "stores=%stores% %1") else set "stores=%1"
%reg% add "%key%" /v DemoCertificate /t REG_SZ /d "%thumbprint%" /f /reg:64 >nul 2>&1
if errorlevel 1 goto cannot_write
%reg% add "%key%" /v DemoCertificateStores /t REG_SZ /d "%stores%" /f /reg:64 >nul 2>&1
if errorlevel 1 goto cannot_write
exit /b 0

rem Sets the variable %2 to the data of the key's value %1 (empty without one).
:read_value
for /f "tokens=1,2,*" %%a in ('%reg% query "%key%" /v %1 /reg:64 2^>nul') do (
  if /i "%%a"=="%1" set "%2=%%c"
)
exit /b 0

:no_certificate
echo install-demo: this build carries no throw-away certificate (demo-certificate.cer): it is signed with a certificate of its own, which this script does not trust for you. Nothing was changed.
exit /b 1

:foreign
if defined current (
  echo install-demo: an agent is already registered at "%current%"; nothing was changed.
) else (
  echo install-demo: "%key%" exists already; nothing was changed.
)
exit /b 1

:other_demo
echo install-demo: the simulated agent in "%marked%" is registered; run its uninstall-demo.cmd first. Nothing was changed.
exit /b 1

:cannot_write
echo install-demo: cannot write "%key%"; run it as an administrator.
exit /b 1

:cannot_trust
echo install-demo: cannot add the certificate to the store %1; run it as an administrator.
exit /b 1

:unknown_folder
echo install-demo: cannot tell the folder of this script (not "%here%"); nothing was changed.
exit /b 1
