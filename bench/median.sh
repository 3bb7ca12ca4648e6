# The median of the numbers on standard input, one a line: sourced by the
# benchmark scripts, which all report medians.
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
