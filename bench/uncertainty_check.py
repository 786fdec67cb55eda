#!/usr/bin/python3
"""Calibration of the standard errors against the simulator's truth: for every second with a retrieval over
the sea, the share whose truth (same second) lies within one and two standard errors, for wind speed and rain
rate, overall and per third of the seconds sorted by retrieved wind speed and by retrieved rain rate, with the
median standard error over the median absolute error.
  uncertainty_check.py FLIGHT.nc FLIGHT.truth.csv [FLIGHT.nc FLIGHT.truth.csv ...]
"""
import csv
import sys

import numpy as np
from netCDF4 import Dataset


def load(nc_path, truth_path):
    truth = {}
    with open(truth_path, newline="") as f:
        for row in csv.DictReader(f):
            truth[int(row["Sec"])] = (float(row["WS"]), float(row["RR"]), int(row["Land"]))
    with Dataset(nc_path) as nc:
        nc.set_auto_mask(False)
        t = nc["time"][:]
        fill = nc["wind_speed"]._FillValue
        cols = [nc[v][:] for v in ("wind_speed", "rain_rate", "wind_speed_standard_error",
                                   "rain_rate_standard_error")]
    rows = []
    for i, sec in enumerate((np.asarray(t) % 86400).astype(int)):
        ws, rr, wse, rse = (c[i] for c in cols)
        if fill in (ws, rr, wse, rse) or sec not in truth or truth[sec][2]:
            continue
        rows.append((ws, rr, wse, rse, truth[sec][0], truth[sec][1]))
    return rows


def table(rows):
    a = np.array(rows, dtype=float)
    ws, rr, wse, rse, tws, trr = a.T
    ew, er = np.abs(ws - tws), np.abs(rr - trr)

    def line(label, m):
        def cov(e, s, k):
            return 100.0 * np.mean(e[m] <= k * s[m])
        sharp_w = np.median(wse[m]) / max(np.median(ew[m]), 1e-9)
        sharp_r = np.median(rse[m]) / max(np.median(er[m]), 1e-9)
        print(f"{label:<22}{m.sum():>8}  {cov(ew, wse, 1):6.1f} {cov(ew, wse, 2):6.1f} {sharp_w:6.2f}"
              f"  {cov(er, rse, 1):6.1f} {cov(er, rse, 2):6.1f} {sharp_r:6.2f}")

    print(f"{'':<22}{'seconds':>8}  {'wind: 1SE':>9} {'2SE':>4} {'SE/AE':>6}  {'rain: 1SE':>9} {'2SE':>4}"
          f" {'SE/AE':>6}")
    line("all", np.ones(len(ws), bool))
    for name, key in (("wind", ws), ("rain", rr), ("truth wind", tws), ("truth rain", trr)):
        order = np.argsort(key, kind="stable")
        for j, part in enumerate(np.array_split(order, 3)):
            m = np.zeros(len(ws), bool)
            m[part] = True
            lo, hi = key[part].min(), key[part].max()
            line(f"{name} third {j + 1} {lo:.1f}-{hi:.1f}", m)
    print("(SE/AE: median standard error over median absolute error; 1.48 for normal errors)")


def main():
    args = sys.argv[1:]
    if len(args) < 2 or len(args) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    rows = []
    for k in range(0, len(args), 2):
        rows += load(args[k], args[k + 1])
    table(rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
