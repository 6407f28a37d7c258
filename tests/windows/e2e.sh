#!/usr/bin/env bash
# End-to-end tests of the Windows build, run under Wine: the command-line
# failures, a machine without a capture device, and capture runs through a
# private PipeWire server whose sink loops what pacat plays into it back to
# its source, so DirectSound records known samples in real time. Also paths
# that cannot hold a run, a stalled device, a frozen server, Ctrl-C in the
# middle of a run and of the longest capture, a second run on the input a run
# records from, and quorlix-probe.exe's refusals, file forms and a recording.
# Folders and files named in other scripts than the ANSI code page holds, on a
# console and through a pipe; files private to the user; a program that tries
# to open every raw file; a bare drive letter.
#
#   tests/windows/e2e.sh BUILD_DIR
#
# BUILD_DIR holds quorlix.exe, quorlix-probe.exe, quorlix-noise.exe and
# tests/windows/quorlix_windows_unit_tests.exe. WINEPREFIX must name a
# prepared prefix whose wineserver is running (scripts/test-windows sees to
# both). Both output streams of a Windows program end their lines with
# "\r\n", so every expected text below is written with them.
set -uo pipefail
shopt -s nullglob

if [[ $# -ne 1 || -z ${WINEPREFIX:-} ]]; then
  echo "usage: WINEPREFIX=... $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
exe=$build/quorlix.exe
probe_exe=$build/quorlix-probe.exe
noise_exe=$build/quorlix-noise.exe
# Its helper that opens every raw file it sees, as backup and sync tools do.
holder_exe=$build/tests/windows/quorlix_windows_unit_tests.exe
export WINEDEBUG=-all
# Wine hands arguments and file names over in the locale's character set.
export LC_ALL=C.UTF-8
# Named in Cyrillic and CJK, with a space: no ANSI code page holds them all.
scripts_name='ключи 鍵'

work=$(mktemp -d)
pulse=$work/pulse
server_pid=
holder_pid=
pulse_server=
pipewire_pid=
player_pid=
second_player_pid=
failures=0
checks=0

cleanup() {
  umount "$work/small" 2>/dev/null
  [[ -n $player_pid ]] && kill "$player_pid" 2>/dev/null
  [[ -n $second_player_pid ]] && kill "$second_player_pid" 2>/dev/null
  [[ -n $holder_pid ]] && kill -KILL "$holder_pid" 2>/dev/null
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ---------------------------------------------------------------- checks

check() {  # LABEL COMMAND...: one assertion; the label says what failed
  local label=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    failures=$((failures + 1))
    echo "FAIL: $case_name: $label" >&2
  fi
}

same_bytes() {  # FILE EXPECTED
  if ! cmp -s "$1" <(printf '%s' "$2"); then
    echo "  expected: $(printf '%s' "$2" | od -An -c | tr -s ' \n' ' ')" >&2
    echo "  actual:   $(od -An -c "$1" | tr -s ' \n' ' ')" >&2
    return 1
  fi
}

same_bytes_as_either() {  # FILE EXPECTED OTHER
  cmp -s "$1" <(printf '%s' "$2") || same_bytes "$1" "$3"
}

folder_empty() { [[ -z $(ls -A "$1") ]]; }
has_raw_file() { compgen -G "$folder/cap*" >/dev/null; }
equal() { [[ $1 == "$2" ]] || { echo "  expected '$2', got '$1'" >&2; return 1; }; }
matches() { [[ $1 == $2 ]] || { echo "  expected the form '$2', got '$1'" >&2; return 1; }; }

# ---------------------------------------------------------------- running the tool

windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

new_folder() {  # [NAME]: a fresh empty folder for one case; sets folder and wfolder
  folder=$(mktemp -d "$work/case.XXXXXX")
  if [[ $# -eq 1 ]]; then
    folder=$folder/$1
    mkdir "$folder"
  fi
  wfolder=$(windows_path "$folder")
}

# Neither the group nor others may write it, others may not read it, and
# nobody may run it.
private_mode() {
  local mode
  mode=$(stat -c %a "$1")
  (( (8#$mode & 8#137) == 0 )) || { echo "  mode $mode" >&2; return 1; }
}

strip_terminal_codes() { perl -pe 's/\e\[[0-9;?]*[A-Za-z]//g' "$1"; }

# Runs quorlix.exe with the given arguments; PULSE_SERVER says which sound
# server Wine's DirectSound reaches (none, or the private one).
run_tool() {
  wine "$exe" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

run_probe() {
  wine "$probe_exe" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

has_text() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1" >&2; return 1; }; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }
at_most() { (($1 <= $2)) || { echo "  $1, more than $2" >&2; return 1; }; }

# Waits up to SECONDS for the text to show in the file; 0 when it did.
wait_for_text() {  # FILE TEXT SECONDS
  local tries
  for tries in $(seq $(($3 * 50))); do
    grep -qF -- "$2" "$1" && return 0
    sleep 0.02
  done
  return 1
}

# Waits up to SECONDS for the process to end, then ends it; sets status, and
# ended to the time it was seen gone.
wait_ended() {  # PID SECONDS
  local tries
  for tries in $(seq $(($2 * 50))); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.02
  done
  ended=$(now_ms)
  kill -KILL "$1" 2>/dev/null
  wait "$1"
  status=$?
}

# A signal takes effect when the kernel next runs its target: waits until
# /proc shows the process stopped.
wait_stopped() {  # PID
  local tries stat
  for tries in $(seq 500); do
    stat=$(<"/proc/$1/stat")
    [[ ${stat##*) } == T* ]] && return 0
    sleep 0.02
  done
  return 1
}

no_sound_server() { export PULSE_SERVER=unix:$work/no-server; }
private_sound_server() { export PULSE_SERVER=$pulse_server; }

# ---------------------------------------------------------------- the private sound server

# The tests' own PipeWire server (tests/support/sound_server.sh) at 44100 Hz,
# so that no resampling stands between the samples played and those recorded;
# Wine's pulse driver reaches it through its pulse service.
start_sound_server() {
  mkdir -p "$pulse"
  bash "$(dirname "${BASH_SOURCE[0]}")/../support/sound_server.sh" "$pulse" 44100 \
    </dev/null >"$pulse.log" 2>&1 &
  server_pid=$!
  local tries
  for tries in $(seq 100); do
    if [[ -f $pulse/ready ]]; then
      pulse_server=$(sed -n 's/^PULSE_SERVER=//p' "$pulse/ready")
      pipewire_pid=$(sed -n 's/^pipewire_pid=//p' "$pulse/ready")
      return 0
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "The sound server did not start:" >&2
  cat "$pulse.log" >&2
  return 1
}

pulse_client() {
  HOME=$pulse/home XDG_RUNTIME_DIR=$pulse/runtime PULSE_SERVER=$pulse_server "$@"
}

# Plays a raw S16_LE stereo 44100 Hz file into the null sink, whose monitor
# loops into the default capture device. Real time: the file must outlast
# the run.
play() {
  # Started without a function or subshell in between, so that player_pid
  # is the player's own.
  HOME=$pulse/home XDG_RUNTIME_DIR=$pulse/runtime PULSE_SERVER=$pulse_server \
    pacat --playback --raw --format=s16le --rate=44100 --channels=2 -d quorlix-sink "$1" \
    </dev/null >/dev/null 2>&1 &
  player_pid=$!
  # Let the samples reach the sink before the capture starts.
  sleep 1
}

# Freezes the PipeWire daemon and waits until it is stopped; thawing waits
# until a client can record from the server again, which on a loaded machine
# takes a while after a long freeze.
freeze_server() {
  kill -STOP "$pipewire_pid"
  wait_stopped "$pipewire_pid"
}

thaw_server() {
  local tries recorded
  kill -CONT "$pipewire_pid"
  for tries in $(seq 40); do
    recorded=$(pulse_client timeout 5 parec --raw --format=s16le --rate=44100 --channels=2 \
      2>/dev/null | head -c 17640 | wc -c)
    ((recorded == 17640)) && return 0
    sleep 0.5
  done
  echo "The sound server did not recover from a freeze" >&2
  return 1
}

stop_playing() {
  kill "$player_pid" 2>/dev/null
  wait "$player_pid" 2>/dev/null
  player_pid=
}

# ---------------------------------------------------------------- command line, no sound card

usage_text=$'Usage:\r\n\r\n\tQUORLIX path inputFiles midFiles seconds [/LIST]\r\n'
no_device_text=$'Unable to create DirectSoundCapture8 interface\r\n'

no_sound_server
new_folder
# Each failure comes before any capture: status 1, nothing on the standard
# output stream, exactly one text on the error stream and no file made.
# Fields: case name | arguments (| separated by ';') | error stream
refusals=(
  "no arguments||$usage_text"
  "three arguments|$wfolder;1;1|$usage_text"
  "six arguments|$wfolder;1;1;1;/LIST;x|$usage_text"
  "missing word path|nowhere;1;1;1|Invalid path - nowhere"$'\r\n'
  "missing folder|$wfolder\\missing;1;1;1|Invalid path - $wfolder\\missing"$'\r\n'
  "missing folder in other scripts|$wfolder\\$scripts_name;1;1;1|Invalid path - $wfolder\\$scripts_name"$'\r\n'
  "inputFiles 0|$wfolder;0;1;1|InputFiles must be >= 1"$'\r\n'
  "inputFiles -3|$wfolder;-3;1;1|InputFiles must be >= 1"$'\r\n'
  "inputFiles abc|$wfolder;abc;1;1|InputFiles must be >= 1"$'\r\n'
  "inputFiles and midFiles bad|$wfolder;0;0;0|InputFiles must be >= 1"$'\r\n'
  "midFiles 0|$wfolder;1;0;1|MidFiles must be >= 1"$'\r\n'
  "seconds 0|$wfolder;1;1;0|Seconds must be >= 1"$'\r\n'
  "bad seconds hides the /LST warning|$wfolder;1;1;0;/LST|Seconds must be >= 1"$'\r\n'
  "no capture device|$wfolder;2;3;1|$no_device_text"
  "no capture device with /list|$wfolder;1;1;1;/list|$no_device_text"
  "/LST warns and goes on|$wfolder;1;1;1;/LST|Invalid argument - /LST"$'\r\n'"$no_device_text"
)
for entry in "${refusals[@]}"; do
  case_name=${entry%%|*}
  rest=${entry#*|}
  joined=${rest%%|*}
  expected_err=${rest#*|}
  args=()
  [[ -n $joined ]] && IFS=';' read -r -a args <<<"$joined"
  run_tool "${args[@]}"
  check "exit status" equal "$status" 1
  check "standard output" same_bytes "$work/out" ""
  check "error stream" same_bytes "$work/err" "$expected_err"
  check "no file made" folder_empty "$folder"
done

# On a console the same text is shown whole, whatever the console's code
# page: Wine gives a program started on a terminal a console that writes to
# that terminal.
case_name="missing folder in other scripts, on a console"
wmissing="$wfolder\\нет_鍵"
script -qec "wine '$exe' '$wmissing' 1 1 1" /dev/null </dev/null >"$work/tty" 2>&1
check "exit status" equal "$?" 1
check "name shown whole" has_text <(strip_terminal_codes "$work/tty") "Invalid path - $wmissing"

# quorlix-probe.exe: a bad argument, no capture device, the two file forms
# and a dead input, all before any sound server is there.
probe_usage=$'Usage:\r\n\r\n\tquorlix-probe [--json] [--device NAME] [seconds]\r\n'$'\tquorlix-probe [--json] --pcm FILE\r\n\tquorlix-probe [--json] --bits FILE\r\n'$'\tany of them followed by --plan inputFiles midFiles seconds\r\n\tquorlix-probe [--json] --list\r\n'
case_name="probe: bad argument"
run_probe --pcm
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" "$probe_usage"
# The probe adds DirectSound's own code: Wine, with no device at all, finds
# no default one to stand for.
case_name="probe: no capture device"
run_probe
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" \
  $'Unable to create DirectSoundCapture8 interface - DirectSound error 0x80070057 (DSERR_INVALIDPARAM)\r\n'


wine "$noise_exe" 11 30 "$(windows_path "$work/noise.raw")" >/dev/null 2>&1
mkdir "$work/$scripts_name"
head -c $((12 * 176400)) "$work/noise.raw" >"$work/$scripts_name/probe.pcm"
case_name="probe: --pcm with a cancelling plan, in a folder named in other scripts"
run_probe --pcm "$(windows_path "$work/$scripts_name/probe.pcm")" --plan 3 4 8
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" ""
check "samples" has_text "$work/out" "   samples                              529,200         529,200"
check "noise bits" has_text "$work/out" "1,058,400 bits"
check "plan" has_text "$work/out" "Plan 3 4 8: D = 6, 6 of 12 captures cancel"
check "verdict" has_text "$work/out" "Unfit: the plan 3 4 8 falls short of full entropy"
case_name="probe: --json --bits on a dead input"
head -c 20000 /dev/zero >"$work/zeros.bits"
run_probe --json --bits "$(windows_path "$work/zeros.bits")"
check "exit status" equal "$status" 1
check "bits" has_text "$work/out" '"bits": 160000'
check "estimators" has_text "$work/out" '"minEntropy": {"mostCommonValue": '
check "unfit" has_text "$work/err" 'Unfit: the noise bits failed the health tests'

# ---------------------------------------------------------------- runs through the sound server

start_sound_server || exit 1
private_sound_server

# In every frame the left sample keeps a 1 (bit 0 set, bit 8 clear) and the
# right one a 0 (both set), so a capture that starts on any frame and holds
# nothing but these samples gives raw bytes of 0x55; the one mid file comes
# out with odd bytes rotated by an odd amount, as 0xAA. Any silence, stale or
# shifted byte in what DirectSound handed over shows in the output.
case_name="every recorded sample reaches the output"
new_folder
perl -e 'print "\x01\x00\x01\x01" x (44100 * 12)' >"$work/alternating.raw"
play "$work/alternating.raw"
run_tool "$wfolder" 1 1 1
stop_playing
outputs=("$folder"/*)
check "exit status" equal "$status" 0
check "error stream" same_bytes "$work/err" ""
check "one output file" equal "${#outputs[@]}" 1
check "output bytes" cmp -s "${outputs[0]:-/dev/null}" <(perl -e 'print "\x55\xAA" x 5512, "\x55"')
mean_line=$'\tMean byte = 127.496\r\n'
check "mean line" same_bytes <(tail -c ${#mean_line} "$work/out") "$mean_line"

# The full 2 x 3 x 1 run on realistic line-in noise.
case_name="full run 2 x 3 x 1 in a folder named in other scripts"
new_folder "$scripts_name"
check "noise made" equal "$(stat -c %s "$work/noise.raw")" $((30 * 176400))
play "$work/noise.raw"
run_tool "$wfolder" 2 3 1
stop_playing
outputs=("$folder"/*)
check "exit status" equal "$status" 0
check "error stream" same_bytes "$work/err" ""
check "only the output file is left" equal "${#outputs[@]}" 1
output=${outputs[0]:-/dev/null}
output_name=${output##*/}
check "output prefix" equal "${output_name:0:3}" dat
check "output size" equal "$(stat -c %s "$output")" 11025
check "output private to the user" private_mode "$output"
# The mean in the stream's default form: six significant digits.
mean=$(od -An -v -tu1 "$output" | awk '{ for (i = 1; i <= NF; i++) { s += $i; n++ } }
                                        END { printf "%.6g", s / n }')
check "standard output" same_bytes "$work/out" \
  $'\tFiles to record = 6\r\n\tEstimated time = 0 minute(s)\r\n\tOutput file size = 11,025 bytes\r\n'$'Capturing...\r\n\t6 \r\t5 \r\t4 \r\t3 \r\t2 \r\t1 \rMerging input files...\r\n'$'Merging mid files...\r\n\t'"$wfolder\\$output_name"$'\r\nAnalysis...\r\n\tMean byte = '"$mean"$'\r\n'

# A path that cannot hold the run ends before the first capture. Nothing
# plays, so a capture recorded all the same would be silent and add the
# health test's warning before the failure.
case_name="path that is a plain file"
new_folder
printf 'stays' >"$folder/plain"
run_tool "$wfolder\\plain" 1 1 1
check "exit status" equal "$status" 1
check "standard output" same_bytes "$work/out" \
  $'\tFiles to record = 1\r\n\tEstimated time = 0 minute(s)\r\n\tOutput file size = 11,025 bytes\r\n'$'Capturing...\r\n\t1 \r'
check "error stream" same_bytes "$work/err" $'GetTempFileName failed\r\n'
check "the file stays as it was" equal "$(ls -A "$folder") $(<"$folder/plain")" "plain stays"

case_name="run too large for the free space"
small=$work/small
mkdir -p "$small"
# 20 pages, where a 2 x 3 x 1 run needs (6 + 3 + 1) x 11025 bytes.
if mount -t tmpfs -o size=81920,mode=0700 tmpfs "$small" 2>/dev/null; then
  run_tool "$(windows_path "$small")" 2 3 1
  check "nothing made" folder_empty "$small"
  check "exit status" equal "$status" 1
  check "standard output" same_bytes "$work/out" \
    $'\tFiles to record = 6\r\n\tEstimated time = 0 minute(s)\r\n\tOutput file size = 11,025 bytes\r\n'$'Capturing...\r\n\t6 \r'
  check "error stream" same_bytes "$work/err" \
    "Not enough free space for 110,250 bytes (81,920 free) - $(windows_path "$small")"$'\r\n'
else
  echo "skipped: $case_name (mounting a small file system needs root)"
fi

# A device that stops delivering: the PipeWire daemon frozen once the
# capture has begun. The run gives up ten seconds after the capture stopped
# moving, lets the device go within half a second, and leaves no file
# behind. The bound leaves room for a loaded machine, not for a release
# that waits on the server.
case_name="stalled device"
new_folder
wine "$exe" "$wfolder" 1 1 30 >"$work/out" 2>"$work/err" &
tool_pid=$!
wait_for_text "$work/out" $'\t1 \r' 10
sleep 0.5
kill -STOP "$pipewire_pid"
wait_for_text "$work/err" "Capture timed out" 30
shown=$(now_ms)
wait_ended "$tool_pid" 10
thaw_server
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" $'Capture timed out\r\n'
check "no file left" folder_empty "$folder"
check "gone soon after the text, ms" at_most $((ended - shown)) 2000

# The server frozen before the run: the open gives up after ten seconds. The
# bound leaves room for Wine's start on a loaded machine, not for the half
# minute the pulse client would wait.
case_name="server frozen before the run"
new_folder
freeze_server
started=$(now_ms)
run_tool "$wfolder" 1 1 1
ended=$(now_ms)
thaw_server
check "exit status" equal "$status" 1
check "standard output" same_bytes "$work/out" ""
check "error stream" same_bytes "$work/err" "$no_device_text"
check "no file left" folder_empty "$folder"
check "ended on time, ms" at_most $((ended - started)) 15000

# Ctrl-C while the open waits on the frozen server, once Wine's pulse driver
# is loaded (so the run's own handler is in place): "Interrupted" at once.
# Two of them, the second while the first one's teardown may still run: the
# process ends at once either way, by the first ("Interrupted") or by the
# second (Windows' exit code for Ctrl-C, 0xC000013A, of which a Linux parent
# sees the low byte, after the first one's text or none), with nothing left
# behind.
for interrupts in 1 2; do
  case_name="Ctrl-C x $interrupts while a frozen server holds the open"
  new_folder
  freeze_server
  wine "$exe" "$wfolder" 1 1 1 >"$work/out" 2>"$work/err" &
  tool_pid=$!
  for tries in $(seq 500); do
    grep -qs winepulse "/proc/$tool_pid/maps" && break
    sleep 0.02
  done
  sent=$(now_ms)
  kill -INT "$tool_pid"
  if ((interrupts == 2)); then
    sleep 0.02
    kill -INT "$tool_pid"
  fi
  wait_ended "$tool_pid" 10
  thaw_server
  if ((interrupts == 2 && status == 0xC000013A % 256)); then
    check "nothing but the first one's text" same_bytes_as_either "$work/err" "" $'Interrupted\r\n'
  else
    check "exit status" equal "$status" 1
    check "error stream" same_bytes "$work/err" $'Interrupted\r\n'
  fi
  check "no file left" folder_empty "$folder"
  check "ended at once, ms" at_most $((ended - sent)) 2000
done

# Ctrl-C once the first capture is recorded, as the second one begins: Wine
# turns SIGINT into the console's Ctrl-C event. The run ends through its
# teardown.
case_name="Ctrl-C during the captures"
new_folder
play "$work/noise.raw"
wine "$exe" "$wfolder" 5 5 1 >"$work/out" 2>"$work/err" &
tool_pid=$!
check "the second capture began" wait_for_text "$work/out" $'\t24 \r' 10
kill -INT "$tool_pid"
wait "$tool_pid"
status=$?
stop_playing
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" $'Interrupted\r\n'
check "no file left" folder_empty "$folder"

# One run per input: a second run on the device a run records from ends
# before it records, with its text and nothing left; the first run goes on
# recording until Ctrl-C ends it. A second run takes a second or two under
# Wine, far less than the first one's capture.
case_name="a second run on the same input"
new_folder
first_folder=$folder
wine "$exe" "$wfolder" 1 1 30 >"$work/first.out" 2>"$work/first.err" &
tool_pid=$!
wait_for_text "$work/first.out" $'\t1 \r' 20
new_folder
run_tool "$wfolder" 1 1 1
check "exit status" equal "$status" 1
check "standard output" same_bytes "$work/out" ""
check "error stream" same_bytes "$work/err" $'Another run is recording from this input\r\n'
check "no file left" folder_empty "$folder"
kill -INT "$tool_pid"
wait_ended "$tool_pid" 10
check "the first run was still recording" same_bytes "$work/first.err" $'Interrupted\r\n'
check "the first run left no file" folder_empty "$first_folder"

# The longest capture the command line takes streams through a small
# buffer: a few seconds in, the process holds a fraction of the 4.3 GB one
# buffer of the whole capture would need (the bits block fills 11 kB a
# second), and Ctrl-C ends it at once with nothing left.
case_name="Ctrl-C in the longest capture"
new_folder
wine "$exe" "$wfolder" 1 1 24347 >"$work/out" 2>"$work/err" &
tool_pid=$!
wait_for_text "$work/out" $'\t1 \r' 20
sleep 3
resident_kb=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$tool_pid/status")
sent=$(now_ms)
kill -INT "$tool_pid"
wait_ended "$tool_pid" 10
check "resident memory, kB" at_most "${resident_kb:-999999}" $((200 * 1024))
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" $'Interrupted\r\n'
check "no file left" folder_empty "$folder"
check "ended at once, ms" at_most $((ended - sent)) 2000

# A program that opens every new raw file for reading, as backup, sync and
# scanning tools do, is refused each one, so it can hold none past the run.
case_name="a program opens every raw file"
new_folder
play "$work/noise.raw"
QUORLIX_TEST_HOLD=$wfolder wine "$holder_exe" >"$work/holder" 2>&1 &
holder_pid=$!
for tries in $(seq 200); do
  grep -q watching "$work/holder" && break
  sleep 0.05
done
run_tool "$wfolder" 2 2 1
kill -KILL "$holder_pid"
wait "$holder_pid" 2>/dev/null
holder_pid=
outputs=("$folder"/*)
check "exit status" equal "$status" 0
check "error stream" same_bytes "$work/err" ""
check "only the output file is left" equal "${#outputs[@]}" 1
check "the helper tried the raw files" has_text "$work/holder" "refused cap"
check "the helper could open none" equal "$(grep -c '^held' "$work/holder")" 0

# A bare drive letter means that drive's current folder, not its root: from
# Q:\sub, Q: is Q:\sub.
case_name="a bare drive letter"
drive=$(mktemp -d "$work/drive.XXXXXX")
mkdir "$drive/sub"
ln -sfn "$drive" "$WINEPREFIX/dosdevices/q:"
wine cmd /c "cd /d Q:\\sub && $(windows_path "$exe") Q: 1 1 1" >"$work/out" 2>"$work/err"
status=$?
rm "$WINEPREFIX/dosdevices/q:"
stop_playing
outputs=("$drive"/sub/*)
output=${outputs[0]:-/none}
check "exit status" equal "$status" 0
check "error stream" same_bytes "$work/err" ""
check "nothing in the drive's root" equal "$(ls "$drive")" sub
check "one output file in its current folder" equal "${#outputs[@]}" 1
check "name shown whole" has_text "$work/out" $'\tQ:\\sub\\'"${output##*/}"$'\r'

# quorlix-probe.exe records through the same DirectSound code: 2 s of the
# noise, with the warning that 176,400 bits are fewer than the assessment
# wants, which makes the input unfit.
case_name="probe: recording"
play "$work/noise.raw"
run_probe 2
stop_playing
check "exit status" equal "$status" 1
check "error stream" same_bytes "$work/err" ""
# The report names the device DirectSound stands for as the default.
check "source" matches "$(head -n 1 "$work/out")" \
  $'quorlix-probe: 2 s recorded from the default capture device, "*" {*}\r'
check "noise bits" has_text "$work/out" "176,400 bits"
check "few bits" has_text "$work/out" "Warning: only 176,400 bits"
check "verdict" has_text "$work/out" "Unfit: only 176,400 noise bits to assess"

# Two inputs: a second loopback, whose source is "Second input" and whose
# sink "QUORLIX feed two" gets other samples than the first: in every frame
# the left sample keeps a 0 and the right one a 1, so the raw bytes are
# 0xAA and the output of one capture alternates 0xAA, 0x55. Last, as the
# session manager may make the new source the default.
case_name="two inputs"
pulse_client setpriv --pdeathsig KILL pw-loopback -n quorlix-second \
  --capture-props='media.class=Audio/Sink node.name=quorlix-second-sink node.description="QUORLIX feed two"' \
  --playback-props='media.class=Audio/Source node.name=quorlix-second-source node.description="Second input"' \
  </dev/null >/dev/null 2>&1 &
loopback_pid=$!
perl -e 'print "\x01\x01\x01\x00" x (44100 * 30)' >"$work/second.raw"
within_20_s() {  # COMMAND...: polls COMMAND until it succeeds, for at most 20 s
  local end=$((SECONDS + 20))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}
# A player started before its sink exists would play into another one.
second_sink_exists() { pulse_client pactl list short sinks | grep -q quorlix-second-sink; }
check "second loopback made" within_20_s second_sink_exists
pulse_client pacat --playback --raw --format=s16le --rate=44100 --channels=2 \
  -d quorlix-second-sink "$work/second.raw" </dev/null >/dev/null 2>&1 &
second_player_pid=$!
play "$work/alternating.raw"
second_source_has_samples() {
  local bytes
  bytes=$(pulse_client timeout 5 parec --raw --format=s16le --rate=44100 --channels=2 \
    --device=quorlix-second-source 2>/dev/null | head -c 17640 | od -An -v -tx1) || true
  [[ $bytes =~ [1-9a-f] ]]
}
check "second source has samples" within_20_s second_source_has_samples
run_probe --list
check "list: exit status" equal "$status" 0
check "list: first input" grep -qzP '(^|\n)[ *] \{[0-9A-F-]{36}\}\r\n      QUORLIX test noise\r\n' "$work/out"
check "list: second input" grep -qzP '(^|\n)[ *] \{[0-9A-F-]{36}\}\r\n      Second input\r\n' "$work/out"
second_guid=$(grep -B1 '^      Second input' "$work/out" | head -n 1 | tr -d ' *{}\r')

new_folder
QUORLIX_DEVICE="cond INP" run_tool "$wfolder" 1 1 1
outputs=("$folder"/*)
check "part of a description: exit status" equal "$status" 0
check "part of a description: error stream" same_bytes "$work/err" ""
check "part of a description: output bytes" \
  cmp -s "${outputs[0]:-/dev/null}" <(perl -e 'print "\xAA\x55" x 5512, "\xAA"')

# The GUID in any case, without its braces, chooses the same device. Its
# fixed pattern is no noise: the probe records it and calls it unfit.
QUORLIX_DEVICE=${second_guid,,} run_probe 1
check "GUID: a whole recording" has_text "$work/out" "88,200 bits"
check "GUID: report names the device" equal "$(head -n 1 "$work/out")" \
  "quorlix-probe: 1 s recorded from capture device \"Second input\" {$second_guid}"$'\r'

# "quorlix" is part of three descriptions; "nothing" of none.
new_folder
QUORLIX_DEVICE=quorlix run_tool "$wfolder" 1 1 1
check "ambiguous: exit status" equal "$status" 1
check "ambiguous: lists every match" matches "$(<"$work/err")" \
  $'Ambiguous capture device - quorlix matches "*" {*}, "*" {*}, "*" {*}\r'
QUORLIX_DEVICE=nothing run_tool "$wfolder" 1 1 1
check "unknown: exit status" equal "$status" 1
check "unknown: standard output" same_bytes "$work/out" ""
check "unknown: error stream" same_bytes "$work/err" $'Unknown capture device - nothing\r\n'
check "unknown: no file made" folder_empty "$folder"
stop_playing
kill "$second_player_pid" "$loopback_pid" 2>/dev/null
wait "$second_player_pid" "$loopback_pid" 2>/dev/null
second_player_pid=

echo "Windows end-to-end: $checks checks, $failures failed"
[[ $failures -eq 0 ]]
