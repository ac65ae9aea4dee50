#!/usr/bin/env bash
# How long does velmora-cli take on a big file, and how much of it does it scramble? Makes a file of
# about SIZE_MIB of each kind that gets a different head (MKV: the setting's blocks; AVI: a longer
# head; MPEG-TS and MPEG-PS: a longer head, or the whole file with --whole-streams) by repeating a
# short clip, then times encrypting and restoring a copy, with a cold cache (dropped before each
# run) and a warm one (the file read just before), with the default settings and with
# --whole-streams. velmora-cli does not wait for the videos it wrote to reach the disk (its journal
# can undo an unfinished toggle), so the cold runs also time the sync right after. Checks the blocks
# the trailer records against the file and that every restore gives the file back byte for byte,
# and prints a Markdown table of the median of RUNS runs.
#
# Usage: scripts/measure-toggle-time.sh [WORK_DIR]
#   VELMORA_CLI=path/to/velmora-cli  the program to measure (default: built into build/release)
#   SIZE_MIB=1024                    size of each file
#   KINDS="mkv avi ts mpg"           only these kinds (the ids in the list below)
#   KEY=...                          time it with this key (default: without a key)
#   RUNS=3                           runs of each measurement; the table shows their median
# Dropping the page cache needs root (sudo otherwise). Installs Debian's ffmpeg when it is missing:
# a tool for a developer's machine, never run in CI. Needs SIZE_MIB for each kind in WORK_DIR
# (default: a temp folder) and as much again for the copy in hand. The files made are kept there for
# another run: delete WORK_DIR afterwards.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/measure-common.sh"

need=()
command -v ffmpeg >/dev/null || need+=(ffmpeg)
install_packages "${need[@]}"
find_cli

work_folder "${1:-}" files

readonly size_mib=${SIZE_MIB:-1024} kinds=${KINDS:-mkv avi ts mpg} key=${KEY:-} runs=${RUNS:-3}
readonly block=524288
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)

# id | label | file name | how to make a 60 s clip (ffmpeg output options) | container to repeat it in
readonly source_in=(-f lavfi -i "testsrc2=size=1280x720:rate=25:duration=60" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=60")
# Noise keeps the encoders at their bitrate, as in measure-players.sh: fewer repeats to reach the size.
readonly picture=(-vf "noise=alls=12:allf=t" -pix_fmt yuv420p -g 50 -ac 2)
kinds_list=(
  "mkv|MKV (H.264, AAC)|big.mkv|-c:v libx264 -preset veryfast -b:v 12M -maxrate 12M -bufsize 12M -c:a aac -b:a 128k|matroska"
  "avi|AVI (MPEG-4 Visual, MP3)|big.avi|-c:v mpeg4 -vtag xvid -b:v 12M -maxrate 12M -bufsize 12M -c:a libmp3lame -b:a 128k|avi"
  "ts|MPEG-TS (H.264, AAC)|big.ts|-c:v libx264 -preset veryfast -b:v 12M -maxrate 12M -bufsize 12M -c:a aac -b:a 128k|mpegts"
  "mpg|MPEG-PS (MPEG-2, MP2)|big.mpg|-c:v mpeg2video -b:v 12M -maxrate 12M -bufsize 8M -c:a mp2 -b:a 192k|vob"
)

# One 60 s clip, repeated by stream copy until the file reaches the size: quick, and each container
# writes its own headers, index and timestamps for the whole length.
make_file() {  # options container output
  local clip=$work/files/clip-${3##*/}
  # shellcheck disable=SC2086  # the options are words on purpose
  ffmpeg -nostdin -v error -y -threads 2 "${source_in[@]}" "${picture[@]}" $1 -threads 2 -f "$2" "$clip"
  ffmpeg -nostdin -v error -y -stream_loop -1 -i "$clip" -map 0 -c copy -fs $((size_mib * 1048576)) -f "$2" "$3"
  rm -f "$clip"
}

drop_cache() {
  sync
  echo 3 | "${sudo[@]}" tee /proc/sys/vm/drop_caches >/dev/null
}

seconds_since() {  # start in ns (date +%s%N)
  awk -v n=$(($(date +%s%N) - $1)) 'BEGIN { printf "%.2f", n / 1e9 }'
}

# Seconds one toggle of $1 takes, wall clock; velmora-cli must report the file toggled.
timed_toggle() {  # file [option...]
  local file=$1 start
  shift
  start=$(date +%s%N)
  "$cli" "$@" -- "$file" >"$work/cli.out" 2>&1 || { cat "$work/cli.out" >&2; exit 1; }
  seconds_since "$start"
  grep -q '^Failed: 0' "$work/cli.out" || { cat "$work/cli.out" >&2; exit 1; }
}

timed_sync() {
  local start
  start=$(date +%s%N)
  sync
  seconds_since "$start"
}

median() {  # seconds...
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The trailer's count must be what changed: the last block it names differs, the rest does not.
# A count beyond the file's whole blocks (a longer head than a small file has) means all of them.
# Prints the blocks scrambled.
check_scrambled() {  # scrambled original label
  local size blocks head
  size=$(stat -c %s "$2")
  blocks=$(trailer_blocks "$1")
  [ "$blocks" -gt $((size / block)) ] && blocks=$((size / block))
  head=$((blocks * block))
  if cmp -s -i $((head - 1)) -n 1 "$1" "$2" || ! cmp -s -i "$head" -n $((size - head)) "$1" "$2"; then
    echo "$3: the trailer says $blocks blocks, the changed bytes do not match" >&2
    exit 1
  fi
  echo "$blocks"
}

identical=yes
restored() {  # copy original label: notes a restore that is not byte for byte
  cmp -s "$1" "$2" && return
  echo "$3: not restored byte for byte" >&2
  identical=no
  cp "$2" "$1"
}

rows=()
for entry in "${kinds_list[@]}"; do
  IFS='|' read -r id label file options container <<<"$entry"
  [[ " $kinds " == *" $id "* ]] || continue
  original=$work/files/$file
  if [ ! -s "$original" ]; then
    echo "== making $label, $size_mib MiB" >&2
    make_file "$options" "$container" "$original"
  fi
  copy=$work/copy.${file##*.}
  for mode in default whole; do
    args=()
    [ -n "$key" ] && args+=(--key "$key")
    [ "$mode" = whole ] && args+=(--whole-streams)
    echo "== $label, $mode" >&2
    rm -f "$copy"
    cp "$original" "$copy"
    enc_cold=() enc_sync=() res_cold=() res_sync=() enc_warm=() res_warm=()
    for _ in $(seq "$runs"); do
      # Cold: nothing of the file in memory, as when a folder of recordings is toggled once.
      drop_cache
      enc_cold+=("$(timed_toggle "$copy" "${args[@]}")")
      enc_sync+=("$(timed_sync)")
      blocks=$(check_scrambled "$copy" "$original" "$label ($mode)")
      drop_cache
      res_cold+=("$(timed_toggle "$copy" "${args[@]}")")
      res_sync+=("$(timed_sync)")
      restored "$copy" "$original" "$label ($mode, cold)"
    done
    for _ in $(seq "$runs"); do
      # Warm: the whole file read just before, as right after copying or playing it.
      cat "$copy" >/dev/null
      enc_warm+=("$(timed_toggle "$copy" "${args[@]}")")
      res_warm+=("$(timed_toggle "$copy" "${args[@]}")")
      restored "$copy" "$original" "$label ($mode, warm)"
    done
    cells="$(median "${enc_cold[@]}") | $(median "${enc_sync[@]}") | $(median "${res_cold[@]}") |\
 $(median "${res_sync[@]}") | $(median "${enc_warm[@]}") | $(median "${res_warm[@]}")"
    echo "   $blocks blocks: $cells" >&2
    size=$(stat -c %s "$original")
    rows+=("| $label | $((size / 1048576)) | $mode | $blocks | $(awk -v b="$blocks" 'BEGIN { printf "%.1f", b / 2 }') | $cells |")
  done
  rm -f "$copy"
done

cat <<EOF
Measured $(date -u +%Y-%m-%d) with velmora-cli $("$cli" --version 2>&1 | head -n 1), $(nproc) cores, $(df -P "$work" |
  awk 'NR == 2 { print $1 }') under $work. Seconds, wall clock, the median of $runs runs; cold: the
page cache dropped just before; warm: the file read just before; "sync": the sync right after,
until what velmora-cli wrote is on the disk. "whole": with --whole-streams.
$([ -n "$key" ] && echo "With a key." || echo "Without a key.") Restored byte for byte every time: $identical.

| file | MiB | settings | blocks scrambled | MiB scrambled | encrypt, cold | sync | restore, cold | sync | encrypt, warm | restore, warm |
|---|---|---|---|---|---|---|---|---|---|---|
EOF
printf '%s\n' "${rows[@]}"
[ "$identical" = yes ]
