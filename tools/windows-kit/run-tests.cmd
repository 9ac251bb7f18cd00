@echo off
rem Runs every test program of this kit on this PC (brevane-kit-runner.exe:
rem each with a time limit, 600 s unless "--time-limit SECONDS" is given)
rem and writes results.txt beside it: one line per program, passed, failed
rem with its exit code, or timed out, then the "record:" lines, which are
rem what only Windows shows. Each program's output is in logs\. The
rem conformance suite runs on the real WebBrowser control (a PC without one
rem fails it, saying why).
setlocal
cd /d "%~dp0"
if not defined BREVANE_CONFORMANCE_CONTROL set BREVANE_CONFORMANCE_CONTROL=real
brevane-kit-runner.exe %*
set result=%ERRORLEVEL%
echo.
type results.txt
if not "%result%"=="0" (
  echo FAILED: not every test program passed. Every result is in %~dp0results.txt
  exit /b 1
)
echo All test programs passed. Every result is in %~dp0results.txt
exit /b 0
