#!/usr/bin/env bash
# The demonstration: builds quorsdf-tool and quorsim, starts two simulated
# device hosts on loopback sharing one key store, and drives them with the
# tool, including a host killed and restarted while a benchmark runs.
# Every figure printed is measured during this run. Everything started here
# is stopped on exit.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh
echo "== building (preset default: quorsdf-tool and quorsim)"
cmake --preset default >/dev/null
cmake --build --preset default --target quorsdf-tool quorsim

tool=$repo/build/default/tools/quorsdf-tool
sim=$repo/build/default/simulator/quorsim
work=$(mktemp -d /tmp/quorsdf-demo.XXXXXX)
declare -A pid=() port=() control=()

cleanup() {
  local p
  for p in "${pid[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pid[@]}"; do wait "$p" 2>/dev/null || true; done
  [ -n "${bench_pid:-}" ] && { kill "$bench_pid" 2>/dev/null || true; wait "$bench_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }
run() { printf '$ %s\n' "$*"; "$@"; }

# start_host N [PORT]: quorsim serve on 127.0.0.1 (port 0 picks a free one);
# the ports are read from its first two lines of output.
start_host() {
  local n=$1 listen=${2:-0} out=$work/host$1.out
  "$sim" serve --store "$work/store" --listen "127.0.0.1:$listen" >"$out" 2>"$work/host$n.err" &
  pid[$n]=$!
  for _ in $(seq 100); do
    [ "$(grep -c . "$out" 2>/dev/null)" -ge 2 ] && break
    sleep 0.05
  done
  port[$n]=$(sed -n 's/^listening 127.0.0.1:\([0-9]*\)$/\1/p' "$out")
  control[$n]=$(sed -n 's/^control 127.0.0.1:\([0-9]*\)$/\1/p' "$out")
  if [ -z "${port[$n]}" ] || [ -z "${control[$n]}" ]; then
    echo "host $n did not start:"; cat "$work/host$n.err"; exit 1
  fi
  echo "host $n: quorsim pid ${pid[$n]}, requests on 127.0.0.1:${port[$n]}, control on 127.0.0.1:${control[$n]}"
}

# answers N: the number of answers host N has sent since it started ("-" when it does not answer).
answers() {
  local line count=-
  if { exec 3<>"/dev/tcp/127.0.0.1/${control[$1]}"; } 2>/dev/null; then
    echo stats >&3
    while read -r -t 2 line <&3; do
      case $line in answers\ *) count=${line#answers } ;; ok | error*) break ;; esac
    done
    exec 3<&- 3>&-
  fi
  echo "$count"
}

step "a key store with two keys, shared by both hosts (like the members of a device cluster)"
run "$sim" init --store "$work/store"
run "$sim" key add --store "$work/store" --slot 1 --type sm4 --label demo-sm4
run "$sim" key add --store "$work/store" --slot 2 --type aes256 --label demo-aes
run "$sim" key list --store "$work/store"

step "two simulated device hosts on loopback"
start_host 1
start_host 2
cat >"$work/quorConfig.ini" <<EOF
[Logger]
path = $work/quor.log
level = 3

[Global]
mechanism = 1
allHostAliveStart = 1

[Host 1]
model = quorsim
ip = 127.0.0.1
port = ${port[1]}
timeout = 2
minConn = 2
maxConn = 16

[Host 2]
model = quorsim
ip = 127.0.0.1
port = ${port[2]}
timeout = 2
minConn = 2
maxConn = 16
EOF
export QUOR_PRYMX_CFG_PATH=$work
echo "configuration written to $work/quorConfig.ini (found through QUOR_PRYMX_CFG_PATH)"

step "device information"
run "$tool" info

step "each host: state and the round trip of one command"
run "$tool" check

step "32 random bytes from the device"
run "$tool" random 32

step "SM3 digest by the device, compared with OpenSSL's"
printf 'The quick brown fox jumps over the lazy dog\n%.0s' $(seq 1000) >"$work/message.txt"
echo "message: $(wc -c <"$work/message.txt") bytes"
device_digest=$("$tool" hash --alg sm3 "$work/message.txt" | cut -d' ' -f1)
openssl_digest=$(openssl dgst -sm3 -r "$work/message.txt" | cut -d' ' -f1)
echo "device:  $device_digest"
echo "openssl: $openssl_digest"
[ "$device_digest" = "$openssl_digest" ] && echo "the digests are equal" || { echo "THE DIGESTS DIFFER"; exit 1; }

step "SM4-CBC round trip with a plain key imported for the call (SDF_ImportKey)"
"$tool" random 16 >"$work/sm4.key"
iv=$("$tool" random 16)
echo "key (random, from the device): $(cat "$work/sm4.key")"
echo "iv:                            $iv"
echo "Attack at dawn." >"$work/plain.txt"
run "$tool" encrypt --alg sm4-cbc --key-hex-file "$work/sm4.key" --iv "$iv" --in "$work/plain.txt" --out "$work/cipher.bin"
echo "cipher text: $(od -An -tx1 -v "$work/cipher.bin" | tr -d ' \n')"
if openssl enc -sm4-cbc -K "$(cat "$work/sm4.key")" -iv "$iv" -in "$work/plain.txt" -out "$work/cipher.openssl" 2>/dev/null; then
  cmp -s "$work/cipher.bin" "$work/cipher.openssl" && echo "equal to openssl enc -sm4-cbc" || { echo "DIFFERS from openssl enc -sm4-cbc"; exit 1; }
fi
run "$tool" decrypt --alg sm4-cbc --key-hex-file "$work/sm4.key" --iv "$iv" --in "$work/cipher.bin" --out "$work/back.txt"
echo "decrypted: $(cat "$work/back.txt")"
cmp -s "$work/plain.txt" "$work/back.txt" && echo "the round trip restores the text" || { echo "ROUND TRIP FAILED"; exit 1; }

step "a key kept in device slot 1: encrypted by one process, decrypted by another"
echo "Meet at the usual place." | "$tool" encrypt --alg sm4-cbc --slot 1 --iv "$iv" --out "$work/slot.bin"
echo "cipher text: $(od -An -tx1 -v "$work/slot.bin" | tr -d ' \n')"
run "$tool" decrypt --alg sm4-cbc --slot 1 --iv "$iv" --in "$work/slot.bin"
echo "an empty slot is reported by name:"
"$tool" encrypt --alg sm4-cbc --slot 9 --iv "$iv" --in "$work/plain.txt" --out /dev/null || echo "(exit status $?)"

step "failover: host 2 is killed while a benchmark runs, then restarted on the same port"
seconds=12
bench_out=$work/bench.out
"$tool" bench random 32 --threads 4 --seconds $seconds >"$bench_out" 2>"$work/bench.progress" &
bench_pid=$!
declare -A last=([1]=$(answers 1) [2]=$(answers 2))
printf '%4s  %-24s %-24s %s\n' "time" "host 1 answers/s" "host 2 answers/s" "event"
for t in $(seq 1 $((seconds - 1))); do
  sleep 1
  event=""
  if [ "$t" -eq 4 ]; then kill -9 "${pid[2]}"; wait "${pid[2]}" 2>/dev/null || true; event="host 2 killed (SIGKILL)"; fi
  if [ "$t" -eq 8 ]; then start_host 2 "${port[2]}" >/dev/null; last[2]=$(answers 2); event="host 2 restarted on port ${port[2]}"; fi
  row=()
  for n in 1 2; do
    now=$(answers "$n")
    if [ "$now" = - ]; then row+=("down"); else
      [ "${last[$n]}" = - ] && last[$n]=0
      row+=("$((now - last[$n]))"); last[$n]=$now
    fi
  done
  printf '%3ss  %-24s %-24s %s\n' "$t" "${row[0]}" "${row[1]}" "$event"
done
bench_status=0
wait "$bench_pid" || bench_status=$?
bench_pid=
echo "bench progress (stderr of the tool):"
sed 's/^/  /' "$work/bench.progress"
echo "bench result (exit status $bench_status):"
sed 's/^/  /' "$bench_out"
echo "(answers/s include the hosts' liveness probes, about one a second per host)"

step "both hosts again"
run "$tool" check

echo
echo "demo finished; stopping the hosts"
