#!/usr/bin/env bash
# Whole-program comparison on a generated log: each job is run by vellary and
# by the usual text tools that do the same job, alternately, several times;
# prints the median wall time of each side, their ratio and the peak memory.
# ripgrep's rows appear when rg is installed. The "accented" rows run the same
# job on a log where one line in four holds letters beyond ASCII, against the
# ASCII log, in a UTF-8 locale. The "pipe" and "Latin-1" rows feed the log
# through a pipe and convert the -o file from ISO-8859-1. The "Russian" rows search a 100 MB Russian
# log in C.UTF-8; the "ids" rows a 100 000-line log with 10 000 eight-digit
# ids as one -f list or as a table of pairs (and the "all vs one" id rows
# that list, and a million pairs, over the big log); the "repetitive" rows a 10 MB
# line of 'abab...' for a 1001-byte text 'abab...abc', against -s. The "one
# core" rows run the same job on every core against the same build held to
# one (taskset -c 0).
#
#   bash bench/compare.sh [runs, default 5] [log size in MB, default 400]
#
# VELLARY=path picks the program (default build/app/vellary); ONLY="name ..."
# runs just the named rows (the names given to job below); VELLARY_BEFORE=
# path adds that build's median for each job and the ratio of the two, so a
# change is measured before and after in one run; VELLARY_ONE_CORE=1 holds
# every vellary run of the other rows to one core. Needs a release build (the
# README's build command); the logs and all outputs go to bench-data/ on disk.
#
# VELLARY_EXE=path/to/vellary.exe adds the "wine" rows: the Windows build
# under wine against this build on pass-through -o and on -f to standard
# output, each less wine's own start (the median of "wine vellary.exe
# --version-only", timed beside every run of those rows), and on nine pairs
# -o against the .exe held to one core. The outputs of the first two are
# compared byte for byte once, before the timing. Wine runs in a prefix of
# its own (bench-data/wine-prefix unless WINEPREFIX is set) in C.UTF-8, code
# pages 1252 and 437, with its server kept running for the whole script:
#   VELLARY_EXE=build-win/app/vellary.exe ONLY="wine-pass wine-find wine-replace-1" \
#     bash bench/compare.sh 3
#
# VELLARY_FALLBACK=path adds the "fallback" rows: this build against one
# configured with -DVELLARY_VECTOR_SCAN=OFF (the byte scans' plain loops, as
# a target without SSE2 or NEON has them) on pass-through -o, -f and --sk:
#   cmake -S . -B build-fallback -DVELLARY_TESTS=OFF -DVELLARY_VECTOR_SCAN=OFF &&
#     cmake --build build-fallback -j2 && VELLARY_FALLBACK=build-fallback/app/vellary \
#     ONLY="fallback-pass fallback-find fallback-skip" bash bench/compare.sh
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${1:-5}
SIZE=${2:-400}
BIN=$(realpath -m "${VELLARY:-build/app/vellary}")
BEFORE=${VELLARY_BEFORE:-}
DATA=bench-data
mkdir -p "$DATA"

[ -x "$BIN" ] || { echo "no program at $BIN: build it first (see README)" >&2; exit 1; }
ONE="taskset -c 0"
if [ ! -f "$DATA/gen_log" ] || [ bench/gen_log.cpp -nt "$DATA/gen_log" ]; then
  g++ -O2 -std=c++20 -o "$DATA/gen_log" bench/gen_log.cpp
fi
LOG="$DATA/log-$SIZE.txt"
[ -f "$LOG" ] || "$DATA/gen_log" "$LOG" "$SIZE"
ALOG="$DATA/log-$SIZE-accented.txt"
[ -f "$ALOG" ] || "$DATA/gen_log" "$ALOG" "$SIZE" accented
OUT="$DATA/out"
RLOG="$DATA/log-100-russian.txt"
[ -f "$RLOG" ] || "$DATA/gen_log" "$RLOG" 100 russian
IDLOG="$DATA/ids.log"
if [ ! -f "$IDLOG" ]; then
  awk 'BEGIN { srand(21); for (i = 0; i < 10000; i++) printf "%08d\n", 10000000 + int(rand() * 90000000) }' \
    > "$DATA/ids.txt"
  awk 'BEGIN { srand(22) } { id[NR] = $0 } END {
         for (i = 0; i < 100000; i++)
           printf "2026-12-01 INFO request id=%s served in %d ms\n",
                  (i % 7 == 0) ? id[i % 10000 + 1] : sprintf("%08d", int(rand() * 100000000)), int(rand() * 1000)
       }' "$DATA/ids.txt" > "$IDLOG"
  paste -sd';' "$DATA/ids.txt" > "$DATA/ids.list"
  awk '{ printf "%s;ID-%d\n", $0, NR }' "$DATA/ids.txt" > "$DATA/ids.pairs"
  head -1 "$DATA/ids.pairs" > "$DATA/id.pair"
fi
REP="$DATA/repetitive.txt"
if [ ! -f "$REP" ]; then
  awk 'BEGIN { for (i = 0; i < 5000000; i++) printf "ab"; print "" }' > "$REP"
  awk 'BEGIN { for (i = 0; i < 500; i++) printf "ab"; print "c" }' > "$DATA/rep.needle"
fi

# The sample replacement file and the same nine pairs as a sed script.
(cd "$DATA" && "$BIN" --ms sample.txt >/dev/null)
[ -z "${VELLARY_ONE_CORE:-}" ] || { BIN="$ONE $BIN"; [ -z "$BEFORE" ] || BEFORE="$ONE $BEFORE"; }
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
# Each run starts with no dirty pages left by the one before: otherwise the
# write-back of the previous output lands on whichever job runs next. Each
# writes a new file, too: emptying the last run's 400 MB output costs a
# fixed 0.2 s on a disk mounted with discard, a cost of the file system that
# would be timed as either program's.
declare -A SERIES
timed() {
  local key=$1; shift
  rm -f "$OUT.v" "$OUT.t"
  sync
  /usr/bin/time -f "%e %M" -o "$DATA/time.txt" bash -c "$*" 2>/dev/null
  SERIES[$key]+="$(cat "$DATA/time.txt");"
}
median() {  # series key, field (1 time, 2 memory)
  tr ';' '\n' <<<"${SERIES[$1]}" | awk -v f="$2" 'NF { print $f }' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# job NAME LABEL VELLARY-COMMAND OTHER-COMMAND
JOBS=()
declare -A MINE THEIRS LABEL
job() { JOBS+=("$1"); LABEL[$1]=$2; MINE[$1]=$3; THEIRS[$1]=$4; }
job passthrough "pass-through vs sed" "$BIN $LOG -o $OUT.v" "sed 's/\$/\r/' $LOG > $OUT.t"
job passthrough-cat "pass-through vs cat" "$BIN $LOG -o $OUT.v" "cat $LOG > $OUT.t"
job skip "skip lines vs grep -iv" "$BIN $LOG --sk DEBUG > $OUT.v" "grep -iv debug $LOG > $OUT.t"
job find "find two texts vs grep -iF" "$BIN $LOG -f 'error;warn' > $OUT.v" \
  "grep -iF -e error -e warn $LOG > $OUT.t"
job replace "nine pairs vs sed -f" "$BIN $LOG -r $DATA/sample.txt > $OUT.v" \
  "sed -f $DATA/pairs.sed $LOG > $OUT.t"
job typical "typical run vs awk" "$BIN $LOG --sk DEBUG --la Finished -t > $OUT.v 2>/dev/null" \
  "awk -f $DATA/typical.awk $LOG > $OUT.t 2>/dev/null"
job find-accented "find two, accented vs ASCII" "LC_ALL=C.UTF-8 $BIN $ALOG -f 'error;warn' > $OUT.v" \
  "LC_ALL=C.UTF-8 $BIN $LOG -f 'error;warn' > $OUT.t"
job replace-accented "nine pairs, accented vs ASCII" "LC_ALL=C.UTF-8 $BIN $ALOG -r $DATA/sample.txt > $OUT.v" \
  "LC_ALL=C.UTF-8 $BIN $LOG -r $DATA/sample.txt > $OUT.t"
job replace-1 "nine pairs, all cores vs one" "${MINE[replace]}" "$ONE ${MINE[replace]}"
job typical-1 "typical run, all cores vs one" "${MINE[typical]}" "$ONE ${MINE[typical]}"
# An input read in order (a pipe), and an output converted from a
# single-byte locale's charset to UTF-8, on every core against one.
job pipe-1 "pipe, nine pairs -o, all vs one" "cat $LOG | $BIN /dev/stdin -r $DATA/sample.txt -o $OUT.v" \
  "cat $LOG | $ONE $BIN /dev/stdin -r $DATA/sample.txt -o $OUT.t"
LATIN1="LOCPATH=$DATA/locale LC_ALL=de_DE.ISO-8859-1"
[ -d "$DATA/locale/de_DE.ISO-8859-1" ] ||
  { mkdir -p "$DATA/locale" && localedef -i de_DE -f ISO-8859-1 "$DATA/locale/de_DE.ISO-8859-1" 2>/dev/null || true; }
job latin1-1 "Latin-1 nine pairs -o, all vs one" "$LATIN1 $BIN $LOG -r $DATA/sample.txt -o $OUT.v" \
  "$LATIN1 $ONE $BIN $LOG -r $DATA/sample.txt -o $OUT.t"
# Loading a replacement file of a million pairs must stay linear (under 2 s).
PAIRS1M="$DATA/pairs-1m.txt"
[ -f "$PAIRS1M" ] || awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "word%07d;W%d\n", i, i }' > "$PAIRS1M"
echo "one line with word0000042 in it" > "$DATA/one-line.txt"
job load-pairs "load 1M pairs vs nine pairs" "$BIN $DATA/one-line.txt -r $PAIRS1M > $OUT.v" \
  "$BIN $DATA/one-line.txt -r $DATA/sample.txt > $OUT.t"
IDS="\"\$(cat $DATA/ids.list)\""
job ids-find "10 000 ids -f vs grep -iF -f" "$BIN $IDLOG -f $IDS > $OUT.v" "grep -iF -f $DATA/ids.txt $IDLOG > $OUT.t"
job ids-replace "10 000 pairs vs one pair" "$BIN $IDLOG -r $DATA/ids.pairs > $OUT.v" "$BIN $IDLOG -r $DATA/id.pair > $OUT.t"
# One prepared run shared by every thread: a million pairs and 10 000-text
# -f and --sk lists over the big log, every core against one; the peak
# memory column shows what each thread adds.
PAIRS1MID="$DATA/id-pairs-1m.txt"
[ -f "$PAIRS1MID" ] || awk 'BEGIN { for (i = 0; i < 1000000; i++) printf "id%07d;ID-%d\n", i, i }' > "$PAIRS1MID"
job pairs1m-1 "1M pairs -o, all vs one" "$BIN $LOG -r $PAIRS1MID -o $OUT.v" "$ONE $BIN $LOG -r $PAIRS1MID -o $OUT.t"
job ids-find-1 "10 000 -f -o, all vs one" "$BIN $LOG -f $IDS -o $OUT.v" "$ONE $BIN $LOG -f $IDS -o $OUT.t"
job ids-skip-1 "10 000 --sk -o, all vs one" "$BIN $LOG --sk $IDS -o $OUT.v" "$ONE $BIN $LOG --sk $IDS -o $OUT.t"
NEEDLE="\"\$(cat $DATA/rep.needle)\""
job rep-find "repetitive -f vs -s" "$BIN $REP -f $NEEDLE > $OUT.v" "$BIN $REP -s -f $NEEDLE > $OUT.t"
job rep-skip "repetitive --sk vs -s" "$BIN $REP --sk $NEEDLE > $OUT.v" "$BIN $REP -s --sk $NEEDLE > $OUT.t"
job ru-find "Russian -f two vs grep -iF" "LC_ALL=C.UTF-8 $BIN $RLOG -f 'ошибка;предупреждение' > $OUT.v" \
  "LC_ALL=C.UTF-8 grep -iF -e ошибка -e предупреждение $RLOG > $OUT.t"
job ru-skip "Russian --sk vs grep -viF" "LC_ALL=C.UTF-8 $BIN $RLOG --sk отладка > $OUT.v" \
  "LC_ALL=C.UTF-8 grep -viF отладка $RLOG > $OUT.t"
if command -v rg >/dev/null; then
  job ru-find-rg "Russian -f two vs rg -iF" "${MINE[ru-find]}" \
    "LC_ALL=C.UTF-8 rg -iF --no-mmap -e ошибка -e предупреждение $RLOG > $OUT.t"
  job ru-skip-rg "Russian --sk vs rg -viF" "${MINE[ru-skip]}" "LC_ALL=C.UTF-8 rg -viF --no-mmap отладка $RLOG > $OUT.t"
  job ids-find-rg "10 000 ids -f vs rg -iF -f" "${MINE[ids-find]}" "rg -iF --no-mmap -f $DATA/ids.txt $IDLOG > $OUT.t"
  job find-rg "find two texts vs rg -iF" "${MINE[find]}" "rg -iF --no-mmap -e error -e warn $LOG > $OUT.t"
  job skip-rg "skip lines vs rg -iv" "${MINE[skip]}" "rg -iv --no-mmap debug $LOG > $OUT.t"
  job find-rg-mmap "find two texts vs rg -iF, mmap" "${MINE[find]}" "rg -iF -e error -e warn $LOG > $OUT.t"
  job skip-rg-mmap "skip lines vs rg -iv, mmap" "${MINE[skip]}" "rg -iv debug $LOG > $OUT.t"
fi

if [ -n "${VELLARY_FALLBACK:-}" ]; then
  FALLBACK=$(realpath -m "$VELLARY_FALLBACK")
  [ -x "$FALLBACK" ] || { echo "no program at $FALLBACK: build it with -DVELLARY_VECTOR_SCAN=OFF" >&2; exit 1; }
  job fallback-pass "pass -o, vector vs fallback" "$BIN $LOG -o $OUT.v" "$FALLBACK $LOG -o $OUT.t"
  job fallback-find "-f two, vector vs fallback" "${MINE[find]}" "$FALLBACK $LOG -f 'error;warn' > $OUT.t"
  job fallback-skip "--sk, vector vs fallback" "${MINE[skip]}" "$FALLBACK $LOG --sk DEBUG > $OUT.t"
fi

declare -A LESS_START SAME
if [ -n "${VELLARY_EXE:-}" ]; then
  EXE=$(realpath -m "$VELLARY_EXE")
  [ -f "$EXE" ] || { echo "no program at $EXE: cross-build it first (.ci/windows.sh)" >&2; exit 1; }
  export WINEPREFIX=${WINEPREFIX:-$(realpath -m "$DATA/wine-prefix")} WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  wineboot -i </dev/null >/dev/null 2>&1
  WINE="env LC_ALL=C.UTF-8 wine $EXE"
  $WINE --version-only </dev/null >/dev/null 2>&1 || true  # first-run work, untimed
  job wine-pass "wine pass -o (less start)" "$WINE $LOG -o $OUT.v" "$BIN $LOG -o $OUT.t"
  job wine-find "wine -f two >out (less start)" "$WINE $LOG -f 'error;warn' > $OUT.v" \
    "$BIN $LOG -f 'error;warn' > $OUT.t"
  job wine-replace-1 "wine nine pairs -o vs 1 core" "$WINE $LOG -r $DATA/sample.txt -o $OUT.v" \
    "$ONE $WINE $LOG -r $DATA/sample.txt -o $OUT.t"
  LESS_START[wine-pass]=1 LESS_START[wine-find]=1
fi

# ONLY="name ..." keeps just those rows.
[ -z "${ONLY:-}" ] || read -ra JOBS <<<"$ONLY"
for job in "${JOBS[@]}"; do
  if [ -n "${LESS_START[$job]:-}" ]; then
    rm -f "$OUT.v" "$OUT.t"
    bash -c "${MINE[$job]}" && bash -c "${THEIRS[$job]}"
    cmp -s "$OUT.v" "$OUT.t" && SAME[$job]=equal || SAME[$job]=DIFFERENT
  fi
  for ((i = 0; i < RUNS; i++)); do
    [ -z "${LESS_START[$job]:-}" ] || timed wine.start "$WINE --version-only >/dev/null; true"
    timed "$job.mine" "${MINE[$job]}"
    timed "$job.theirs" "${THEIRS[$job]}"
    [ -z "$BEFORE" ] || timed "$job.before" "${MINE[$job]//$BIN/$BEFORE}"
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > 0) ? a / b : 0 }'; }
printf '%-30s %10s %10s %7s %12s %12s' job "vellary s" "other s" ratio "vellary KiB" "other KiB"
[ -z "$BEFORE" ] && echo || printf ' %9s %8s\n' "before s" "vs before"
for job in "${JOBS[@]}"; do
  m=$(median "$job.mine" 1); t=$(median "$job.theirs" 1)
  mm=$(median "$job.mine" 2); tm=$(median "$job.theirs" 2)
  [ -z "${LESS_START[$job]:-}" ] || m=$(awk -v a="$m" -v b="$(median wine.start 1)" 'BEGIN { print a - b }')
  printf '%-30s %10.2f %10.2f %7.2f %12d %12d' "${LABEL[$job]}" "$m" "$t" "$(ratio "$m" "$t")" "$mm" "$tm"
  if [ -z "$BEFORE" ]; then
    echo
  else
    b=$(median "$job.before" 1)
    printf ' %9.2f %8.2f\n' "$b" "$(ratio "$m" "$b")"
  fi
done
if [ -n "${SERIES[wine.start]:-}" ]; then
  echo "wine rows marked less start: wine's start ($(median wine.start 1) s, median of --version-only) taken off"
  for job in "${!SAME[@]}"; do echo "$job: output bytes ${SAME[$job]} to the native build's"; done
fi
rm -f "$OUT.v" "$OUT.t"
