@echo off
rem Removes the machine-wide registration of the page-view component; run as administrator.
regsvr32 /s /u "%~dp0MiPageView.dll" && echo The page-view component is unregistered. && exit /b 0
echo Unregistering failed: run this as administrator.
exit /b 1
