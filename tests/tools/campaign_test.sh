#!/usr/bin/env bash
# The campaign runner as a user runs it: a few short simulated flights, one with a broken calibration file.
#   campaign_test.sh SFMRCAMPAIGN SFMRSIM MASK.gz
# The good flights are done and the broken one is reported with its reason; a second run does nothing;
# --retry-failed retries only the broken one; the Slurm script is valid and its task N runs flight N alone;
# malformed manifests are rejected before any work.
set -euo pipefail
campaign=$1
sim=$2
mask=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/campaign-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL: $1" >&2
  exit 1
}
# expect_status WANT COMMAND...: runs the command, output in last.txt, and checks its exit status.
expect_status() {
  local want=$1 got=0
  shift
  "$@" > last.txt 2>&1 || got=$?
  [ "$got" -eq "$want" ] || fail "status $got, want $want: $* ($(cat last.txt))"
}
# field NAME COLUMN: the column (by header name) of the flight's row in out/campaign.csv.
field() {
  awk -F, -v name="$1" -v col="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
    $1 == name { print $c }' out/campaign.csv
}

gzip -dc "$mask" > mwir_land.txt
"$sim" grid sst.bin
for seed in 1 2 3; do
  "$sim" flight flights --name "f$seed" --seed "$seed" --hours 0.05 --no-land > /dev/null
done
echo "US-  17  (damaged block)" > flights/broken.cal
freqs="4.74,5.31,5.57,6.02,6.69,7.09"
cat > manifest.csv <<CSV
# test campaign: three good flights, one with a broken calibration file
name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter
f1,flights/f1.dat,flights/f1.cal,sst.bin,$freqs,-20.0,2.0
f2,flights/f2.dat,flights/f2.cal,aircraft,$freqs,20.0,2.0

bad,flights/f3.dat,flights/broken.cal,sst.bin,$freqs,-20.0,2.0
f3,$work/flights/f3.dat,flights/f3.cal,sst.bin,$freqs,-20.0,-2.0
CSV

# Malformed manifests: rejected before any work, naming the line.
sed 's/^f2,\(.*\),2.0$/f2,\1/' manifest.csv > short.csv
expect_status 1 "$campaign" short.csv out
grep -q "short.csv line 4: 11 fields, want 12" last.txt || fail "short row: $(cat last.txt)"
sed 's/^f3,/f1,/' manifest.csv > dup.csv
expect_status 1 "$campaign" dup.csv out
grep -q "line 7: flight name 'f1' already used on line 3" last.txt || fail "duplicate: $(cat last.txt)"
[ ! -e out ] || fail "a rejected manifest created the output directory"
expect_status 2 "$campaign" manifest.csv
expect_status 2 "$campaign" manifest.csv out --jobs 0

# First run: three flights done, the broken one failed with the console's reason.
expect_status 1 "$campaign" manifest.csv out --jobs 2
for f in f1 f2 f3; do
  [ "$(field "$f" status)" = "done" ] || fail "$f not done: $(cat out/campaign.csv)"
  [ -s "out/$f/$f.OUT" ] || fail "$f: no output file"
  [ "$(field "$f" steps | cut -d' ' -f1)" = sfmrbatch ] || fail "$f: steps $(field "$f" steps)"
done
[ "$(field bad status)" = failed ] || fail "bad flight: $(cat out/campaign.csv)"
[ "$(field bad reason)" = "sfmrbatch: Unexpected EOF in Cal file" ] || fail "reason: $(field bad reason)"
[ "$(field bad exit_status)" = 1 ] || fail "exit status of the bad flight"
for f in mwir_land.txt index.html joblog; do [ -f "out/$f" ] || fail "out/$f missing"; done
# With the companion tools built, their products are there too.
tools=$(dirname "$campaign")
if [ -x "$tools/sfmr2nc" ]; then [ -s out/f1/f1.nc ] || fail "sfmr2nc built but f1.nc missing"; fi
if [ -x "$tools/sfmrplot" ]; then [ -s out/f1/f1.map.png ] || fail "sfmrplot built but f1.map.png missing"; fi
if [ -x "$tools/sfmrsummary" ]; then [ "$(field f1 seconds)" -gt 0 ] || fail "sfmrsummary built but no seconds"; fi
jobs_logged=$(wc -l < out/joblog)
[ "$jobs_logged" -eq 4 ] || fail "job log holds $jobs_logged jobs, want 4"
# A rerun of a flight starts from an empty directory, so this file tells whether f1 ran again.
touch out/f1/not-run-again

# Second run: nothing to do.
expect_status 1 "$campaign" manifest.csv out
grep -q "4 flights in .*, 0 to process" last.txt || fail "second run: $(cat last.txt)"
[ "$(wc -l < out/joblog)" -eq "$jobs_logged" ] || fail "the second run ran jobs"
[ -e out/f1/not-run-again ] || fail "f1 was run again"

# Retry after mending the calibration file: only the broken flight runs, and now the campaign is done.
cp flights/f3.cal flights/broken.cal
expect_status 0 "$campaign" manifest.csv out --retry-failed
[ "$(wc -l < out/joblog)" -eq $((jobs_logged + 1)) ] || fail "--retry-failed ran more than one job"
tail -n 1 out/joblog | grep -q " bad --retry-failed$" || fail "--retry-failed ran $(tail -n 1 out/joblog)"
[ "$(field bad status)" = "done" ] || fail "the mended flight is not done"
[ -e out/f1/not-run-again ] || fail "f1 was run again by --retry-failed"

# Slurm: a valid script; task 2 alone processes the second flight of the manifest and nothing else.
expect_status 0 "$campaign" manifest.csv slurm --slurm
bash -n slurm/campaign.slurm || fail "campaign.slurm does not parse"
grep -q "^#SBATCH --array=1-4$" slurm/campaign.slurm || fail "array range"
SLURM_ARRAY_TASK_ID=2 bash slurm/campaign.slurm > last.txt 2>&1 || fail "task 2: $(cat last.txt)"
[ "$(find slurm -name result.txt)" = slurm/f2/result.txt ] || fail "task 2 ran $(find slurm -name result.txt)"
grep -q "^state=done$" slurm/f2/result.txt || fail "task 2 not done"
expect_status 1 "$campaign" manifest.csv slurm --report
grep -q "^f2,done," slurm/campaign.csv || fail "Slurm report: f2 not done"
grep -q "^f1,pending," slurm/campaign.csv || fail "Slurm report: f1 not pending"
# Ctrl-C while a flight's plot step runs: the run stops, the flight is not marked done, the next run does it.
# A copy of the runner beside sfmrbatch finds a stand-in sfmrplot that waits.
mkdir -p fake/tools
cp "$campaign" "$tools/sfmrcampaign-core" fake/tools/
ln -s "$(readlink -f "$tools/../sfmrbatch")" fake/sfmrbatch
# shellcheck disable=SC2016 # the stand-in expands its own argument
printf '#!/bin/sh\ntouch "$3.started"\nsleep 60\n' > fake/tools/sfmrplot
chmod +x fake/tools/sfmrplot
head -n 3 manifest.csv > one.csv
setsid fake/tools/sfmrcampaign one.csv stop > stop.log 2>&1 &
runner=$!
for _ in $(seq 100); do [ -e stop/f1/f1.started ] && break; sleep 0.1; done
[ -e stop/f1/f1.started ] || fail "the plot step did not start: $(cat stop.log)"
kill -INT -- "-$runner"
got=0
wait "$runner" || got=$?
[ "$got" -eq 1 ] || fail "interrupted run: status $got ($(cat stop.log))"
[ ! -e stop/f1/result.txt ] || fail "an interrupted flight has a result"
grep -q "^f1,pending," stop/campaign.csv || fail "interrupted flight not pending: $(cat stop/campaign.csv)"
rm fake/tools/sfmrplot
expect_status 0 fake/tools/sfmrcampaign one.csv stop
grep -q "^f1,done," stop/campaign.csv || fail "the interrupted flight was not done by the next run"
echo "campaign test passed"
