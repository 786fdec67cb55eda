# Plot of a processed flight: retrieved, onboard and true surface wind speed (top) and rain rate (bottom)
# against time of day. Run as
#   gnuplot -e "datafile='plot.dat'; outfile='flight.png'; flightname='sample'" tools/plot_flight.gp
# The data file is written by sfmrsummary: hours since the first day's midnight, then sfws sfrr psws psrr
# truth_ws truth_rr, NaN where a value is missing.
if (!exists("flightname")) flightname = "flight"
set terminal pngcairo size 1400,900 font "sans,11"
set output outfile
set datafile missing "NaN"
set multiplot layout 2,1 title sprintf("sfmrbatch: %s", flightname) font "sans,14"
set grid
set key outside right top
set xdata time
set timefmt "%s"
set format x "%H:%M"
set xlabel "time (UTC, hours:minutes)"
set lmargin 12
set rmargin 28

set ylabel "surface wind speed (m/s)"
set yrange [0:*]
plot datafile using ($1*3600):4 with points pt 7 ps 0.25 lc rgb "#e69f00" title "onboard solution", \
     ""       using ($1*3600):2 with points pt 7 ps 0.3 lc rgb "#0072b2" title "retrieved (sfmrbatch)", \
     ""       using ($1*3600):6 with lines lw 1.2 lc rgb "black" title "truth (simulated storm)"

set ylabel "rain rate (mm/h)"
set yrange [0:*]
plot datafile using ($1*3600):5 with points pt 7 ps 0.25 lc rgb "#e69f00" title "onboard solution", \
     ""       using ($1*3600):3 with points pt 7 ps 0.3 lc rgb "#009e73" title "retrieved (sfmrbatch)", \
     ""       using ($1*3600):7 with lines lw 1.2 lc rgb "black" title "truth (simulated storm)"
unset multiplot
