#!/usr/bin/env bash
# How much of a video has to be scrambled before the players people actually run on Linux give up?
# Makes 720p, 25 fps test clips with sound in every container the program takes, scrambles a copy
# with velmora-cli (with and without a key) for a list of block counts, and lets ffmpeg, mpv, VLC,
# GStreamer's playbin and ffmpegthumbnailer loose on each, headless. Counts the video frames each
# decodes and the seconds of sound, checks that a second run restores the file byte for byte, and
# prints Markdown tables. Stream formats (MPEG-TS, MPEG-PS) are joined mid-stream by the players,
# so the interesting question is where they stop finding anything to play. For them a further
# column asks ffmpeg forced to the format (-f mpegts, -f mpeg), which skips detection and decodes
# whatever is not scrambled, however long the head: what someone who knows the format gets.
#
# Usage: scripts/measure-players.sh [WORK_DIR]
#   VELMORA_CLI=path/to/velmora-cli  the program to measure (default: built into build/release)
#   CLIP_SECONDS=60                  length of the test clips
#   VIDEO_RATE=6M                    video bitrate of the test clips
#   BLOCKS="8 16 32 48 64 96 128"    block counts to try, smallest first
#   CONTAINERS="mp4 ts ..."          only these (the ids in the list below; default: all of them)
#   KEY=...                          the key for the keyed runs (default: a fixed phrase)
#   FULL_SWEEP=1                     keep measuring a container after every player is down to
#                                    nothing (default: stop there, later block counts show "-")
#   LONG_SECONDS=300                 also make a long MPEG-TS and MPEG-PS clip of this length
#   LONG_RATE=12M                    ... at this video bitrate (TV and camera recordings: 8-20M)
#   LONG_BLOCKS="..."                block counts for the long clips (default: BLOCKS)
#   BASELINE=ffmpeg                  measure the untouched clips with ffmpeg alone (saves time)
#   VLC_RATE=4                       playback speed for VLC, which plays in real time (4 is the
#                                    fastest at which it still outputs sound)
#   WHOLE_STREAMS=1                  scramble with --whole-streams: MPEG-TS and -PS files whole but
#                                    for their last partial block (other kinds are not affected)
# Installs Debian's ffmpeg, mpv, VLC, GStreamer and ffmpegthumbnailer when they are missing: this
# is a tool for a developer's machine, never run in CI. Needs about 3 GiB in WORK_DIR (default: a
# temp folder), more with LONG_SECONDS. VLC refuses to run as root, so as root it runs as nobody.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/measure-common.sh"

need=()
command -v ffmpeg >/dev/null || need+=(ffmpeg)
command -v mpv >/dev/null || need+=(mpv)
command -v cvlc >/dev/null || need+=(vlc-bin vlc-plugin-base vlc-plugin-video-output)
command -v gst-launch-1.0 >/dev/null || need+=(gstreamer1.0-tools)
for plugins in base good bad ugly; do
  dpkg-query -W -f '${Status}' "gstreamer1.0-plugins-$plugins" 2>/dev/null | grep -q 'ok installed' ||
    need+=("gstreamer1.0-plugins-$plugins")
done
dpkg-query -W -f '${Status}' gstreamer1.0-libav 2>/dev/null | grep -q 'ok installed' || need+=(gstreamer1.0-libav)
command -v ffmpegthumbnailer >/dev/null || need+=(ffmpegthumbnailer)
install_packages "${need[@]}"
find_cli

work_folder "${1:-}" .

readonly clip_seconds=${CLIP_SECONDS:-60} video_rate=${VIDEO_RATE:-6M}
readonly block_counts=${BLOCKS:-8 16 32 48 64 96 128}
readonly key=${KEY:-measure the players}
readonly long_seconds=${LONG_SECONDS:-0} long_rate=${LONG_RATE:-12M}
readonly long_block_counts=${LONG_BLOCKS:-$block_counts}
readonly vlc_rate=${VLC_RATE:-4} full_sweep=${FULL_SWEEP:-0} whole_streams=${WHOLE_STREAMS:-0}
readonly block=524288 fps=25 gop=50

# --- Test clips ----------------------------------------------------------------------------------

# Temporal noise keeps the encoders from squeezing the picture, so a clip reaches its bitrate the way
# a camera recording does; a test pattern alone would shrink to a few megabytes.
source_args() {  # seconds
  echo "-f lavfi -i testsrc2=size=1280x720:rate=$fps:duration=$1"
  echo "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=$1"
}
picture=(-vf "noise=alls=12:allf=t" -pix_fmt yuv420p -g "$gop")

# id | label | file name | how to make it from the H.264 + AAC master (or "encode:" and ffmpeg options)
containers=(
  "mp4|MP4 (H.264, AAC)|clip.mp4|copy:-c copy -movflags +faststart"
  "mov|MOV (H.264, AAC)|clip.mov|copy:-c copy"
  "3gp|3GP (H.264, AAC)|clip.3gp|copy:-c copy"
  "mkv|MKV (H.264, AAC)|clip.mkv|copy:-c copy"
  "webm|WebM (VP8, Vorbis)|clip.webm|encode:-c:v libvpx -deadline realtime -cpu-used 8 -b:v $video_rate -c:a libvorbis"
  "flv|FLV (H.264, AAC)|clip.flv|copy:-c copy"
  "wmv|WMV / ASF (WMV 8, WMA 2)|clip.wmv|encode:-c:v wmv2 -b:v $video_rate -c:a wmav2 -b:a 128k"
  "ogv|OGV (Theora, Vorbis)|clip.ogv|encode:-c:v libtheora -b:v $video_rate -c:a libvorbis"
  "avi|AVI (MPEG-4 Visual, MP3)|clip.avi|encode:-c:v mpeg4 -vtag xvid -b:v $video_rate -maxrate $video_rate -bufsize $video_rate -c:a libmp3lame -b:a 128k"
  "ts|MPEG-TS .ts (H.264, AAC)|clip.ts|copy:-c copy -f mpegts"
  "m2ts|M2TS (H.264, AC-3)|clip.m2ts|copy:-c:v copy -c:a ac3 -b:a 192k -f mpegts -mpegts_m2ts_mode 1"
  "mpg|MPEG-PS .mpg (MPEG-1, MP2)|clip.mpg|encode:-c:v mpeg1video -b:v $video_rate -maxrate $video_rate -bufsize 4M -c:a mp2 -b:a 192k -f mpeg"
  "vob|MPEG-PS .vob (MPEG-2, AC-3)|clip.vob|encode:-c:v mpeg2video -b:v $video_rate -maxrate $video_rate -bufsize 4M -c:a ac3 -b:a 192k -f vob"
  "ts-as-mp4|MPEG-TS named .mp4|clip-ts.mp4|rename:ts"
)

make_master() {  # seconds bitrate file: H.264 + AAC, muxed only to be copied into the other containers
  # shellcheck disable=SC2046  # source_args prints words on purpose
  ffmpeg -nostdin -v error -y -threads 2 $(source_args "$1") "${picture[@]}" \
    -c:v libx264 -preset veryfast -b:v "$2" -maxrate "$2" -bufsize "$2" -threads 2 \
    -c:a aac -b:a 128k -ac 2 "$3"
}

make_clip() {  # how seconds bitrate master output
  local how=$1 seconds=$2 rate=$3 master=$4 out=$5
  case $how in
    copy:*)
      # shellcheck disable=SC2086
      ffmpeg -nostdin -v error -y -threads 2 -i "$master" ${how#copy:} "$out" ;;
    encode:*)
      local options=${how#encode:}
      options=${options//$video_rate/$rate}
      # shellcheck disable=SC2046,SC2086
      ffmpeg -nostdin -v error -y -threads 2 $(source_args "$seconds") "${picture[@]}" -ac 2 \
        $options -threads 2 "$out" ;;
    rename:*)
      cp "$work/clips/$(clip_file "${how#rename:}")" "$out" ;;
  esac
}

clip_file() {  # id -> file name
  local entry
  for entry in "${containers[@]}"; do
    IFS='|' read -r id _ file _ <<<"$entry"
    [ "$id" = "$1" ] && { echo "$file"; return; }
  done
}

# --- Counting what each player decodes ----------------------------------------------------------

# framecrc is one line per decoded frame or audio packet, whoever wrote it: the largest number of
# frames in a video stream, and the longest audio stream in seconds.
count_framecrc() {
  awk -F', *' '
    /^#tb / { split($0, a, /[ :\/]+/); tb[a[2]] = a[3] / a[4] }
    /^#media_type / { split($0, a, /[ :]+/); kind[a[2]] = a[3] }
    !/^#/ && NF >= 5 { if (kind[$1 + 0] == "video") frames[$1 + 0]++; else if (kind[$1 + 0] == "audio") audio[$1 + 0] += $4 * tb[$1 + 0] }
    END {
      v = 0; s = 0
      for (i in frames) if (frames[i] > v) v = frames[i]
      for (i in audio) if (audio[i] > s) s = audio[i]
      printf "%d %.1f\n", v, s
    }' "$1"
}

# Generous, but a player that hangs must not stall the sweep. seconds is the clip in hand's length;
# $1 is how much faster than real time the player goes, for VLC, which often sits out the timeout
# doing nothing on a file it has taken for something else.
player_timeout() { echo $((seconds / ${1:-1} + ${2:-120})); }

measure_ffmpeg() {  # file -> "frames seconds"
  timeout -k 5 "$(player_timeout)" ffmpeg -nostdin -v quiet -threads 2 -i "$1" -map '0:v?' -map '0:a?' \
    -f framecrc "$work/out.crc" -y >/dev/null 2>&1 || true
  [ -s "$work/out.crc" ] && count_framecrc "$work/out.crc" || echo "0 0.0"
  rm -f "$work/out.crc"
}

# The format ffmpeg is forced to for a stream container (-f): the MPEG-TS and MPEG-PS kinds, told by
# the id, since a TS named .mp4 is still a TS. Nothing for the others: forcing their format is no
# different from detecting it, they need their headers either way.
forced_format() {  # id -> ffmpeg format name, or nothing
  case $1 in
    ts | m2ts | ts-as-mp4 | long-ts) echo mpegts ;;
    mpg | vob | long-mpg) echo mpeg ;;
  esac
}

measure_forced() {  # format file -> "frames seconds"
  timeout -k 5 "$(player_timeout)" ffmpeg -nostdin -v quiet -threads 2 -f "$1" -i "$2" -map '0:v?' -map '0:a?' \
    -f framecrc "$work/out.crc" -y >/dev/null 2>&1 || true
  [ -s "$work/out.crc" ] && count_framecrc "$work/out.crc" || echo "0 0.0"
  rm -f "$work/out.crc"
}

# mpv's encoding mode goes through the same demuxer and decoders as playback, but writes every
# decoded frame and all the sound, and does so as fast as it can: a count with nothing dropped.
measure_mpv() {
  timeout -k 5 "$(player_timeout)" mpv --no-config --really-quiet --vd-lavc-threads=2 \
    --o="$work/out.crc" --of=framecrc --ovc=rawvideo --oac=pcm_s16le -- "$1" >/dev/null 2>&1 || true
  [ -s "$work/out.crc" ] && count_framecrc "$work/out.crc" || echo "0 0.0"
  rm -f "$work/out.crc"
}

# VLC plays in real time and has no encoding mode that uses its playback decoders, so it plays at
# VLC_RATE with a dummy picture output and writes its sound to a WAV file. A small Lua interface
# reads the input's decoder statistics when playback ends. VLC 3 counts every decoded picture twice
# in those statistics (once when decoded, once when queued), hence the halving.
vlc_lua='local item, seen = nil, false
for _ = 1, 72000 do
  if vlc.object.input() then
    seen = true
    item = vlc.input.item() or item
  elseif seen then
    break
  end
  vlc.misc.mwait(vlc.misc.mdate() + 50000)
end
local s = item and item:stats() or {}
io.stdout:write(string.format("decoded_video %d\n", s.decoded_video or 0))
io.stdout:flush()
vlc.misc.quit()'
vlc_home=$work/vlc
mkdir -p "$vlc_home/data/vlc/lua/intf" "$vlc_home/run" "$vlc_home/out"
printf '%s\n' "$vlc_lua" >"$vlc_home/data/vlc/lua/intf/count.lua"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  # VLC will not run as root. nobody must be able to read the clips and write the sound.
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
  chmod 755 "$work"
  chown -R 65534:65534 "$vlc_home"
fi
chmod 700 "$vlc_home/run"

measure_vlc() {
  local wav=$vlc_home/out/sound.wav frames sound=0.0
  rm -f "$wav"
  frames=$(timeout -k 5 "$(player_timeout "$vlc_rate" 60)" env HOME="$vlc_home" XDG_DATA_HOME="$vlc_home/data" \
    XDG_CONFIG_HOME="$vlc_home/config" XDG_CACHE_HOME="$vlc_home/cache" XDG_RUNTIME_DIR="$vlc_home/run" \
    "${as_user[@]}" cvlc -q --no-media-library --no-metadata-network-access \
    -I luaintf --lua-intf count --vout=dummy --aout=afile --audiofile-file="$wav" --audiofile-wav \
    --rate="$vlc_rate" --no-avcodec-hurry-up --avcodec-skip-frame=-1 --no-drop-late-frames \
    --no-skip-frames --avcodec-threads=2 -- "$1" 2>/dev/null | awk '/^decoded_video/ { print int($2 / 2) }' || true)
  if [ -s "$wav" ] && [ "$(stat -c %s "$wav")" -gt 44 ]; then
    # Bytes per second from the WAV header; at VLC_RATE the sound is that much shorter.
    local byte_rate
    byte_rate=$(od -An -t u4 -j 28 -N 4 "$wav" | tr -d ' ')
    sound=$(awk -v n="$(stat -c %s "$wav")" -v r="$byte_rate" -v x="$vlc_rate" \
      'BEGIN { printf "%.1f", (r > 0 ? (n - 44) / r * x : 0) }')
  fi
  echo "${frames:-0} $sound"
}

# playbin with fake sinks that report every buffer they get; -v prints those reports. Frames are
# counted by their distinct time stamps, sound by adding up the buffers' durations.
measure_gst() {
  timeout -k 5 "$(player_timeout)" gst-launch-1.0 -v playbin uri="file://$1" \
    video-sink="fakesink name=vsink sync=false silent=false" \
    audio-sink="fakesink name=asink sync=false silent=false" >"$work/gst.log" 2>&1 || true
  local frames sound
  frames=$(grep 'vsink: last-message = chain' "$work/gst.log" | grep -o 'pts: [^,]*' | sort -u | wc -l || true)
  sound=$(grep 'asink: last-message = chain' "$work/gst.log" |
    sed -n 's/.*pts: \([^,]*\), duration: \([0-9]*\):\([0-9]*\):\([0-9.]*\),.*/\1 \2 \3 \4/p' | sort -u |
    awk '{ s += $2 * 3600 + $3 * 60 + $4 } END { printf "%.1f", s }')
  rm -f "$work/gst.log"
  echo "${frames:-0} ${sound:-0.0}"
}

# What a file manager shows: ffmpegthumbnailer seeks to 10 % of the file for its picture.
measure_thumbnail() {
  rm -f "$work/thumb.png"
  timeout -k 5 120 ffmpegthumbnailer -i "$1" -o "$work/thumb.png" -s 128 >/dev/null 2>&1 || true
  if [ -s "$work/thumb.png" ]; then echo yes; else echo no; fi
  rm -f "$work/thumb.png"
}

# One line: "ffmpeg forced mpv vlc gst thumbnail", each player as frames/seconds; forced is ffmpeg
# with -f $2, "-" without a format. With "ffmpeg" as $3, only the two ffmpeg runs: enough to know
# what an untouched clip holds.
measure_all() {  # file format [ffmpeg]
  local f o=- m=- v=- g=- t=-
  f=$(measure_ffmpeg "$1")
  [ -n "$2" ] && o=$(measure_forced "$2" "$1")
  if [ "${3:-}" != ffmpeg ]; then
    m=$(measure_mpv "$1"); v=$(measure_vlc "$1"); g=$(measure_gst "$1"); t=$(measure_thumbnail "$1")
  fi
  echo "${f/ //} ${o/ //} ${m/ //} ${v/ //} ${g/ //} $t"
}

# The players as people run them, detecting the format: the line without its forced ffmpeg cell,
# which decodes what is left after any head and would keep the sweep of a stream going forever.
detecting() {  # a measure_all line
  local cells
  read -ra cells <<<"$1"
  echo "${cells[0]} ${cells[*]:2}"
}

nothing_played() {  # a measure_all line
  local cell
  for cell in $(detecting "$1"); do
    case $cell in 0/0.0 | no) ;; *) return 1 ;; esac
  done
}

# A scrambled head is random bytes, and some players take random bytes for something: VLC falls back
# to its MPEG-PS reader and finds a "picture" in them, GStreamer finds MPEG audio frames. That is a
# frame or two and a fraction of a second of noise, not the film; this tells it from real playback.
only_noise() {  # a measure_all line
  local cell
  for cell in $(detecting "$1"); do
    case $cell in
      no | -) ;;
      yes) return 1 ;;
      *) awk -v f="${cell%/*}" -v s="${cell#*/}" 'BEGIN { exit !(f <= 2 && s <= 0.5) }' || return 1 ;;
    esac
  done
}

cell() {  # frames/seconds -> "frames, seconds s"
  case $1 in
    yes | no | -) echo "$1" ;;
    *) echo "${1%/*} f, ${1#*/} s" ;;
  esac
}

toggle() {  # file blocks [key]: velmora-cli must report the file toggled and nothing failed
  local args=(--blocks "$2")
  [ -n "${3:-}" ] && args+=(--key "$3")
  [ "$whole_streams" = 1 ] && args+=(--whole-streams)
  "$cli" "${args[@]}" -- "$1" >"$work/cli.out" 2>&1 || { cat "$work/cli.out" >&2; exit 1; }
}

# The table is only worth anything if the program scrambled what it says it did: the head up to the
# last block its trailer records changed (inverted or XORed with a key of non-zero bytes, so its last
# byte too), everything after it as it was. The record is the count asked for, or more for the kinds of
# file that need a longer head (MPEG-TS and -PS, AVI), or the whole file with WHOLE_STREAMS: then
# the cell measures that longer head, and the report says how long it was.
check_scrambled() {  # scrambled original blocks; sets recorded
  local head size
  size=$(stat -c %s "$2")
  recorded=$(trailer_blocks "$1")
  head=$((recorded * block))
  [ "$head" -gt $((size / block * block)) ] && head=$((size / block * block))
  if [ "$recorded" -lt "$3" ] || cmp -s -i $((head - 1)) -n 1 "$1" "$2" ||
    ! cmp -s -i "$head" -n $((size - head)) "$1" "$2"; then
    echo "$1: asked for $3 blocks, the trailer says $recorded, or the changed bytes do not match" >&2
    exit 1
  fi
  [ "$recorded" -gt "$3" ] && echo "   $(basename "$2"): asked for $3 blocks, the program scrambled $recorded" >&2
  return 0
}

# --- The sweep ------------------------------------------------------------------------------------

declare -A result   # [clip|blocks|key or plain] -> measure_all line
declare -A smallest # [clip|key or plain] -> first block count at which nothing played
declare -A noise    # [clip|key or plain] -> first block count at which only noise played
declare -A done_blocks # [clip|blocks|key or plain] -> blocks the trailer records
clips=()            # "id|label|path|seconds|bitrate"

mkdir -p "$work/clips"
chmod 755 "$work/clips"
for entry in "${containers[@]}"; do
  IFS='|' read -r id label file how <<<"$entry"
  if [ -n "${CONTAINERS:-}" ] && [[ " $CONTAINERS " != *" $id "* ]]; then continue; fi
  # A clip already in the work folder is used again: a second run can measure other block counts.
  if [ ! -s "$work/clips/$file" ]; then
    echo "== making $label" >&2
    if [[ $how == copy:* ]] && [ ! -s "$work/clips/master.mkv" ]; then
      make_master "$clip_seconds" "$video_rate" "$work/clips/master.mkv"
    fi
    make_clip "$how" "$clip_seconds" "$video_rate" "$work/clips/master.mkv" "$work/clips/$file"
  fi
  clips+=("$id|$label|$work/clips/$file|$clip_seconds|$video_rate|$block_counts")
done
if [ "$long_seconds" -gt 0 ] && [ ! -s "$work/clips/long.mpg" ]; then
  echo "== making the ${long_seconds} s clips" >&2
  make_master "$long_seconds" "$long_rate" "$work/clips/long-master.mkv"
  make_clip "copy:-c copy -f mpegts" "$long_seconds" "$long_rate" "$work/clips/long-master.mkv" "$work/clips/long.ts"
  make_clip "encode:-c:v mpeg2video -b:v $video_rate -maxrate $video_rate -bufsize 8M -c:a mp2 -b:a 192k -f vob" \
    "$long_seconds" "$long_rate" "" "$work/clips/long.mpg"
  rm -f "$work/clips/long-master.mkv"
fi
if [ "$long_seconds" -gt 0 ]; then
  clips+=("long-ts|MPEG-TS .ts (H.264, AAC), ${long_seconds} s at $long_rate|$work/clips/long.ts|$long_seconds|$long_rate|$long_block_counts")
  clips+=("long-mpg|MPEG-PS .mpg (MPEG-2, MP2), ${long_seconds} s at $long_rate|$work/clips/long.mpg|$long_seconds|$long_rate|$long_block_counts")
fi
chmod 644 "$work"/clips/*

for entry in "${clips[@]}"; do
  IFS='|' read -r id label path seconds rate counts <<<"$entry"
  echo "== $label" >&2
  scrambled=$work/scrambled.${path##*.}
  rm -f "$scrambled"
  cp "$path" "$scrambled"
  chmod 644 "$scrambled"
  format=$(forced_format "$id")
  result[$id|0|plain]=$(measure_all "$path" "$format" "${BASELINE:-}")
  for mode in plain key; do
    k=
    [ "$mode" = key ] && k=$key
    for blocks in $counts; do
      if [ -n "${smallest[$id|$mode]:-}" ] && [ "$full_sweep" != 1 ]; then
        result[$id|$blocks|$mode]="- - - - - -"
        continue
      fi
      toggle "$scrambled" "$blocks" "$k"
      check_scrambled "$scrambled" "$path" "$blocks"
      done_blocks[$id|$blocks|$mode]=$recorded
      result[$id|$blocks|$mode]=$(measure_all "$scrambled" "$format")
      echo "   $blocks blocks, $mode: ${result[$id|$blocks|$mode]}" >&2
      toggle "$scrambled" "$blocks" "$k"
      cmp -s "$scrambled" "$path" || { echo "$label: not restored byte for byte after $blocks blocks ($mode)" >&2; exit 1; }
      if nothing_played "${result[$id|$blocks|$mode]}" && [ -z "${smallest[$id|$mode]:-}" ]; then
        smallest[$id|$mode]=$blocks
      fi
      if only_noise "${result[$id|$blocks|$mode]}" && [ -z "${noise[$id|$mode]:-}" ]; then
        noise[$id|$mode]=$blocks
      fi
    done
  done
  rm -f "$scrambled"
done

# --- Report ---------------------------------------------------------------------------------------

version() { dpkg-query -W -f '${Version}' "$1" 2>/dev/null || echo "?"; }
size_mib() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.0f", s / 1048576 }'; }
row() {  # id label line
  local cells=() c
  for c in $3; do cells+=("$(cell "$c")"); done
  echo "| $2 | ${cells[0]} | ${cells[1]} | ${cells[2]} | ${cells[3]} | ${cells[4]} | ${cells[5]} |"
}
header='| container | ffmpeg | ffmpeg forced | mpv | VLC | GStreamer | thumbnail |
|---|---|---|---|---|---|---|'

cat <<EOF
Measured $(date -u +%Y-%m-%d) with ffmpeg $(version ffmpeg), mpv $(version mpv), VLC $(version vlc-bin),
GStreamer $(version gstreamer1.0-tools) (plugins: base $(version gstreamer1.0-plugins-base), good
$(version gstreamer1.0-plugins-good), bad $(version gstreamer1.0-plugins-bad), ugly
$(version gstreamer1.0-plugins-ugly), libav $(version gstreamer1.0-libav)), ffmpegthumbnailer
$(version ffmpegthumbnailer). Clips: testsrc2 with noise and a 440 Hz tone, 1280x720, $fps fps, a keyframe
every $gop frames, ${clip_seconds} s at about $video_rate. Cells: video frames decoded (f) and seconds of sound.
"ffmpeg forced": ffmpeg with -f mpegts or -f mpeg on the MPEG-TS and -PS kinds, "-" on the others.$(
  [ "$whole_streams" = 1 ] && printf '\n%s' "Scrambled with --whole-streams: MPEG-TS and -PS whole but for the last partial block.")

Unscrambled:

$header
EOF
for entry in "${clips[@]}"; do
  IFS='|' read -r id label path _ <<<"$entry"
  row "$id" "$label ($(size_mib "$path") MiB)" "${result[$id|0|plain]}"
done
all_counts=$(for entry in "${clips[@]}"; do IFS='|' read -r _ _ _ _ _ counts <<<"$entry"; echo "$counts"; done |
  tr ' ' '\n' | sort -nu | tr '\n' ' ')
for blocks in $all_counts; do
  for mode in plain key; do
    printf '\n%s blocks (%s MiB), %s:\n\n%s\n' "$blocks" $((blocks / 2)) \
      "$([ $mode = key ] && echo "with a key (XOR)" || echo "without a key (inverted)")" "$header"
    for entry in "${clips[@]}"; do
      IFS='|' read -r id label _ <<<"$entry"
      [ -n "${result[$id|$blocks|$mode]:-}" ] || continue
      # The kinds that get a longer head than asked for say how long it was.
      head_blocks=${done_blocks[$id|$blocks|$mode]:-$blocks}
      [ "$head_blocks" != "$blocks" ] && label="$label, $head_blocks blocks scrambled"
      row "$id" "$label" "${result[$id|$blocks|$mode]}"
    done
  done
done
cat <<EOF

Smallest block count at which no player decodes a frame or a moment of sound and no thumbnail is
made; in brackets, at which none decodes more than noise (at most 2 frames and half a second of
sound). "> N": still playing at the largest count tried. Forced ffmpeg is left out of this.

| container | without a key | with a key |
|---|---|---|
EOF
for entry in "${clips[@]}"; do
  IFS='|' read -r id label _ _ _ counts <<<"$entry"
  largest=${counts##* }
  echo "| $label | ${smallest[$id|plain]:-> $largest} (${noise[$id|plain]:-> $largest}) |" \
    "${smallest[$id|key]:-> $largest} (${noise[$id|key]:-> $largest}) |"
done
