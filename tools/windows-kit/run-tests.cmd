@echo off
rem Runs every test program of this kit on this PC and writes results.txt
rem beside it. The conformance suite runs on the real WebBrowser control
rem (a PC without one fails it, saying why); its "record:" lines are what
rem only Windows shows.
setlocal
cd /d "%~dp0"
set BREVANE_CONFORMANCE_CONTROL=real
set failed=
> results.txt echo Brevane Windows tests on %COMPUTERNAME%, %DATE% %TIME%
>> results.txt ver
for %%t in (*_tests.exe) do call :run %%t
echo.
findstr /b /c:"record:" results.txt
if defined failed (
  echo FAILED:%failed%
  echo Every result is in %~dp0results.txt
  exit /b 1
)
echo All test programs passed. Every result is in %~dp0results.txt
exit /b 0

:run
echo ==== %1
>> results.txt echo ==== %1
%1 >> results.txt 2>&1
if errorlevel 1 (
  set failed=%failed% %1
  echo      failed
)
goto :eof
