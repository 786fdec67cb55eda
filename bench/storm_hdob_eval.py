#!/usr/bin/env python3
"""Figures of bench/storm_hdob.sh from the files of each flight NAME listed in FLIGHTS:
NAME.passes.csv and NAME.centre.csv (the simulator's truth: passes, centre every 10 s, times as seconds of
the first record's day, 2026-12-07 unless the flight says otherwise), NAME.hb.* (sfmrstorm on the HDOBs
with pressure and flight-level wind blanked), NAME.hf.* (on the whole HDOBs, with --fixes) and NAME.s1.*
(on the 1-s archive file).

  passes found  true passes missing the centre by less than 10 km with a fix of the tool within 120 s
  centre error  great-circle distance of each fix from the true centre at its time (median, 90th)
  leg peaks     |HDOB leg peak - the 1-s analysis's peak| for legs of the same direction overlapping most
  leg RMW       |HDOB leg peak's range from the centre - the 1-s analysis's| for the same legs
  radii         |HDOB radius - the 1-s analysis's radius| for quadrants where both give one (no flag U)
  true radii    the HDOB analysis's radii against the truth as bench/storm_eval.cpp defines it: per quadrant
                of bearing from the true centre, the outermost true 10-s mean (NAME.truth.csv, at least 7 of
                its 10 seconds over the sea) over the analysis's legs that reaches the threshold; a pair is a
                radius given (with or without E) in a quadrant with data, within 10 n mi of the truth or not
  fix compare   the median distance_km of NAME.hf.fix_compare.csv
  stated error  the HDOB fixes with pressure and wind lying within one and within two of their stated
                accuracy_km from the true centre, in all and per evidence (a true error: about 68 % and 90 %
                or more)
"""
import bisect
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


KT = 0.514444  # m/s per kt
KM_PER_NMI = 1.852
THRESHOLDS_KT = (34, 50, 64)
QUADRANTS = ("NE", "SE", "SW", "NW")


def bearing(la1, lo1, la2, lo2):
    r = math.pi / 180
    y = math.sin((lo2 - lo1) * r) * math.cos(la2 * r)
    x = math.cos(la1 * r) * math.sin(la2 * r) - math.sin(la1 * r) * math.cos(la2 * r) * math.cos((lo2 - lo1) * r)
    return math.atan2(y, x) / r % 360


def truth_seconds(name):
    """The truth's seconds: absolute time (unwrapped past midnight), wind, lat, lon, over the sea."""
    out, offset, last = [], 0.0, -1.0
    for r in rows(name + ".truth.csv"):
        sec = float(r["Sec"])
        if sec < last:
            offset += 86400.0
        last = sec
        out.append((DAY0 + offset + sec, float(r["WS"]), float(r["Lat"]), float(r["Lon"]), r["Land"] == "0"))
    return out


def true_radii(name, centre, spans):
    """Per threshold and quadrant: (has data, outermost mean, farthest distance reaching it, least distance)."""
    sec = truth_seconds(name)
    times = [s[0] for s in sec]
    data = [False] * 4
    outer_km, outer_mean, inner_km = [0.0] * 4, [0.0] * 4, [1e9] * 4
    reach = [[0.0] * 4 for _ in THRESHOLDS_KT]
    for a, b in spans:
        for i in range(bisect.bisect_left(times, a), len(sec) - 9):
            if sec[i + 9][0] > b:
                break
            w = [s for s in sec[i:i + 10] if s[4]]
            if len(w) < 7:
                continue
            m = sum(s[1] for s in w) / len(w)
            la = sum(s[2] for s in sec[i:i + 10]) / 10
            lo = sum(s[3] for s in sec[i:i + 10]) / 10
            cla, clo = truth_centre(centre, 0.5 * (sec[i][0] + sec[i + 9][0]))
            d = km(cla, clo, la, lo)
            q = min(3, int(bearing(cla, clo, la, lo) // 90))
            data[q] = True
            inner_km[q] = min(inner_km[q], d)
            if d > outer_km[q]:
                outer_km[q], outer_mean[q] = d, m
            for k, kt in enumerate(THRESHOLDS_KT):
                if m >= kt * KT:
                    reach[k][q] = max(reach[k][q], d)
    return data, outer_mean, reach, inner_km


def score_true_radii(name, centre, rmw_km, tally):
    spans = [(iso(r["start_time"]), iso(r["end_time"])) for r in rows(name + ".hf.legs.csv")]
    if not spans:
        return
    data, outer_mean, reach, inner_km = true_radii(name, centre, spans)
    given = {(r["threshold_kt"], r["quadrant"]): r for r in rows(name + ".hf.radii.csv")}
    for k, kt in enumerate(THRESHOLDS_KT):
        for q, quadrant in enumerate(QUADRANTS):
            r = given.get((str(kt), quadrant))
            nmi = float(r["radius_nmi"]) if r and r["radius_nmi"] else None
            shown = data[q] and outer_mean[q] < kt * KT and (reach[k][q] > 0 or inner_km[q] < rmw_km)
            if not shown:
                tally["unseen"] += 1
                if nmi is not None and r["flag"] not in ("E", "U"):
                    tally["unjustified"] += 1
            if nmi is None or not data[q]:
                continue
            tally["pairs"] += 1
            tally["within"] += abs(nmi - reach[k][q] / KM_PER_NMI) <= 10


def legs(path):
    out = []
    for r in rows(path):
        if r["peak_wind_speed"]:
            radius = float(r["peak_radius_km"]) if r["peak_radius_km"] else float("nan")
            out.append((r["direction"], iso(r["start_time"]), iso(r["end_time"]), float(r["peak_wind_speed"]),
                        radius))
    return out


def main():
    names = [l.strip() for l in open(sys.argv[1]) if l.strip()]
    found = wanted = 0
    err = {"hb": [], "hf": [], "s1": []}
    peaks, rmws, radii, fixes = [], [], [], []
    tally = {"pairs": 0, "within": 0, "unseen": 0, "unjustified": 0}
    cover = {}  # HDOB fixes with pressure and wind, per evidence: [within one stated accuracy, within two, all]
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
                    if kind == "hf" and r["accuracy_km"]:
                        c = cover.setdefault(r["evidence"], [0, 0, 0])
                        c[0] += err[kind][-1] <= float(r["accuracy_km"])
                        c[1] += err[kind][-1] <= 2 * float(r["accuracy_km"])
                        c[2] += 1
        fixes_hb = [iso(r["time"]) for r in rows(n + ".hb.centres.csv") if r["source"] == "flight"]
        for p in rows(n + ".passes.csv"):
            if abs(float(p["miss_km"])) < 10:
                wanted += 1
                found += any(abs(t - (DAY0 + float(p["Sec"]))) <= 120 for t in fixes_hb)
        ref = legs(n + ".s1.legs.csv")
        for d, a, b, pk, rad in legs(n + ".hf.legs.csv"):
            best = max(((min(b, b2) - max(a, a2), pk2, rad2) for d2, a2, b2, pk2, rad2 in ref if d2 == d),
                       default=None)
            if best and best[0] > 0.5 * (b - a):
                peaks.append(abs(pk - best[1]))
                if math.isfinite(rad - best[2]):
                    rmws.append(abs(rad - best[2]))
        r1 = {(r["threshold_kt"], r["quadrant"]): r for r in rows(n + ".s1.radii.csv")}
        for r in rows(n + ".hf.radii.csv"):
            o = r1.get((r["threshold_kt"], r["quadrant"]))
            if o and r["radius_nmi"] and o["radius_nmi"] and "U" not in (r["flag"], o["flag"]):
                radii.append(abs(float(r["radius_nmi"]) - float(o["radius_nmi"])))
        facts = {r["quantity"]: r["value"] for r in rows(n + ".storm_truth.csv")}
        score_true_radii(n, centre, float(facts.get("rmw_km", "nan")), tally)
        d = [float(r["distance_km"]) for r in rows(n + ".hf.fix_compare.csv") if r["distance_km"]]
        if d:
            fixes.append(statistics.median(d))
    print(f"flights: {len(names)}")
    print(f"passes within 10 km found (HDOB, radiometer alone): {found} of {wanted}")
    for kind, what in (("hb", "HDOB, radiometer alone"), ("hf", "HDOB with pressure and wind"), ("s1", "1-s file")):
        e = err[kind]
        print(f"centre error, {what}: median {pct(e, 0.5):.2f} km, 90th {pct(e, 0.9):.2f} km ({len(e)} fixes)")
    total = [sum(c[k] for c in cover.values()) for k in range(3)]
    if total[2]:
        print("HDOB fixes with pressure and wind within one and two stated accuracies (about 68 % and 90 % or "
              f"more for a true error): {total[0]} and {total[1]} of {total[2]}")
        for evidence, c in sorted(cover.items()):
            print(f"  placed by {evidence}: {c[0]} and {c[1]} of {c[2]}")
    print(f"leg peaks against the 1-s analysis: median {pct(peaks, 0.5):.2f} m/s ({len(peaks)} legs)")
    print(f"leg RMW against the 1-s analysis: median {pct(rmws, 0.5):.2f} km, 90th {pct(rmws, 0.9):.2f} km "
          f"({len(rmws)} legs)")
    within = sum(1 for x in radii if x <= 10)
    print(f"radii within 10 n mi of the 1-s analysis: {within} of {len(radii)}")
    print(f"radii within 10 n mi of the truth: {tally['within']} of {tally['pairs']} pairs "
          f"({tally['unseen']} quadrant-thresholds whose data do not show the crossing, "
          f"{tally['unjustified']} of them given a radius without E or U)")
    print(f"fix comparison with the VDMs: median of the flights' median distances {pct(fixes, 0.5):.2f} km")


if __name__ == "__main__":
    main()
