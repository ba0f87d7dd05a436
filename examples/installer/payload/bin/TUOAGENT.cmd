@ECHO OFF
REM Stands for the Oracle agent program in this example installer.
ECHO TUOAGENT %*
