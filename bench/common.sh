# What the bench scripts share. Sourced from the project's root, after the
# script has set `build` (its build folder) and `work_name`:
#
#   bench_needs PROGRAM...   stops unless each program is on the PATH
#   bench_built TARGET...    builds the targets when elvarin-host is missing
#   bench_work               makes $work, a scratch folder removed at exit
#   calc EXPR [DIGITS]       awk arithmetic, 3 decimals unless told
#   median                   the median of the numbers on standard input
#   verdict CONDITION        PASS or FAIL for an awk condition
#   peak_kib COMMAND...      the command's peak resident memory in KiB
tool="$build/cli/elvarin-host"

bench_needs() {
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null || { echo "${work_name}: needs $program" >&2; exit 1; }
  done
}

bench_built() {
  local target missing=false
  [ -x "$tool" ] || missing=true
  for target in "$@"; do
    [ "$target" != gdal_DED ] || [ -f "$build/gdal/gdal_DED.so" ] || missing=true
  done
  if $missing; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j 2 --target "$@"
  fi
}

bench_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/${work_name}.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
verdict() { awk "BEGIN { exit !($1) }" && echo PASS || echo FAIL; }
peak_kib() {
  { /usr/bin/time -v "$@" >/dev/null; } 2>&1 | sed -n 's/.*Maximum resident set size (kbytes): //p'
}
