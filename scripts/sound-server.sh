#!/usr/bin/env bash
# A sound server of its own (PulseAudio) whose only output is a null sink
# named kibu: what plays into it is recorded from kibu.monitor.
#   scripts/sound-server.sh start RUN_DIR   prints the PULSE_SERVER address
#   scripts/sound-server.sh stop RUN_DIR
# Its configuration, socket, pid and log live in RUN_DIR, a temporary folder
# of the caller.
set -euo pipefail
run=$(cd "$2" && pwd)
if [ "$1" = stop ]; then
  server=$(cat "$run/pid" 2>/dev/null) && kill "$server" 2>/dev/null || exit 0
  # Until it has ended (or only waits to be reaped), its files in RUN_DIR go.
  for _ in $(seq 50); do
    case "$(ps -o stat= -p "$server")" in "" | Z*) exit 0 ;; esac
    sleep 0.1
  done
  exit 0
fi
cat >"$run/default.pa" <<PA
load-module module-null-sink sink_name=kibu
load-module module-native-protocol-unix socket=$run/native auth-anonymous=1
set-default-sink kibu
PA
HOME="$run" XDG_RUNTIME_DIR="$run" pulseaudio -n -F "$run/default.pa" --daemonize=no \
  --exit-idle-time=-1 --use-pid-file=no </dev/null >"$run/log" 2>&1 &
echo $! >"$run/pid"
export PULSE_SERVER="unix:$run/native"
for _ in $(seq 50); do
  pactl info >/dev/null 2>&1 && echo "$PULSE_SERVER" && exit 0
  sleep 0.1
done
echo "The sound server did not start: $(cat "$run/log")" >&2
exit 1
