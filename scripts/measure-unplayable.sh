#!/usr/bin/env bash
# How unplayable is "unplayable"? Makes a short, high-bitrate test video in each container of the default
# extension list that ffmpeg can write, scrambles it with velmora-cli, and counts the video frames that
# ffmpeg still decodes: with its own format detection, and with the right demuxer forced. Formats that
# still play are scrambled again with more blocks, to find how many it takes. Prints Markdown tables.
#
# Usage: scripts/measure-unplayable.sh [WORK_DIR]
#   VELMORA_CLI=path/to/velmora-cli  the program to measure (default: built into build/release)
# Installs Debian's ffmpeg when it is missing. Needs about 1 GiB in WORK_DIR (default: a temp folder).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

source "$repo/scripts/measure-common.sh"
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then install_packages ffmpeg; fi
find_cli

work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
# velmora-cli reads the user's settings and writes a log: keep both out of the user's own folder.
export XDG_DATA_HOME=$work/data
mkdir -p "$XDG_DATA_HOME"

readonly block=524288
readonly seconds=10 rate=25 gop=50
source_video="testsrc2=size=1280x720:rate=$rate:duration=$seconds"
# Temporal noise keeps the encoders from squeezing the picture, so the files reach 20-40 MiB.
common=(-f lavfi -i "$source_video" -vf "noise=alls=24:allf=t" -pix_fmt yuv420p -g "$gop" -an)
x264=(-c:v libx264 -preset veryfast -b:v 24M -maxrate 24M -bufsize 24M)

# label | file extension | demuxer to force | encoder and muxer options
formats=(
  "MP4|mp4|mov|${x264[*]}"
  "MP4, index first (+faststart)|mp4|mov|${x264[*]} -movflags +faststart"
  "MOV|mov|mov|${x264[*]}"
  "MKV|mkv|matroska|${x264[*]}"
  "AVI (MPEG-4 Visual, Xvid)|avi|avi|-c:v mpeg4 -vtag xvid -b:v 24M -maxrate 24M -bufsize 24M"
  "FLV|flv|flv|${x264[*]}"
  "WMV / ASF (WMV 8)|wmv|asf|-c:v wmv2 -b:v 24M"
  "OGV (Theora)|ogv|ogg|-c:v libtheora -b:v 24M"
  "MPEG-TS .ts (H.264)|ts|mpegts|${x264[*]}"
  "MPEG-PS .mpg (MPEG-1)|mpg|mpeg|-c:v mpeg1video -b:v 24M -maxrate 24M -bufsize 8M -f mpeg"
  "MPEG-PS .vob (MPEG-2)|vob|mpeg|-c:v mpeg2video -b:v 24M -maxrate 24M -bufsize 8M -f vob"
  "3GP|3gp|mov|${x264[*]} -profile:v baseline"
)

# One MD5 per decoded video frame; nothing when ffmpeg finds no video. $2 forces a demuxer.
frame_hashes() {
  local forced=()
  [ -n "${2:-}" ] && forced=(-f "$2")
  { timeout 300 ffmpeg -nostdin -v quiet "${forced[@]}" -i "$1" -map 0:v:0 -f framemd5 - 2>/dev/null || true; } |
    awk '!/^#/ { print $NF }'
}

detected_format() {
  timeout 60 ffprobe -v quiet -show_entries format=format_name -of default=nw=1:nk=1 "$1" 2>/dev/null || true
}

# "decoded (intact)": frames ffmpeg returns, and how many of them equal a frame of the original.
count_frames() {
  local hashes
  hashes=$(frame_hashes "$1" "${2:-}")
  if [ -z "$hashes" ]; then
    echo "0"
  else
    echo "$(wc -l <<<"$hashes") ($(grep -cxFf "$3" <<<"$hashes" || true))"
  fi
}

toggle() {  # file [blocks]: velmora-cli must report the file toggled and nothing failed
  local args=()
  [ -n "${2:-}" ] && args=(--blocks "$2")
  "$cli" "${args[@]}" -- "$1" >"$work/cli.out" 2>&1 || { cat "$work/cli.out" >&2; exit 1; }
}

main_rows=()
sweep_rows=()
for entry in "${formats[@]}"; do
  IFS='|' read -r label ext demuxer options <<<"$entry"
  name=$(tr -c 'A-Za-z0-9\n' '_' <<<"$label")
  video=$work/$name.$ext
  echo "== $label" >&2
  # shellcheck disable=SC2086  # the options are words on purpose
  ffmpeg -nostdin -v error -y "${common[@]}" $options "$video"
  original=$work/$name.md5
  frame_hashes "$video" >"$original"
  frames=$(wc -l <"$original")
  size=$(stat -c %s "$video")
  whole_blocks=$((size / block))
  cp "$video" "$video.orig"

  toggle "$video"  # the default: 8 blocks
  detected=$(detected_format "$video")
  by_detection=$(count_frames "$video" "" "$original")
  by_force=$(count_frames "$video" "$demuxer" "$original")
  toggle "$video"
  cmp -s "$video" "$video.orig" || { echo "$label: not restored byte for byte" >&2; exit 1; }
  main_rows+=("| $label | $(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1048576 }') | $frames | ${detected:-none} | $by_detection | $by_force (\`-f $demuxer\`) |")

  if [ "$by_detection" != 0 ] || [ "$by_force" != 0 ]; then
    cells=()
    for blocks in 16 32 $((whole_blocks - 8)) $((whole_blocks - 1)) "$whole_blocks"; do
      toggle "$video" "$blocks"
      cells+=("$(count_frames "$video" "" "$original") / $(count_frames "$video" "$demuxer" "$original")")
      toggle "$video"
      cmp -s "$video" "$video.orig" || { echo "$label: not restored after $blocks blocks" >&2; exit 1; }
    done
    sweep_rows+=("| $label | $whole_blocks | $(IFS="|" && echo "${cells[*]}" | sed 's/|/ | /g') |")
  fi
  rm -f "$video.orig"
done

cat <<EOF
Test videos: ffmpeg $(ffmpeg -version | awk 'NR == 1 { print $3 }'), ${seconds} s of testsrc2 with noise, 1280x720, ${rate} fps,
a keyframe every $gop frames, about 24 Mbit/s, no audio. Scrambled by velmora-cli with its default of 8 blocks
(4 MiB) and no key. Frames: decoded by ffmpeg, in brackets those identical to a frame of the original.

| container | size (MiB) | frames | detected as | frames, detected | frames, format forced |
|---|---|---|---|---|---|
$(printf '%s\n' "${main_rows[@]}")
EOF
if [ ${#sweep_rows[@]} -gt 0 ]; then
  cat <<EOF

Formats that still play, scrambled with more blocks (frames detected / forced; "all" is every whole
512 KiB block of the file: the part of the last block that is not whole stays as it was):

| container | whole blocks in file | 16 blocks | 32 blocks | all but 8 | all but 1 | all |
|---|---|---|---|---|---|---|
$(printf '%s\n' "${sweep_rows[@]}")
EOF
fi
