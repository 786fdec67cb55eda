#!/usr/bin/env bash
# Makes the golden corpus tests/data/golden/<case>/: the inputs of each case from the flight simulator (with
# hand edits for damaged records and faults), then the expectations from what the current build of sfmrbatch
# does with them (run through the golden test itself, tests/golden/golden_test.cpp). A case without
# expectations gets them; an expectation that no longer matches is refused unless --accept is given, so a
# change of behaviour is always a deliberate commit.
#   tests/golden/make_golden.sh [--accept]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
mode=record
if [ "${1:-}" = "--accept" ]; then mode=accept; fi
scripts/configure.sh tests build
cmake --build build -j 2 --target sfmrsim sfmrbatch sfmrbatch_tests >/dev/null
sim=$root/build/tools/sfmrsim
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gzip -dc sample/landmask/mwir_land.txt.gz > "$work/mwir_land.txt"
(cd "$work" && "$sim" grid sst.bin)

# new_case NAME [sfmrsim flight options]: the case directory with a fresh flight f (f.dat, f.cal, f.setup),
# answered by the setup file's name. Sets $in to the input directory.
new_case() {
  local name=$1
  shift
  dir=$root/tests/data/golden/$name
  in=$dir/input
  rm -rf "$in" "$dir/answers" "$dir/mask"
  mkdir -p "$in"
  (cd "$work" && "$sim" flight "$in" --name f --sst sst.bin "$@" >/dev/null)
  rm -f "$in/f.truth.csv" "$in/f.answers"
  printf 'f.setup\n' > "$dir/answers"
}
# A short flight through the storm without losses or damage.
clean=(--no-land --hours 0.02 --drop 0 --gap 0 --damage 0)
# answers LINE...: the console answers of the case.
answers() { printf '%s\n' "$@" > "$dir/answers"; }
# set_section X VALUE: the value line of section &X of f.setup; drop_section X: no section &X at all.
set_section() { sed -i "/^&$1/{n;s/.*/$2/}" "$in/f.setup"; }
drop_section() { sed -i "/^&$1/,+1d" "$in/f.setup"; }
# raw SED-SCRIPT: edits f.dat. Second k (0-based) of a clean flight is lines 3+5k (%A), %T, %R, %B, %B.
raw() { sed -i "$1" "$in/f.dat"; }

# ---- Clean flights: SST from the file and from the aircraft; hexadecimal and character masks; filters
new_case storm_file_sst_hex --no-land --hours 0.05 --drop 0 --gap 0 --damage 0
new_case storm_aircraft_sst_char_mask --no-land --hours 0.05 --drop 0 --gap 0 --damage 0 --seed 2
set_section E 20.0
echo char > "$dir/mask"
new_case storm_outlier_filter --no-land --hours 0.05 --drop 0 --gap 0 --damage 0 --seed 3 --noise 1.5
set_section F -1.5
new_case two_channels_disabled "${clean[@]}" --seed 4
set_section D '4.74 0.0 5.57 6.02 0.0 7.09'
new_case default_sst_zero_no_aircraft_sst "${clean[@]}"
set_section E 0.0
raw 's/^\(%A\(,[^,]*\)\{8\}\),[^,]*/\1,999.00/'
# Storm legs with losses, a gap and damaged lines, and a banked turn of 40 s (BigRoll).
new_case storm_turn_losses_damage --no-land --hours 0.1 --start 20:00:00 --gap 15 --drop 0.05 --damage 0.01
raw '/^%A,[^,]*,20:01:[0-3]/s/^\(\([^,]*,\)\{7\}\)[^,]*/\125.00/'
new_case midnight_and_new_year --no-land --hours 0.02 --start 23:59:30 --date 31/12/2027

# ---- Damaged and missing records of each kind
new_case damaged_records "${clean[@]}"
raw '8s/27\.[0-9]*/99.5/; 13s/07\/12/32\/12/; 18s/,23:\([0-9]*\):/,25:\1:/; 23s/^\(\([^,]*,\)\{5\}\).*/\1/'
raw '28s/^\(\([^,]*,\)\{7\}\)[^,]*/\1x/; 33s/^\(\([^,]*,\)\{9\}\)[^,]*/\1450.0/; 38s/,07\/12\/2026,/,7\/12\/2026,/'
raw '9s/ [0-9]*$//; 14s/ [0-9]* / 50 /; 19s/%T/%T  7a5/'
raw '10s/,0\.[0-9]*,0,/,-1.0,0,/; 15s/,[0-9]*$//; 20s/0,0/0, 0/; 25s/,0\.[0-9]*,0,/,12.0,0,/'
raw '11s/%B,[0-9]/%B,7/; 16s/,40000,20000/,20000,20000/; 21s/,[0-9]*,40000/,2x0,40000/; 26s/%B,/%B/'
raw '40s/^%A/%a/; 45s/^%A/ %A/; 50i %X unknown record\n\n%B\n%A' \
  && raw '55s/$/                                                                         , 0 0 0 0 0 0 0 0 0 0 0 9/'
raw '60s/$/\r/; /^%A,[^,]*,23:10:12/s/23:10:12/23:09:30/; /^%A,[^,]*,23:10:1[4-5]/s/^\(\([^,]*,\)\{7\}\)[^,]*/\112.0/'
truncate -s -1 "$in/f.dat"  # the last line without its line feed
new_case missing_records "${clean[@]}" --seed 5
raw "3,40{/^%T/d}; 20,40{/^%A/d}; 45,52{/^%B/d}; 60,80{/^%R/d}; \$d"
new_case brightness_before_aircraft "${clean[@]}" --start 00:00:00
raw '3,12{/^%A/d}'

# ---- Console dialogue
new_case setup_lacks_sections "${clean[@]}"
drop_section D
drop_section E
drop_section F
answers f.setup '4.74 5.31 q' '4.74 5.31 5.57 6.02 6.69 7.09' 'x' '-20.0' '2,0' '2.0'
new_case manual_entry "${clean[@]}"
answers none.setup n y nothing.dat f.dat f.cal sst.bin '4.74 5.31 5.57 6.02 6.69 7.09' 0.0 -2.0
new_case setup_retry "${clean[@]}"
answers none.setup y f.setup
new_case quit_at_setup_prompt "${clean[@]}"
answers q
new_case quit_at_filter_prompt "${clean[@]}"
drop_section F
answers f.setup Q
new_case end_of_answers "${clean[@]}"
drop_section E
answers f.setup
new_case no_serial_record_continue "${clean[@]}"
raw '/^%P/d'
answers f.setup y 0 abc 17
new_case no_serial_record_stop "${clean[@]}"
raw '/^%P/d'
answers f.setup n

# ---- Calibration faults
new_case calibration_serial_missing "${clean[@]}"
sed -i 's/^US- 17/US- 71/' "$in/f.cal"
new_case calibration_bad_line "${clean[@]}"
sed -i '/^US- 17/{n;n;n;s/294\.0000/2g4.0/}' "$in/f.cal"
new_case calibration_short "${clean[@]}"
sed -i '/^US- 17/{n;n;n;n;q}' "$in/f.cal"

# ---- Output name collisions
new_case output_name_taken "${clean[@]}"
touch "$in/f.OUT" "$in/fa.OUT"
new_case output_names_exhausted "${clean[@]}"
for s in '' a b c d e f g h i j; do touch "$in/f$s.OUT"; done

# ---- SST grid and land mask faults
new_case sst_grid_short "${clean[@]}"
head -c 100000 "$work/sst.bin" > "$in/sst.bin"
new_case land_mask_bad_digit --hours 0.02 --drop 0 --gap 0 --damage 0
printf 'F00G\n' > "$in/mwir_land_z.txt"
new_case land_mask_missing --hours 0.02 --drop 0 --gap 0 --damage 0
echo none > "$dir/mask"
new_case land_mask_ends_early --hours 0.02 --drop 0 --gap 0 --damage 0
printf 'FFFF\n\n' > "$in/mwir_land_z.txt"

SFMR_GOLDEN=$mode build/sfmrbatch_tests --gtest_filter='Golden.*' --gtest_brief=1
du -sh tests/data/golden
