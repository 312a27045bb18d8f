@echo off
rem Registers the page-view component for every user; run as administrator.
regsvr32 /s "%~dp0MiPageView.dll" && echo The page-view component is registered. && exit /b 0
echo Registering failed: run this as administrator.
exit /b 1
