#!/usr/bin/env python3
"""Figures of bench/storm_hdob.sh from the files of each flight NAME listed in FLIGHTS:
NAME.passes.csv and NAME.centre.csv (the simulator's truth: passes, centre every 10 s, times as seconds of
the first record's day, 2026-12-07 unless the flight says otherwise), NAME.hb.* (sfmrstorm on the HDOBs
with pressure and flight-level wind blanked), NAME.hf.* (on the whole HDOBs, with --fixes) and NAME.s1.*
(on the 1-s archive file).

  passes found  true passes missing the centre by less than 10 km with a fix of the tool within 120 s
  centre error  great-circle distance of each fix from the true centre at its time (median, 90th)
  leg peaks     |HDOB leg peak - the 1-s analysis's peak| for legs of the same direction overlapping most
  radii         |HDOB radius - the 1-s analysis's radius| for quadrants where both give one (no flag U)
  fix compare   the median distance_km of NAME.hf.fix_compare.csv
"""
import csv
import math
import statistics
import sys
from datetime import datetime, timezone

DAY0 = datetime(2026, 12, 7, tzinfo=timezone.utc).timestamp()


def iso(t):
    return datetime.strptime(t, "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc).timestamp()


def rows(path):
    try:
        with open(path, newline="") as f:
            return list(csv.DictReader(f))
    except FileNotFoundError:
        return []


def km(la1, lo1, la2, lo2):
    r = math.pi / 180
    h = math.sin((la2 - la1) * r / 2) ** 2 + math.cos(la1 * r) * math.cos(la2 * r) * math.sin((lo2 - lo1) * r / 2) ** 2
    return 2 * 6371.0088 * math.asin(math.sqrt(h))


def truth_centre(centre, t):
    for a, b in zip(centre, centre[1:]):
        if a[0] <= t <= b[0]:
            f = (t - a[0]) / (b[0] - a[0])
            return a[1] + f * (b[1] - a[1]), a[2] + f * (b[2] - a[2])
    return centre[-1][1], centre[-1][2]


def pct(v, q):
    v = sorted(v)
    return v[min(len(v) - 1, int(math.ceil(q * len(v))) - 1)] if v else float("nan")


def legs(path):
    out = []
    for r in rows(path):
        if r["peak_wind_speed"]:
            out.append((r["direction"], iso(r["start_time"]), iso(r["end_time"]), float(r["peak_wind_speed"])))
    return out


def main():
    names = [l.strip() for l in open(sys.argv[1]) if l.strip()]
    found = wanted = 0
    err = {"hb": [], "hf": [], "s1": []}
    peaks, radii, fixes = [], [], []
    for n in names:
        centre = [(DAY0 + float(r["Sec"]), float(r["Lat"]), float(r["Lon"])) for r in rows(n + ".centre.csv")]
        if not centre:
            continue
        for kind in err:
            for r in rows(f"{n}.{kind}.centres.csv"):
                if r["source"] == "flight":
                    t = iso(r["time"])
                    la, lo = truth_centre(centre, t)
                    err[kind].append(km(float(r["lat"]), float(r["lon"]), la, lo))
        fixes_hb = [iso(r["time"]) for r in rows(n + ".hb.centres.csv") if r["source"] == "flight"]
        for p in rows(n + ".passes.csv"):
            if abs(float(p["miss_km"])) < 10:
                wanted += 1
                found += any(abs(t - (DAY0 + float(p["Sec"]))) <= 120 for t in fixes_hb)
        ref = legs(n + ".s1.legs.csv")
        for d, a, b, pk in legs(n + ".hf.legs.csv"):
            best = max(((min(b, b2) - max(a, a2), pk2) for d2, a2, b2, pk2 in ref if d2 == d), default=None)
            if best and best[0] > 0.5 * (b - a):
                peaks.append(abs(pk - best[1]))
        r1 = {(r["threshold_kt"], r["quadrant"]): r for r in rows(n + ".s1.radii.csv")}
        for r in rows(n + ".hf.radii.csv"):
            o = r1.get((r["threshold_kt"], r["quadrant"]))
            if o and r["radius_nmi"] and o["radius_nmi"] and "U" not in (r["flag"], o["flag"]):
                radii.append(abs(float(r["radius_nmi"]) - float(o["radius_nmi"])))
        d = [float(r["distance_km"]) for r in rows(n + ".hf.fix_compare.csv") if r["distance_km"]]
        if d:
            fixes.append(statistics.median(d))
    print(f"flights: {len(names)}")
    print(f"passes within 10 km found (HDOB, radiometer alone): {found} of {wanted}")
    for kind, what in (("hb", "HDOB, radiometer alone"), ("hf", "HDOB with pressure and wind"), ("s1", "1-s file")):
        e = err[kind]
        print(f"centre error, {what}: median {pct(e, 0.5):.2f} km, 90th {pct(e, 0.9):.2f} km ({len(e)} fixes)")
    print(f"leg peaks against the 1-s analysis: median {pct(peaks, 0.5):.2f} m/s ({len(peaks)} legs)")
    within = sum(1 for x in radii if x <= 10)
    print(f"radii within 10 n mi of the 1-s analysis: {within} of {len(radii)}")
    print(f"fix comparison with the VDMs: median of the flights' median distances {pct(fixes, 0.5):.2f} km")


if __name__ == "__main__":
    main()
