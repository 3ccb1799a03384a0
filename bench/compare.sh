#!/usr/bin/env bash
# Whole-program comparison on a generated log: each job is run by vellary and
# by the usual text tools that do the same job, alternately, several times;
# prints the median wall time of each side, their ratio and the peak memory.
#
#   bash bench/compare.sh [runs, default 5] [log size in MB, default 400]
#
# Needs a release build in build/ (the README's build command); the log and
# all outputs go to bench-data/ on disk.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${1:-5}
SIZE=${2:-400}
BIN=${VELLARY:-build/app/vellary}
DATA=bench-data
mkdir -p "$DATA"

[ -x "$BIN" ] || { echo "no program at $BIN: build it first (see README)" >&2; exit 1; }
if [ ! -f "$DATA/gen_log" ] || [ bench/gen_log.cpp -nt "$DATA/gen_log" ]; then
  g++ -O2 -std=c++20 -o "$DATA/gen_log" bench/gen_log.cpp
fi
LOG="$DATA/log-$SIZE.txt"
[ -f "$LOG" ] || "$DATA/gen_log" "$LOG" "$SIZE"
OUT="$DATA/out"

# The sample replacement file and the same nine pairs as a sed script.
(cd "$DATA" && "../$BIN" --ms sample.txt >/dev/null)
cat > "$DATA/pairs.sed" <<'SED'
s/Old/New!/gI
s/Delete//gI
s/Intel/AMD/gI
s/nVidia/ATI/gI
s/Windows/Linux/gI
s/Cisco/EnGenius/gI
s/Fortinet/Calyptix/gI
s/You can change long text/to short text/gI
s/192\.168\.100/10.100.200/gI
s/$/\r/
SED
cat > "$DATA/typical.awk" <<'AWK'
BEGIN { sep = sprintf("%80s", ""); gsub(/ /, "-", sep) }
$0 == "" { printf "\r\n"; next }
{ l = tolower($0) }
index(l, "debug") { next }
{
  n++
  if (index(l, "finished")) printf "%s\r\n%s\r\n", $0, sep
  else printf "%s\r\n", $0
}
END { printf "--- %s: %d\r\n", FILENAME, n > "/dev/stderr" }
AWK

# run CMD...: one timed run; appends "seconds peak-KiB" to the named series.
declare -A SERIES
timed() {
  local key=$1; shift
  /usr/bin/time -f "%e %M" -o "$DATA/time.txt" bash -c "$*" 2>/dev/null
  SERIES[$key]+="$(cat "$DATA/time.txt");"
}
median() {  # series key, field (1 time, 2 memory)
  tr ';' '\n' <<<"${SERIES[$1]}" | awk -v f="$2" 'NF { print $f }' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

JOBS=(passthrough passthrough-cat skip find replace typical)
declare -A MINE THEIRS LABEL
LABEL[passthrough]="pass-through vs sed"
MINE[passthrough]="$BIN $LOG -o $OUT.v"
THEIRS[passthrough]="sed 's/\$/\r/' $LOG > $OUT.t"
LABEL[passthrough-cat]="pass-through vs cat"
MINE[passthrough-cat]="$BIN $LOG -o $OUT.v"
THEIRS[passthrough-cat]="cat $LOG > $OUT.t"
LABEL[skip]="skip lines vs grep -iv"
MINE[skip]="$BIN $LOG --sk DEBUG > $OUT.v"
THEIRS[skip]="grep -iv debug $LOG > $OUT.t"
LABEL[find]="find two texts vs grep -iF"
MINE[find]="$BIN $LOG -f 'error;warn' > $OUT.v"
THEIRS[find]="grep -iF -e error -e warn $LOG > $OUT.t"
LABEL[replace]="nine pairs vs sed -f"
MINE[replace]="$BIN $LOG -r $DATA/sample.txt > $OUT.v"
THEIRS[replace]="sed -f $DATA/pairs.sed $LOG > $OUT.t"
LABEL[typical]="typical run vs awk"
MINE[typical]="$BIN $LOG --sk DEBUG --la Finished -t > $OUT.v 2>/dev/null"
THEIRS[typical]="awk -f $DATA/typical.awk $LOG > $OUT.t 2>/dev/null"

for job in "${JOBS[@]}"; do
  for ((i = 0; i < RUNS; i++)); do
    timed "$job.mine" "${MINE[$job]}"
    timed "$job.theirs" "${THEIRS[$job]}"
  done
done

printf '%-28s %10s %10s %7s %12s %12s\n' job "vellary s" "other s" ratio "vellary KiB" "other KiB"
for job in "${JOBS[@]}"; do
  m=$(median "$job.mine" 1); t=$(median "$job.theirs" 1)
  mm=$(median "$job.mine" 2); tm=$(median "$job.theirs" 2)
  printf '%-28s %10.2f %10.2f %7.2f %12d %12d\n' "${LABEL[$job]}" "$m" "$t" \
    "$(awk -v a="$m" -v b="$t" 'BEGIN { print (b > 0) ? a / b : 0 }')" "$mm" "$tm"
done
rm -f "$OUT.v" "$OUT.t"
