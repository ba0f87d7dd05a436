@ECHO OFF
REM Stands for the Oracle collector program in this example installer.
ECHO TU8COLL %*
