#!/usr/bin/env python3
"""xarray opens the converted HDOB archive: its times decode to those of the archive's first and last
observation lines (across midnight), every standard_name is one of the CF table's, and every flag variable
has one meaning per value. Skipped (status 77) when xarray is not installed.
   hdob_xarray_check.py FILE.nc HDOB.txt CF_TABLE.tsv"""
import sys

try:
    import xarray
except ImportError:
    print("SKIPPED: xarray is not installed (Debian: python3-xarray)")
    sys.exit(77)

nc_path, hdob_path, table_path = sys.argv[1:4]
stamps = []  # YYYY-MM-DDThh:mm:ss of each observation line, with the date of its message
with open(hdob_path) as hdob:
    date = None
    for words in (line.split() for line in hdob):
        if len(words) >= 4 and "HDOB" in words:
            date = words[-1]
        elif len(words) == 13 and date:
            t = words[0]
            stamps.append(f"{date[:4]}-{date[4:6]}-{date[6:]}T{t[:2]}:{t[2:4]}:{t[4:]}")
with open(table_path) as table:
    names = {line.split("\t")[0] for line in table}

failures = []
data = xarray.open_dataset(nc_path)
got = [str(t)[:19] for t in (data["time"].values[0], data["time"].values[-1])]
if got != [stamps[0], stamps[-1]]:
    failures.append(f"want times {stamps[0]} .. {stamps[-1]}, got {got[0]} .. {got[1]}")
for name, var in data.variables.items():
    standard = var.attrs.get("standard_name")
    if standard is not None and standard.split()[0] not in names:
        failures.append(f"{name}: standard_name {standard} is not in the CF table")
    if "flag_values" in var.attrs and len(var.attrs["flag_values"]) != len(var.attrs["flag_meanings"].split()):
        failures.append(f"{name}: flag_values and flag_meanings differ in number")
for f in failures:
    print(f)
if not failures:
    print(f"ok: {data.sizes['time']} observations from {got[0]} to {got[1]}")
sys.exit(1 if failures else 0)
