@echo off
rem Registers the page-view component for the current user only.
set KEY=HKCU\Software\Classes\CLSID\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}
reg add "%KEY%" /ve /d "Folirex page view" /f /reg:@BITS@ >nul || goto failed
reg add "%KEY%\InprocServer32" /ve /d "%~dp0MiPageView.dll" /f /reg:@BITS@ >nul || goto failed
reg add "%KEY%\InprocServer32" /v ThreadingModel /d Apartment /f /reg:@BITS@ >nul || goto failed
reg add "%KEY%\Control" /f /reg:@BITS@ >nul || goto failed
echo The page-view component is registered for %USERNAME%.
exit /b 0
:failed
echo Registering the page-view component failed.
exit /b 1
