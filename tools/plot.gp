# The picture of the two node tables: for each, the curve through its nodes
# with every node marked, and beneath it log10 of the spacing between
# neighbouring nodes, which shows where the refinement spent its nodes.
#   gnuplot -c tools/plot.gp TABLE1 TABLE2 OUTPUT.png
table1 = ARG1
table2 = ARG2

set terminal pngcairo size 1400,900 font "DejaVu Sans,11" linewidth 1.2
set output ARG3
set datafile separator "\t"

# The x resolution of both built-in jobs: an interval no wider is never split.
xResolution = 0.003

# The spacing of a node from the one before it is drawn at the middle of the
# interval between them. The first node has no spacing, and the seed that lies
# on the left end node has spacing 0 and no logarithm.
gap = NaN
previousX = NaN

set multiplot layout 2,2 columnsfirst margins 0.06,0.98,0.08,0.93 spacing 0.07,0.10 \
  title "modsin: y = sin(x^2), x resolution 0.003, y tolerance 0.005" font ",14"

do for [i = 1:2] {
  table = (i == 1) ? table1 : table2
  xMax = (i == 1) ? 5 : 10
  nodeCount = system(sprintf("tail -n +2 '%s' | wc -l", table)) + 0

  set xrange [0:xMax]
  set yrange [-1.15:1.5]
  set ytics -3, 0.5, 1
  set grid
  set key top center horizontal
  set title sprintf("%s: [0, %d], %d nodes", table, xMax, nodeCount)
  unset xlabel
  set ylabel "y"
  plot table skip 1 using 1:2 with lines linecolor rgb "#1f77b4" title "curve through the nodes", \
       ''    skip 1 using 1:2 with points pointtype 7 pointsize 0.45 linecolor rgb "#d62728" title "nodes"

  set yrange [-3.2:0.2]
  set ytics -3, 0.5, 1
  set title "log10 of the node spacing"
  set xlabel "x"
  set ylabel "log10(spacing)"
  set key bottom left
  previousX = NaN
  plot table skip 1 using (gap = $1 - previousX, middle = previousX + gap / 2, previousX = $1, middle):(gap > 0 ? log10(gap) : NaN) \
         with linespoints pointtype 7 pointsize 0.35 linecolor rgb "#2ca02c" title "spacing of each interval", \
       log10(xResolution) with lines dashtype 2 linecolor rgb "#555555" title "x resolution"
}
unset multiplot
