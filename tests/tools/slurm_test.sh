#!/usr/bin/env bash
# The campaign on a real one-node Slurm cluster brought up on this machine: munged, slurmctld and slurmd on
# localhost with a minimal slurm.conf in a scratch directory (own key, socket, ports, state), all started
# here and stopped on exit. Five flights, one of them with a broken calibration file, two flights per array
# task: the array is submitted with --submit, waited for, and every flight's result and the report checked.
#   slurm_test.sh SFMRCAMPAIGN SFMRSIM
# Exit status 77 (skipped) when Slurm or munge is not installed, or not as root.
set -euo pipefail
campaign=$(readlink -f "$1")
sim=$(readlink -f "$2")

skip() {
  echo "SKIP: $1"
  exit 77
}
for program in munged slurmctld slurmd sbatch squeue scontrol; do
  command -v "$program" >/dev/null 2>&1 || skip "$program not installed (Debian: slurm-wlm munge)"
done
[ "$(id -u)" -eq 0 ] || skip "the test cluster's daemons run as root"

work=$(mktemp -d "${TMPDIR:-/tmp}/slurm-test-XXXXXX")
chmod 755 "$work"
stop() {
  local pidfile
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
    if [ -s "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null || true; fi
  done
  sleep 0.5
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/munged.pid"; do
    if [ -s "$pidfile" ]; then kill -9 "$(cat "$pidfile")" 2>/dev/null || true; fi
  done
  rm -rf "$work"
}
trap stop EXIT
fail() {
  echo "FAIL: $1" >&2
  for log in "$work"/log/*.log; do [ -f "$log" ] && tail -n 5 "$log" >&2; done
  exit 1
}
cd "$work"

# The cluster. Ports from the process id, so that two runs on one machine do not meet.
mkdir -p munge spool state log
chmod 700 munge
head -c 1024 /dev/urandom > munge/munge.key
chmod 400 munge/munge.key
munged --key-file="$work/munge/munge.key" --socket="$work/munge/munge.socket" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/log/munged.log" --seed-file="$work/munge/seed" --force
host=$(hostname -s)
port=$((20000 + ($$ % 5000) * 2))
cat > slurm.conf <<CONF
ClusterName=sfmrtest
SlurmctldHost=$host
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
AuthInfo=socket=$work/munge/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
ReturnToService=2
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
MaxArraySize=1001
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$work/slurm.conf"
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
for _ in $(seq 60); do
  sinfo -h -o %T 2>/dev/null | grep -q idle && break
  sleep 0.5
done
sinfo -h -o %T | grep -q idle || fail "the node did not come up"

# The campaign: four good flights and one with a broken calibration file.
"$sim" grid sst.bin
for seed in 1 2 3 4; do
  "$sim" flight flights --name "f$seed" --seed "$seed" --hours 0.05 --no-land > /dev/null
done
echo "US-  17  (damaged block)" > flights/broken.cal
freqs="4.74,5.31,5.57,6.02,6.69,7.09"
{
  echo "name,raw,cal,sst,f1,f2,f3,f4,f5,f6,default_sst,filter"
  echo "f1,flights/f1.dat,flights/f1.cal,sst.bin,$freqs,-20.0,2.0"
  echo "f2,flights/f2.dat,flights/f2.cal,aircraft,$freqs,20.0,2.0"
  echo "bad,flights/f3.dat,flights/broken.cal,sst.bin,$freqs,-20.0,2.0"
  echo "f3,flights/f3.dat,flights/f3.cal,sst.bin,$freqs,-20.0,2.0"
  echo "f4,flights/f4.dat,flights/f4.cal,sst.bin,$freqs,-20.0,2.0"
} > manifest.csv
"$campaign" manifest.csv out --slurm --per-task 2 --submit > submit.txt 2>&1 || fail "submit: $(cat submit.txt)"
grep -q "^#SBATCH --array=1-3$" out/campaign.slurm || fail "array of 3 tasks: $(grep array out/campaign.slurm)"
job=$(sed -n 's/^Submitted job array \([0-9][0-9]*\);.*/\1/p' submit.txt)
[ -n "$job" ] || fail "no job id printed: $(cat submit.txt)"
for _ in $(seq 120); do
  [ -z "$(squeue -h -j "$job" 2>/dev/null)" ] && break
  sleep 0.5
done
[ -z "$(squeue -h -j "$job" 2>/dev/null)" ] || fail "job $job still queued or running"
logs=$(find out -maxdepth 1 -name "slurm-${job}_*.log" | wc -l)
[ "$logs" -eq 3 ] || fail "$logs task logs, want 3"

status=0
"$campaign" manifest.csv out --report > report.txt 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "report: status $status, want 1 (one flight failed): $(cat report.txt)"
for f in f1 f2 f3 f4; do
  grep -q "^state=done$" "out/$f/result.txt" || fail "$f not done: $(cat "out/$f/result.txt" 2>/dev/null)"
  grep -q "^$f,done," out/campaign.csv || fail "$f not done in the report"
done
grep -q "^bad,failed,1,sfmrbatch,sfmrbatch: Unexpected EOF in Cal file," out/campaign.csv ||
  fail "the broken flight: $(grep '^bad,' out/campaign.csv)"
grep -q "5 flights: 4 done, 1 failed, 0 not processed" report.txt || fail "report: $(cat report.txt)"
echo "Slurm test passed (job $job)"
