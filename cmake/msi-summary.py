#!/usr/bin/env python3
"""Makes an MSI package that wixl wrote reproducible: wixl draws the package
code (the summary's revision number) at random and dates the package with the
time of the build. This sets the package code given and, for both dates, the
last commit's time (SOURCE_DATE_EPOCH), through libmsi, wixl's own library.

    msi-summary.py PACKAGE.msi {PACKAGE-CODE}
"""
import ctypes
import os
import subprocess
import sys

PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
DB_FLAGS_TRANSACT = 4
FILETIME_UNIX_EPOCH = 11644473600  # seconds from 1601 to 1970


def source_date_epoch():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    here = os.path.dirname(os.path.abspath(__file__))
    done = subprocess.run(["git", "-C", here, "log", "-1", "--format=%ct"], capture_output=True, text=True)
    return int(done.stdout.strip() or 0)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: msi-summary.py PACKAGE.msi {PACKAGE-CODE}")
    path, code = sys.argv[1], sys.argv[2]
    msi = ctypes.CDLL("libmsi.so.0")
    msi.libmsi_database_new.restype = ctypes.c_void_p
    msi.libmsi_database_new.argtypes = [ctypes.c_char_p, ctypes.c_uint, ctypes.c_char_p, ctypes.c_void_p]
    msi.libmsi_summary_info_new.restype = ctypes.c_void_p
    msi.libmsi_summary_info_new.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_void_p]
    msi.libmsi_summary_info_set_string.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p]
    msi.libmsi_summary_info_set_filetime.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint64, ctypes.c_void_p]
    msi.libmsi_summary_info_persist.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    msi.libmsi_database_commit.argtypes = [ctypes.c_void_p, ctypes.c_void_p]

    database = msi.libmsi_database_new(path.encode(), DB_FLAGS_TRANSACT, None, None)
    summary = msi.libmsi_summary_info_new(database, 3, None) if database else None
    filetime = (source_date_epoch() + FILETIME_UNIX_EPOCH) * 10_000_000
    if not (summary and
            msi.libmsi_summary_info_set_string(summary, PID_REVNUMBER, code.encode(), None) and
            msi.libmsi_summary_info_set_filetime(summary, PID_CREATE_DTM, filetime, None) and
            msi.libmsi_summary_info_set_filetime(summary, PID_LASTSAVE_DTM, filetime, None) and
            msi.libmsi_summary_info_persist(summary, None) and
            msi.libmsi_database_commit(database, None)):
        sys.exit(f"msi-summary.py: could not rewrite the summary of {path}")


if __name__ == "__main__":
    main()
