#!/usr/bin/env python3
"""xarray decodes the times of the converted test flight to the right date and time, across midnight.
Skipped (status 77) when xarray is not installed.   xarray_check.py FILE.nc FLIGHT.OUT RAW.dat"""
import datetime
import sys

try:
    import xarray
except ImportError:
    print("SKIPPED: xarray is not installed (Debian: python3-xarray)")
    sys.exit(77)

nc_path, out_path, raw_path = sys.argv[1:4]
with open(raw_path) as raw:  # the flight date: the first aircraft record's DD/MM/YYYY
    day, month, year = (int(x) for x in next(l for l in raw if l.startswith("%A,")).split(",")[1].split("/"))
with open(out_path) as out:
    clocks = [line[:8] for line in out.readlines()[1:]]
# The first line is on the flight date; the last, after one midnight, on the next day.
first = datetime.datetime(year, month, day).strftime("%Y-%m-%d") + "T" + clocks[0]
last = (datetime.datetime(year, month, day) + datetime.timedelta(days=1)).strftime("%Y-%m-%d") + "T" + clocks[-1]
times = xarray.open_dataset(nc_path)["time"].values
got = [str(t)[:19] for t in (times[0], times[-1])]
if got != [first, last]:
    print(f"want times {first} .. {last}, got {got[0]} .. {got[1]}")
    sys.exit(1)
print(f"ok: {len(times)} times from {got[0]} to {got[1]}")
