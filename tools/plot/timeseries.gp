# Time series of a processed flight, drawn by sfmrplot: retrieved and onboard surface wind speed (top), rain
# rate (middle) and a band of each second's retrieval status (bottom) against UTC time, the simulator's truth
# over them when given. sfmrplot writes the variables first (settings.gp):
#   retrievedfile  elapsed, sfws, sfrr: the seconds with a retrieval, elapsed in s since the first line's
#               midnight
#   onboardfile elapsed, psws, psrr: the seconds with an onboard solution
#   truthfile   elapsed, truth_ws, truth_rr: every second, NaN where there is no truth (has_truth 1)
#               (these three binary, records of three native doubles)
#   bandfile    one box per run of seconds in one band: "middle y half_length half_height colour"
#   band_name, band_colour   the bands' legend labels and colours, in the order of their numbers
#   errorfile   "elapsed ws_low ws_high rr_low rr_high": one standard error either side of the retrieval,
#               drawn as a shaded band when has_errors is 1
#   seriesout flightname timespan has_truth has_errors tmin tmax
# Every setting from its default: sfmrplot runs both scripts in one gnuplot, one after the other. The data
# columns are plotted as they are: an expression in a `using` costs gnuplot several system calls a line.
reset
set terminal pngcairo size 1600,1000 font "sans,12" linewidth 1.2
set output seriesout
set datafile missing "NaN"

three = 'binary format="%float64%float64%float64"'
c_retrieved = "#0060b0"
c_onboard = "#f08c00"
c_error = "#a6c8e8"

set xdata time
set timefmt "%s"
set xrange [tmin:tmax]
# Tics every 10, 15, 30 or 60 min, or every 2 h, for about 8 to 12 of them.
span = tmax - tmin
tic = span <= 7200 ? 600 : span <= 10800 ? 900 : span <= 21600 ? 1800 : span <= 43200 ? 3600 : 7200
set xtics tic
set mxtics (tic <= 900 ? 5 : 6)
set grid xtics ytics lc rgb "#d9d9d9" lw 0.8
set border 3 lw 1
set tics nomirror out scale 0.6

set lmargin at screen 0.075
set rmargin at screen 0.975
set multiplot title sprintf("%s   %s", flightname, timespan) font "sans,15"

# Top: surface wind speed, with the one legend of both panels above it.
set tmargin at screen 0.90
set bmargin at screen 0.55
set format x ""
set ylabel "surface wind speed (m/s)"
set yrange [0:*]
set key at screen 0.5, screen 0.925 center center horizontal Left reverse samplen 2 width 2 font "sans,12"
set style line 1 lc rgb c_onboard pt 5 ps 0.25
set style line 2 lc rgb c_retrieved pt 5 ps 0.25
set style line 3 lc rgb "black" lw 1.6
# One standard error around the retrieval, under the points; nothing when has_errors is 0.
set style fill transparent solid 0.6 noborder
band_title = has_errors ? "one standard error" : ""
ws_band = has_errors ? 'errorfile using 1:2:3 with filledcurves lc rgb c_error notitle,' : ''
rr_band = has_errors ? 'errorfile using 1:4:5 with filledcurves lc rgb c_error,' : ''
if (has_truth) {
  plot @ws_band \
       onboardfile @three using 1:2 with points ls 1 notitle, \
       retrievedfile @three using 1:2 with points ls 2 notitle, \
       truthfile @three using 1:2 with lines ls 3 title "truth (simulation)", \
       keyentry with points ls 2 ps 1.5 title "retrieved (sfmrbatch)", \
       keyentry with points ls 1 ps 1.5 title "onboard solution", \
       keyentry with boxes lc rgb (has_errors ? c_error : "white") title band_title
} else {
  plot @ws_band \
       onboardfile @three using 1:2 with points ls 1 notitle, \
       retrievedfile @three using 1:2 with points ls 2 notitle, \
       keyentry with points ls 2 ps 1.5 title "retrieved (sfmrbatch)", \
       keyentry with points ls 1 ps 1.5 title "onboard solution", \
       keyentry with boxes lc rgb (has_errors ? c_error : "white") title band_title
}
unset key

# Middle: rain rate.
set tmargin at screen 0.53
set bmargin at screen 0.20
set ylabel "rain rate (mm/h)"
set yrange [0:*]
if (has_truth) {
  plot @rr_band onboardfile @three using 1:3 with points ls 1, retrievedfile @three using 1:3 with points ls 2, \
       truthfile @three using 1:3 with lines ls 3
} else {
  plot @rr_band onboardfile @three using 1:3 with points ls 1, retrievedfile @three using 1:3 with points ls 2
}

# Bottom: the status band, one coloured box per run of seconds, its legend below.
set tmargin at screen 0.175
set bmargin at screen 0.125
set format x "%H:%M"
set xlabel "time (UTC)" offset 0,0.2
unset ylabel
set yrange [0:1]
unset ytics
set grid noxtics noytics
set border 15
set label 1 "status" at screen 0.068, screen 0.15 right
set key at screen 0.5, screen 0.03 center center horizontal Left reverse samplen 1.5 width 1.5 maxrows 1 \
    font "sans,11"
set style fill solid 1.0 noborder
plot bandfile using 1:2:3:4:5 with boxxyerror lc rgb variable notitle, \
     for [i = 1:|band_name|] keyentry with boxes fs solid 1.0 lc rgb sprintf("#%06x", band_colour[i]) title band_name[i]
unset multiplot
