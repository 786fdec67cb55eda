#!/usr/bin/env python3
"""xarray decodes the times of a converted flight to the right dates and masks the seconds without a
retrieval. Skipped (status 77) when xarray is not installed.

    xarray_check.py FILE.nc FLIGHT.OUT RAW.dat
"""
import datetime
import sys

try:
    import numpy
    import xarray
except ImportError:
    print("SKIPPED: xarray is not installed (Debian: python3-xarray)")
    sys.exit(77)

nc_path, out_path, raw_path = sys.argv[1:4]

# The flight date: the first aircraft record's DD/MM/YYYY field.
with open(raw_path) as raw:
    first = next(line for line in raw if line.startswith("%A,"))
day, month, year = (int(x) for x in first.split(",")[1].split("/"))
date = datetime.datetime(year, month, day)

# Expected times: the clock of each line, a day later after each midnight.
with open(out_path, newline="") as out:
    lines = out.read().split("\r\n")[1:-1]
expected = []
offset = datetime.timedelta(0)
previous = None
for line in lines:
    h, m, s = (int(x) for x in line[:8].split(":"))
    clock = datetime.timedelta(hours=h, minutes=m, seconds=s)
    if previous is not None and clock < previous:
        offset += datetime.timedelta(days=1)
    previous = clock
    expected.append(numpy.datetime64(date + offset + clock))

ds = xarray.open_dataset(nc_path)
got = ds["time"].values
failures = []
if len(got) != len(expected) or not (got == numpy.array(expected, dtype="datetime64[ns]")).all():
    failures.append(f"times: want {expected[0]} .. {expected[-1]}, got {got[0]} .. {got[-1]}")
no_retrieval = sum(1 for line in lines if not (line[164] == "F" or line[164:173] == "ZeroWS&RR"))
masked = int(ds["wind_speed"].isnull().sum())
if masked < no_retrieval:
    failures.append(f"wind_speed: want at least {no_retrieval} missing values, got {masked}")
for failure in failures:
    print(failure)
if not failures:
    print(f"ok: {len(got)} times from {got[0]} to {got[-1]}; {masked} seconds without a wind speed")
sys.exit(1 if failures else 0)
