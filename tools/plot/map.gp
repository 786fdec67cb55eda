# Track map of a processed flight, drawn by sfmrplot: the track coloured by the retrieved surface wind speed,
# seconds without a retrieval in grey, over the GSHHG coastlines and land, start and end marked. Plate
# carree scaled for the map's middle latitude. sfmrplot writes the variables first (settings.gp):
#   trackfile   lon, lat, sfws, elapsed: the seconds with a retrieval (binary, four native doubles a record)
#   greyfile    lon, lat, elapsed: the seconds without (three native doubles a record)
#   coastfile   coastline segments "lon lat", separated by blank lines
#   landfile    land polygons "lon lat", a blank line after each, in land_levels data sets of nesting:
#               set 0 land, set 1 water inside it (lakes), set 2 land in those, ...; filled in land_colour
#               and the sea's colour in turn, they cover what the land raster's cells cover
#   mapout flightname timespan west east south north mapratio cbmax
#   start_lon start_lat end_lon end_lat start_label end_label xtic_list ytic_list
# Page height follows the map's aspect ratio: about 880 pixels of map width plus title, axes, the legend's
# row below the frame and margins.
# Every setting from its default: sfmrplot runs both scripts in one gnuplot, one after the other.
reset
set terminal pngcairo size 1300, int(880 * mapratio + 240) font "sans,12" linewidth 1.2
set output mapout
set datafile missing "NaN"

set title sprintf("%s   %s\nflight track, retrieved surface wind speed", flightname, timespan) font "sans,15"
set size ratio mapratio
set xrange [west:east]
set yrange [south:north]
eval("set xtics " . xtic_list)
eval("set ytics " . ytic_list)
set tics out scale 0.6 nomirror
set border 15 lw 1.2
set grid xtics ytics lc rgb "#9aa9b8" lw 0.6 dt 3 front
set xlabel "longitude"
set ylabel "latitude"

# Wind speed colours (a perceptually ordered rainbow, calm purple to storm red), 0 to cbmax m/s.
set palette defined (0 "#30123b", 1 "#4662d7", 2 "#36aaf9", 3 "#1ae4b6", 4 "#72fe5e", 5 "#c8ef34", \
                     6 "#faba39", 7 "#f66b19", 8 "#cb2a04", 9 "#7a0403")
set cbrange [0:cbmax]
set cbtics 10 out scale 0.6
set mcbtics 2
set cblabel "retrieved surface wind speed (m/s)" offset 1,0
set colorbox vertical default border
set rmargin 14

# Sea behind everything.
sea_colour = "#dcebf7"
set object 1 rectangle from graph 0, graph 0 to graph 1, graph 1 behind fc rgb sea_colour fs solid 1.0 noborder

# The legend in one row below the frame, where it hides no part of the track or the coast.
set key outside below center horizontal maxrows 1 box lc rgb "#7f7f7f" reverse Left samplen 1 width 2 \
    font "sans,11"

land_plot = land_levels > 0 ? 'for [level = 0:land_levels - 1] landfile index level with filledcurves closed \
    fc rgb (level % 2 ? sea_colour : land_colour) fs solid 1.0 noborder notitle,' : ''
plot @land_plot \
     coastfile using 1:2 with lines lw 1.0 lc rgb "#5a5a5a" notitle, \
     greyfile binary format="%float64%float64%float64" using 1:2 with points pt 5 ps 0.3 lc rgb "#9a9a9a" notitle, \
     keyentry with points pt 7 ps 1.2 lc rgb "#9a9a9a" title "no retrieval", \
     trackfile binary format="%float64%float64%float64%float64" using 1:2:3 with points pt 5 ps 0.4 lc palette notitle, \
     "+" using (start_lon):(start_lat) every ::0::0 with points pt 9 ps 2.6 lc rgb "black" title start_label, \
     "+" using (end_lon):(end_lat) every ::0::0 with points pt 5 ps 2.0 lc rgb "black" title end_label
