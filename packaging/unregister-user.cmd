@echo off
rem Removes the current user's registration of the page-view component.
reg delete "HKCU\Software\Classes\CLSID\{EF347A62-BA21-42E4-94A0-1C0A6D7FDFE7}" /f /reg:@BITS@ >nul
echo The page-view component is no longer registered for %USERNAME%.
