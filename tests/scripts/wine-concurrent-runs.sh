#!/usr/bin/env bash
# Two runs at once in one configuration directory under Wine: tavsetup.exe and
# TAVNOVU.dll, fewer rounds (a Wine start costs about a second). See
# runs_concurrent in runs-lib.sh.
#
# Wine 8 keeps no security descriptor on a Unix file system: it turns the
# DACL a file is created with into the file's mode bits. What it keeps is
# checked first: the batch and agent files, created with the protected DACL
# (SYSTEM and the Administrators, who are in Wine's token), get the bits of
# the owner and group (rwxrwx), the include file the umask's rw-r--r--.
set -uo pipefail
RUNS_WINE=1
. "$(dirname "$0")/runs-lib.sh"
runs_init || exit 1
status=0
umask 022
runs_reference oracle-a || exit 1
modes=$(cd "$ETC" && stat -c '%n %A' Oracle_ORCL.bat TUOVMA_ORCL.ini tuoinc.ini | tr '\n' ' ')
want="Oracle_ORCL.bat -rwxrwxr-x TUOVMA_ORCL.ini -rwxrwxr-x tuoinc.ini -rw-r--r-- "
[ "$modes" = "$want" ] || { echo "modes under Wine: $modes, expected $want"; status=1; }
runs_concurrent "${RUNS_ROUNDS:-6}" || status=1
exit $status
