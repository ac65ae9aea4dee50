#!/usr/bin/env bash
# Does what a player finds in a scrambled file depend on the key? A scrambled head is random to a
# prober, but some keys leave it free of the stray start codes that make a raw-video probe give up;
# that probe then takes the frames past the head for a raw stream and plays them. Makes 60 s, 720p
# clips whose video carries its own start codes (MPEG-4 Visual as Xvid writes it, in AVI, MKV and
# MP4; H.264 in AVI; MPEG-2 in MKV), scrambles a copy with each of KEYS random keys, counts the video
# frames mpv and ffmpeg (auto-detect) decode, restores the copy and checks it byte for byte. Prints
# a Markdown table: for each clip, the blocks the trailer records and for how many keys each player
# decoded any frame (and the most frames it decoded).
#
# Usage: scripts/measure-keys.sh [WORK_DIR]
#   VELMORA_CLI=path/to/velmora-cli  the program to measure (default: built into build/release)
#   KEYS=24                          random keys per clip (a fixed seed: the same keys every run)
#   BLOCKS=N                         pass --blocks N (default: the program's own choice)
# Installs Debian's ffmpeg and mpv when they are missing: a tool for a developer's machine, never
# run in CI. Needs about 500 MB in WORK_DIR (default: a temp folder).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/measure-common.sh"

need=()
command -v ffmpeg >/dev/null || need+=(ffmpeg)
command -v mpv >/dev/null || need+=(mpv)
command -v python3 >/dev/null || need+=(python3)
install_packages "${need[@]}"
find_cli

work_folder "${1:-}" clips
readonly key_count=${KEYS:-24}
blocks_option=()
[ -n "${BLOCKS:-}" ] && blocks_option=(--blocks "$BLOCKS")

# The keys people type: letters, digits, blanks, a few signs and non-ASCII letters, 3 to 20 long.
python3 - "$key_count" >"$work/keys" <<'EOF'
import random, sys
random.seed(7)
letters = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_#!ÜÄßéö'
for _ in range(int(sys.argv[1])):
    print(''.join(random.choice(letters) for _ in range(random.randint(3, 20))))
EOF

source_args=(-f lavfi -i testsrc2=size=1280x720:rate=25:duration=60
             -f lavfi -i sine=frequency=440:sample_rate=48000:duration=60
             -vf "noise=alls=12:allf=t" -pix_fmt yuv420p -g 50 -ac 2)
make_clips() {
  local c=$work/clips
  [ -f "$c/xvid.avi" ] || ffmpeg -nostdin -v error -y -threads 2 "${source_args[@]}" -c:v mpeg4 -vtag xvid \
    -b:v 6M -maxrate 6M -bufsize 6M -c:a libmp3lame -b:a 128k "$c/xvid.avi"
  # Remuxed as they come from an AVI: the frames keep their in-band headers.
  [ -f "$c/xvid.mkv" ] || ffmpeg -nostdin -v error -y -i "$c/xvid.avi" -c copy "$c/xvid.mkv"
  [ -f "$c/xvid.mp4" ] || ffmpeg -nostdin -v error -y -i "$c/xvid.avi" -c copy "$c/xvid.mp4"
  [ -f "$c/h264.avi" ] || ffmpeg -nostdin -v error -y -threads 2 "${source_args[@]}" -c:v libx264 \
    -preset veryfast -b:v 6M -maxrate 6M -bufsize 6M -c:a libmp3lame -b:a 128k "$c/h264.avi"
  [ -f "$c/mpeg2.mkv" ] || ffmpeg -nostdin -v error -y -threads 2 "${source_args[@]}" -c:v mpeg2video \
    -b:v 6M -maxrate 6M -bufsize 4M -c:a ac3 "$c/mpeg2.mkv"
}

# Video frames decoded, from framecrc (stream 0 is the only video stream any prober finds here).
mpv_frames() {
  rm -f "$work/out.crc"
  timeout 180 mpv --no-config --really-quiet --o="$work/out.crc" --of=framecrc --ovc=rawvideo \
    --oac=pcm_s16le "$1" >/dev/null 2>&1 || true
  grep -c '^0,' "$work/out.crc" 2>/dev/null || true
}
ffmpeg_frames() {
  timeout 180 ffmpeg -nostdin -v quiet -threads 2 -i "$1" -map '0:v?' -f framecrc - 2>/dev/null |
    grep -c '^0,' || true
}

echo "making the clips" >&2
make_clips
echo "| clip | blocks scrambled | keys | mpv plays (most frames) | ffmpeg plays (most frames) |"
echo "|---|---|---|---|---|"
for clip in xvid.avi xvid.mkv xvid.mp4 h264.avi mpeg2.mkv; do
  copy=$work/copy.${clip##*.}
  mpv_hits=0 mpv_most=0 ffmpeg_hits=0 ffmpeg_most=0 blocks=
  while IFS= read -r key; do
    cp "$work/clips/$clip" "$copy"
    "$cli" "${blocks_option[@]}" --key "$key" "$copy" >/dev/null
    blocks=$(trailer_blocks "$copy")
    m=$(mpv_frames "$copy")
    f=$(ffmpeg_frames "$copy")
    if [ "${m:-0}" -gt 0 ]; then
      mpv_hits=$((mpv_hits + 1))
      if [ "$m" -gt "$mpv_most" ]; then mpv_most=$m; fi
    fi
    if [ "${f:-0}" -gt 0 ]; then
      ffmpeg_hits=$((ffmpeg_hits + 1))
      if [ "$f" -gt "$ffmpeg_most" ]; then ffmpeg_most=$f; fi
    fi
    "$cli" --key "$key" "$copy" >/dev/null
    cmp -s "$copy" "$work/clips/$clip" || { echo "$clip: not restored byte for byte with key [$key]" >&2; exit 1; }
  done <"$work/keys"
  echo "| $clip | $blocks | $key_count | $mpv_hits ($mpv_most) | $ffmpeg_hits ($ffmpeg_most) |"
  echo "$clip done" >&2
done
rm -f "$work"/copy.*
