@echo off
rem Explorer's "Convert to searchable PDF": each document given becomes a searchable PDF beside
rem it, with folirex-convert beside this script. The window shows the converter's progress and
rem messages and what came of each document, and stays open until a key is pressed.
setlocal
title Folirex: Convert to searchable PDF
set failed=0
:next
if "%~1"=="" goto done
echo "%~f1"
if exist "%~dpn1.pdf" (
  echo   kept: "%~dpn1.pdf" was there already and is left as it is
) else (
  "%~dp0folirex-convert.exe" -t pdf -- "%~f1"
  if errorlevel 1 (
    set failed=1
    echo   NOT converted: the reason is above
  ) else (
    echo   converted to "%~dpn1.pdf"
  )
)
shift
goto next
:done
echo.
if %failed%==0 (echo Done.) else (echo Some documents were not converted.)
pause
exit /b %failed%
