#!/usr/bin/python3
"""The checks and figures of bench/sonde_family.sh over its work directory: for every analysis of the
manifest (PREFIX,FLIGHTS,TAGS) it reads sondes/PREFIX.td.matchups.csv (sfmrsonde on the TEMP DROP
bulletins), sondes/PREFIX.eol.matchups.csv (on the EOL files), their sonde_stats.csv, and the flights'
FLIGHT.nc (through ncdump), FLIGHT.truth.csv and FLIGHT.sonde_truth.csv, and prints
  (a) every sonde read from both forms, with the largest difference of their 10-m winds (a TEMP DROP states
      whole knots and directions to 5 deg, so the two may differ by half a knot and 2.5 deg);
  (b) the sondes matched, and every one that is not with sfmrsonde's reason;
  (c) the radiometer's 10-s mean wind, rain and position at each matched second computed again here from
      the flight file (the seconds t0 - 5 to t0 + 4, fill values left out) against sfmrsonde's;
  (d) n, bias, RMS and correlation of radiometer minus sonde, overall and in bins of the sonde's wind, the
      radiometer's wind and the radiometer's rain, and the share within one and two combined errors (the
      runs' own shares weighted by their n_error), then each term of the combined error against the
      simulator's truth: the radiometer's error against its standard error, the sonde's against its stated
      error, and the true wind's change between the two points against the representativeness term, by the splash
      point's range in radii of maximum wind (eye under 0.5, eyewall 0.5-1.5, outside); and n, bias, RMS
      of the TEMP DROP sondes against the flights' HDOB archives (sondes/PREFIX.hdob.matchups.csv: the
      radiometer's 30-s peaks) beside the same sondes against the 10-s means.
Exit status 1 when (a), (b) or (c) fails.
  sonde_family_check.py WORK_DIR
"""
import bisect
import calendar
import csv
import math
import os
import re
import subprocess
import sys

KT = 0.514444  # m/s per knot
CHANGE_SPAN_MAX_S = 600.0  # as tools/sonde/collocate.hpp
MAX_KM = 10.0  # sfmrsonde's default --max-distance


def iso_seconds(text):
    m = re.fullmatch(r"(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)Z", text)
    y, mo, d, h, mi, s = (int(g) for g in m.groups())
    return calendar.timegm((y, mo, d, h, mi, s))


def number(text):
    return float(text) if text not in ("", "_") else math.nan


class Flight:
    """The seconds of a flight file: time (s since 1970), lat, lon, wind, rain; NaN for fill values."""

    def __init__(self, path):
        out = subprocess.run(["ncdump", "-v", "time,lat,lon,wind_speed,rain_rate", "-p", "9,17", path],
                             check=True, capture_output=True, text=True).stdout
        units = re.search(r'time:units = "seconds since (\d{4})-(\d\d)-(\d\d)', out)
        origin = calendar.timegm(tuple(int(g) for g in units.groups()) + (0, 0, 0))
        data = out[out.index("\ndata:") :]
        cols = {}
        for name in ("time", "lat", "lon", "wind_speed", "rain_rate"):
            body = re.search(r"\n " + name + r" =(.*?);", data, re.S).group(1)
            cols[name] = [number(v.strip()) for v in body.replace("\n", " ").split(",")]
        self.time = [origin + t for t in cols["time"]]
        self.lat, self.lon = cols["lat"], cols["lon"]
        self.wind, self.rain = cols["wind_speed"], cols["rain_rate"]
        self.index = {int(round(t)): i for i, t in enumerate(self.time)}

    def mean(self, values, t0):
        xs = [values[self.index[t]] for t in range(int(t0) - 5, int(t0) + 5) if t in self.index]
        xs = [x for x in xs if not math.isnan(x)]
        return sum(xs) / len(xs) if xs else math.nan

    def change(self, t0, km):
        """The larger |W(s0 -+ km) - W(s0)| of the 10-s means, s the distance flown from t0 (as
        tools/sonde/collocate.hpp), m/s; 0 for km 0, NaN when neither side has both means."""
        w0 = self.mean(self.wind, t0)
        if math.isnan(w0) or math.isnan(km):
            return math.nan
        if km <= 0:
            return 0.0
        sides = []
        for step in (-1, 1):
            i = last = self.index[int(t0)]
            flown = 0.0
            while flown < km and 0 <= i + step < len(self.time) and abs(self.time[i + step] - t0) <= CHANGE_SPAN_MAX_S:
                i += step
                if math.isnan(self.lat[i]) or math.isnan(self.lon[i]):
                    continue
                k_lat, k_lon = km_per_degree(self.lat[last])
                flown += math.hypot((self.lon[i] - self.lon[last]) * k_lon, (self.lat[i] - self.lat[last]) * k_lat)
                last = i
            w = self.mean(self.wind, self.time[i]) if flown >= km else math.nan
            if not math.isnan(w):
                sides.append(abs(w - w0))
        return max(sides) if sides else math.nan


    def radial_change(self, t0, centre, splash_range):
        """|W(t) - W(t0)| at the second t nearest t0 (within CHANGE_SPAN_MAX_S) at which the aircraft's range
        from the centre reaches the splash's, m/s (as tools/sonde/collocate.hpp); NaN when none."""
        def range_at(i):
            lat, lon = centre(self.time[i])
            k_lat, k_lon = km_per_degree(lat)
            return math.hypot((self.lon[i] - lon) * k_lon, (self.lat[i] - lat) * k_lat)
        i0 = self.index[int(t0)]
        side0 = range_at(i0) - splash_range
        best = None
        for step in (-1, 1):
            i = i0
            while 0 <= i + step < len(self.time) and abs(self.time[i + step] - t0) <= CHANGE_SPAN_MAX_S:
                i += step
                if best is not None and abs(self.time[i] - t0) >= abs(self.time[best] - t0):
                    break
                if math.isnan(self.lat[i]) or math.isnan(self.lon[i]) or (range_at(i) - splash_range) * side0 > 0:
                    continue
                best = i
                break
        if best is None:
            return math.nan
        return abs(self.mean(self.wind, self.time[best]) - self.mean(self.wind, t0))


def centre_track(path):
    """The centres of sfmrstorm's PREFIX.centres.csv as sfmrsonde reads them (the flight fixes, else the
    track's rows; by time, a repeated time keeping its first row), interpolated linearly in time and held at
    the ends; None without the file."""
    if not os.path.exists(path):
        return None
    rs = rows(path)
    if any(r["source"] == "flight" for r in rs):
        rs = [r for r in rs if r["source"] == "flight"]
    points = []
    for r in sorted(rs, key=lambda r: iso_seconds(r["time"])):
        t = iso_seconds(r["time"])
        if not points or points[-1][0] != t:
            points.append((t, float(r["lat"]), float(r["lon"])))
    times = [p[0] for p in points]

    def at(t):
        if t <= times[0]:
            return points[0][1:]
        if t >= times[-1]:
            return points[-1][1:]
        j = bisect.bisect_right(times, t)
        w = (t - times[j - 1]) / (times[j] - times[j - 1])
        return tuple(points[j - 1][k] + w * (points[j][k] - points[j - 1][k]) for k in (1, 2))
    return at


def km_per_degree(lat):
    """WGS84 lengths of a degree of latitude and longitude at `lat`, km."""
    a, e2 = 6378.137, 6.69437999014e-3
    s = math.sin(math.radians(lat))
    w = math.sqrt(1.0 - e2 * s * s)
    return math.pi / 180.0 * a * (1.0 - e2) / w**3, math.pi / 180.0 * a * math.cos(math.radians(lat)) / w


def truth_seconds(path):
    with open(path, newline="") as f:
        return {int(float(r["Sec"])) % 86400: float(r["WS"]) for r in csv.DictReader(f)}


def true_rmw(path, tags):
    """The storm's true radius of maximum wind (km) from the flight's truth file, else the tags' (rounded to
    the family's sizes for storms drawn from the seeds)."""
    if os.path.exists(path):
        for r in rows(path):
            if r["quantity"] == "rmw_km":
                return float(r["value"])
    return float(re.search(r"rmw=([\d.]+)", tags).group(1))


def splash_range(centre, r):
    """The splash point's range from the centre at the splash time, km, on the centre's latitude scale."""
    lat, lon = centre(iso_seconds(r["splash_time"]))
    k_lat, k_lon = km_per_degree(lat)
    return math.hypot((number(r["splash_lon"]) - lon) * k_lon, (number(r["splash_lat"]) - lat) * k_lat)


def true_sonde(sonde_truth, r):
    """The true 10-m wind of a matchup row's sonde: its id and the splash time nearest the row's (two flights
    of one storm drop sondes of the same ids)."""
    t = iso_seconds(r["splash_time"])
    return min(sonde_truth[r["sonde"]], key=lambda x: abs(x[0] - t))[1]


def rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def stats(pairs):
    """n, bias, RMS, correlation of (radiometer, sonde) pairs."""
    n = len(pairs)
    if n == 0:
        return 0, math.nan, math.nan, math.nan
    d = [r - s for r, s in pairs]
    bias = sum(d) / n
    rms = math.sqrt(sum(x * x for x in d) / n)
    corr = math.nan
    if n > 2:
        mr, ms = (sum(p[k] for p in pairs) / n for k in (0, 1))
        srr = sum((p[0] - mr) ** 2 for p in pairs)
        sss = sum((p[1] - ms) ** 2 for p in pairs)
        if srr > 0 and sss > 0:
            corr = sum((p[0] - mr) * (p[1] - ms) for p in pairs) / math.sqrt(srr * sss)
    return n, bias, rms, corr


def main(work):
    failures = 0
    manifest = rows(os.path.join(work, "manifest.csv"))
    flights, truths = {}, {}
    both = matched = total = 0
    worst_speed = worst_dir = 0.0
    worst_mean = worst_pos = 0.0
    outside = {True: 0, False: 0}  # unmatched: beyond the distance limit, no retrieval at the pass
    pooled = []  # (radiometer, sonde, rain, se_r, se_s, representativeness term, true change, r error, s error, range/rmw)
    cover = {"n": 0, "one": 0.0, "two": 0.0}
    for a in manifest:
        prefix, names = a["analysis"], a["flights"].split()
        rmw = true_rmw(os.path.join(work, names[0] + ".storm_truth.csv"), a["tags"])
        for name in names:
            if name not in flights:
                flights[name] = Flight(os.path.join(work, name + ".nc"))
                truths[name] = truth_seconds(os.path.join(work, name + ".truth.csv"))

        sonde_truth = {}
        for name in names:
            for r in rows(os.path.join(work, name + ".sonde_truth.csv")):
                sonde_truth.setdefault(r["id"], []).append((float(r["splash_time_s"]), float(r["speed_ms"])))
        base = os.path.join(work, "sondes", prefix)
        centre = centre_track(os.path.join(work, prefix + ".centres.csv"))
        td, eol = rows(base + ".td.matchups.csv"), rows(base + ".eol.matchups.csv")
        by_id = {}
        for r in eol:
            by_id.setdefault(r["sonde"], []).append(r)
        for r in td:
            total += 1
            t = iso_seconds(r["splash_time"])
            e = min(by_id.get(r["sonde"], []), key=lambda x: abs(iso_seconds(x["splash_time"]) - t), default=None)
            if e is None:
                print(f"(a) {prefix}: sonde {r['sonde']} has no EOL form")
                failures += 1
                continue
            both += 1
            ds = abs(number(r["surface_wind_speed"]) - number(e["surface_wind_speed"]))
            dd = abs(number(r["surface_wind_from_direction"]) - number(e["surface_wind_from_direction"]))
            dd = min(dd, 360.0 - dd)
            worst_speed, worst_dir = max(worst_speed, ds), max(worst_dir, dd)
            if not (ds <= 0.5 * KT + 0.05 and dd <= 2.5 + 0.5):
                print(f"(a) {prefix}: sonde {r['sonde']} 10-m winds differ by {ds:.2f} m/s, {dd:.1f} deg")
                failures += 1
        for form, table in (("td", td), ("eol", eol)):
            for r in table:
                if r["matched"] != "yes":
                    if form != "td":
                        continue
                    beyond = "beyond the distance limit" in r["note"] and number(r["distance_km"]) > MAX_KM
                    if beyond or "no retrieved wind" in r["note"]:
                        outside[beyond] += 1
                    else:
                        print(f"(b) {prefix}: sonde {r['sonde']} not matched: {r['note']}")
                        failures += 1
                    continue
                matched += form == "td"
                t0 = iso_seconds(r["sfmr_time"])
                f = next(flights[n] for n in names if t0 in flights[n].index)
                i = f.index[t0]
                dm = max(abs(f.mean(f.wind, t0) - number(r["sfmr_wind_speed"])),
                         abs(f.mean(f.rain, t0) - number(r["sfmr_rain_rate"])))
                dp = max(abs(f.lat[i] - number(r["sfmr_lat"])), abs(f.lon[i] - number(r["sfmr_lon"])))
                worst_mean, worst_pos = max(worst_mean, dm), max(worst_pos, dp)
                if not (dm <= 0.005 + 1e-4 and dp <= 0.00005 + 1e-7):
                    print(f"(c) {prefix} {form}: sonde {r['sonde']}: 10-s mean off by {dm:.4f}, position {dp}")
                    failures += 1
                if form != "td":
                    continue
                truth = truths[next(n for n in names if flights[n] is f)]
                tr = [truth[t % 86400] for t in range(t0 - 5, t0 + 5) if t % 86400 in truth]
                true_r = sum(tr) / len(tr) if tr else math.nan
                gd = f.change(t0, number(r["distance_km"]))
                if centre is not None:
                    radial = f.radial_change(t0, centre, splash_range(centre, r))
                    if not math.isnan(radial) and not radial <= gd:
                        gd = radial
                true_s = true_sonde(sonde_truth, r)
                pooled.append((number(r["sfmr_wind_speed"]), number(r["surface_wind_speed"]),
                               number(r["sfmr_rain_rate"]), number(r["sfmr_wind_speed_standard_error"]),
                               number(r["surface_wind_error"]), gd, true_r - true_s,
                               number(r["sfmr_wind_speed"]) - true_r, number(r["surface_wind_speed"]) - true_s,
                               number(r["storm_range_km"]) / rmw))
        for s in rows(base + ".td.sonde_stats.csv"):
            if s["binning"] == "all" and s["n_error"] not in ("", "0"):
                n = int(s["n_error"])
                cover["n"] += n
                cover["one"] += n * float(s["within_one"])
                cover["two"] += n * float(s["within_two"])
    print(f"(a) sondes read from both forms: {both} of {total}; largest difference of the 10-m winds "
          f"{worst_speed:.3f} m/s and {worst_dir:.1f} deg (rounding allows {0.5 * KT:.3f} m/s, 2.5 deg)")
    within = total - outside[True] - outside[False]
    print(f"(b) sondes matched: {matched} of the {within} within the limits (of {total}: {outside[True]} "
          f"farther than {MAX_KM:g} km from every pass within the time limit, {outside[False]} without a "
          f"retrieval in the 10 s at the pass)")
    print(f"(c) radiometer's 10-s means at the matched seconds, recomputed from the flight files: largest "
          f"difference {worst_mean:.4f} (m/s or mm/h; written to 0.01), position {worst_pos:.6f} deg")
    report(pooled, cover)
    peaks(work, manifest)
    return 1 if failures else 0


def peaks(work, manifest):
    """The TEMP DROP sondes against the HDOB archives' peaks and against the flight files' 10-s means."""
    both = []
    for a in manifest:
        base = os.path.join(work, "sondes", a["analysis"])
        path = base + ".hdob.matchups.csv"
        if not os.path.exists(path):
            continue
        means = {r["sonde"] + r["splash_time"]: r for r in rows(base + ".td.matchups.csv")}
        for r in rows(path):
            m = means.get(r["sonde"] + r["splash_time"])
            if r["matched"] == "yes" and m is not None and m["matched"] == "yes":
                both.append((number(r["sfmr_wind_speed"]), number(m["sfmr_wind_speed"]),
                             number(r["surface_wind_speed"])))
    both = [p for p in both if not any(math.isnan(x) for x in p)]
    if not both:
        return
    print("\nsondes matched by both: the HDOB archives' 30-s peaks and the flight files' 10-s means, m/s")
    for label, k in (("HDOB peak", 0), ("10-s mean", 1)):
        n, bias, rms, corr = stats([(p[k], p[2]) for p in both])
        print(f"{label:<12}{n:>5}{bias:>8.2f}{rms:>8.2f}{corr:>8.3f}")


def report(pooled, cover):
    pairs = [p for p in pooled if not (math.isnan(p[0]) or math.isnan(p[1]))]
    print("\n(d) radiometer against TEMP DROP 10-m wind, m/s (bias = radiometer - sonde)")
    print(f"{'binning':<14}{'bin':<10}{'n':>5}{'bias':>8}{'rms':>8}{'corr':>8}")

    def line(binning, label, sel):
        n, bias, rms, corr = stats([(p[0], p[1]) for p in sel])
        if n:
            print(f"{binning:<14}{label:<10}{n:>5}{bias:>8.2f}{rms:>8.2f}{corr:>8.3f}")

    line("all", "", pairs)
    for key, k in (("sonde_wind", 1), ("sfmr_wind", 0)):
        for lo in range(0, 100, 10):
            line(key, f"{lo}-{lo + 10}", [p for p in pairs if lo <= p[k] < lo + 10])
    for lo, hi in ((0, 5), (5, 15), (15, 30), (30, math.inf)):
        label = f"{lo}-{hi}" if hi < math.inf else f">{lo}"
        line("sfmr_rain", label, [p for p in pairs if lo <= p[2] < hi])
    if cover["n"]:
        print(f"within one combined error: {100 * cover['one'] / cover['n']:.1f} %, within two: "
              f"{100 * cover['two'] / cover['n']:.1f} % (n {cover['n']}; goal 68 +- 7 and 95 +- 4)")
    print("\neach term against the simulator's truth: share within one and two of its stated error, and the"
          " RMS of the error against the RMS of the stated error")
    print(f"{'term':<22}{'region':<9}{'n':>5}{'within1':>9}{'within2':>9}{'rms err':>9}{'rms stated':>11}")
    regions = (("all", 0, math.inf), ("eye", 0, 0.5), ("eyewall", 0.5, 1.5), ("outside", 1.5, math.inf))
    for term, e, s in (("radiometer", 7, 3), ("sonde", 8, 4), ("representativeness", 6, 5)):
        for region, lo, hi in regions:
            sel = [p for p in pairs if (region == "all" or lo <= p[9] < hi) and not math.isnan(p[e]) and not math.isnan(p[s])]
            if not sel:
                continue
            n = len(sel)
            one = sum(abs(p[e]) <= p[s] for p in sel) / n
            two = sum(abs(p[e]) <= 2 * p[s] for p in sel) / n
            rms_e = math.sqrt(sum(p[e] ** 2 for p in sel) / n)
            rms_s = math.sqrt(sum(p[s] ** 2 for p in sel) / n)
            print(f"{term:<22}{region:<9}{n:>5}{100 * one:>8.1f}%{100 * two:>8.1f}%{rms_e:>9.2f}{rms_s:>11.2f}")
    for region, lo, hi in regions:
        sel = [p for p in pairs if (region == "all" or lo <= p[9] < hi) and not math.isnan(p[3])]
        if not sel:
            continue
        comb = [math.sqrt(p[3] ** 2 + p[4] ** 2 + (p[5] if not math.isnan(p[5]) else 0.0) ** 2) for p in sel]
        one = sum(abs(p[0] - p[1]) <= c for p, c in zip(sel, comb)) / len(sel)
        two = sum(abs(p[0] - p[1]) <= 2 * c for p, c in zip(sel, comb)) / len(sel)
        print(f"{'combined':<22}{region:<9}{len(sel):>5}{100 * one:>8.1f}%{100 * two:>8.1f}%")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
