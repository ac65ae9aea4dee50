#!/usr/bin/env python3
"""Measures what velmora-cli's scrambling leaves for players, and how long a toggle takes.

Makes test clips with ffmpeg, scrambles copies with velmora-cli, checks that each copy changed exactly
as its trailer says and that a second run restores it byte for byte, lets players decode it headless
and prints Markdown tables (progress goes to stderr). Subcommands:

  players      ffmpeg, mpv, VLC, GStreamer and ffmpegthumbnailer on every container, per block count
  keys         mpv and ffmpeg on clips with in-band start codes, scrambled with many random keys
  toggle-time  how long encrypting and restoring a big file takes, cold and warm
  unplayable   ffmpeg alone, detecting and forced to the format, on short high-bitrate clips

A tool for a developer's machine, never run in CI: it installs the Debian packages it needs when they
are missing. Standard library only.
"""

import argparse
import dataclasses
import datetime
import filecmp
import os
import random
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
BLOCK = 524_288
FPS, GOP = 25, 50
DEFAULT_KEY = "measure the players"

# --- The trailer, as engine/Trailer.h lays it out ------------------------------------------------
# 96 bytes at the end of the file, every byte inverted: Key[64], Blocks int32, Version[13],
# Magic[11] "KZVaultmark" (no terminator), Size int32; integers little-endian.
TRAILER = struct.Struct("<64si13s11si")
MAGIC = b"KZVaultmark"
assert TRAILER.size == 96


@dataclasses.dataclass(frozen=True)
class Trailer:
    key: bytes
    blocks: int
    version: str


def field_text(field: bytes) -> bytes:
    """A text field up to its first zero byte."""
    return field.split(b"\0", 1)[0]


def parse_trailer(stored: bytes) -> Trailer | None:
    """The record in the file's last 96 bytes, or None when its magic is not there."""
    if len(stored) != TRAILER.size:
        raise ValueError(f"a trailer is {TRAILER.size} bytes, got {len(stored)}")
    key, blocks, version, magic, _size = TRAILER.unpack(bytes(b ^ 0xFF for b in stored))
    if field_text(magic) != MAGIC:
        return None
    return Trailer(field_text(key), blocks, field_text(version).decode("utf-8", "replace"))


def read_trailer(path: Path) -> Trailer | None:
    size = path.stat().st_size
    if size <= BLOCK:  # the program never scrambles files this small
        return None
    with path.open("rb") as f:
        f.seek(size - TRAILER.size)
        return parse_trailer(f.read(TRAILER.size))


# --- Test clips -----------------------------------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class Recipe:
    name: str  # the container as tables name it
    video: str  # codecs, for the label
    audio: str
    ext: str
    options: str  # ffmpeg output options; {rate} and {bufsize} are filled in
    muxer: str  # ffmpeg's -f for writing it (and repeating it, toggle-time)
    demuxer: str  # ffmpeg's -f for reading it forced
    remux_of: str = ""  # stream-copied from this recipe's clip ("options" "" = a byte copy)
    stream: bool = False  # MPEG-TS or MPEG-PS: joined mid-stream by players

    def label(self, audio=True):
        return f"{self.name} ({self.video}, {self.audio})" if audio else f"{self.name} ({self.video})"


X264 = "-c:v libx264 -preset veryfast -b:v {rate} -maxrate {rate} -bufsize {rate} -c:a aac -b:a 128k"
XVID = "-c:v mpeg4 -vtag xvid -b:v {rate} -maxrate {rate} -bufsize {rate} -c:a libmp3lame -b:a 128k"
MPEG = "-b:v {rate} -maxrate {rate} -bufsize {bufsize}"
RECIPES = {
    # H.264 + AAC, encoded once and stream-copied into the containers that take it.
    "master": Recipe("MKV", "H.264", "AAC", "mkv", X264, "matroska", "matroska"),
    "mp4": Recipe("MP4", "H.264", "AAC", "mp4", "-c copy -movflags +faststart", "mp4", "mov", "master"),
    "mp4-index-last": Recipe("MP4, index at the end", "H.264", "AAC", "mp4", "-c copy", "mp4", "mov", "master"),
    "mov": Recipe("MOV", "H.264", "AAC", "mov", "-c copy", "mov", "mov", "master"),
    "3gp": Recipe("3GP", "H.264", "AAC", "3gp", "-c copy", "3gp", "mov", "master"),
    "mkv": Recipe("MKV", "H.264", "AAC", "mkv", "-c copy", "matroska", "matroska", "master"),
    "webm": Recipe("WebM", "VP8", "Vorbis", "webm", "-c:v libvpx -deadline realtime -cpu-used 8 -b:v {rate} "
                   "-c:a libvorbis", "webm", "matroska"),
    "flv": Recipe("FLV", "H.264", "AAC", "flv", "-c copy", "flv", "flv", "master"),
    "wmv": Recipe("WMV / ASF", "WMV 8", "WMA 2", "wmv", "-c:v wmv2 -b:v {rate} -c:a wmav2 -b:a 128k", "asf", "asf"),
    "ogv": Recipe("OGV", "Theora", "Vorbis", "ogv", "-c:v libtheora -b:v {rate} -c:a libvorbis", "ogg", "ogg"),
    "avi": Recipe("AVI", "MPEG-4 Visual", "MP3", "avi", XVID, "avi", "avi"),
    "ts": Recipe("MPEG-TS .ts", "H.264", "AAC", "ts", "-c copy", "mpegts", "mpegts", "master", True),
    "m2ts": Recipe("M2TS", "H.264", "AC-3", "m2ts", "-c:v copy -c:a ac3 -b:a 192k -mpegts_m2ts_mode 1", "mpegts",
                   "mpegts", "master", True),
    "mpg": Recipe("MPEG-PS .mpg", "MPEG-1", "MP2", "mpg", f"-c:v mpeg1video {MPEG} -c:a mp2 -b:a 192k", "mpeg", "mpeg",
                  stream=True),
    "mpg2": Recipe("MPEG-PS .mpg", "MPEG-2", "MP2", "mpg", f"-c:v mpeg2video {MPEG} -c:a mp2 -b:a 192k", "mpeg", "mpeg",
                   stream=True),
    "vob": Recipe("MPEG-PS .vob", "MPEG-2", "AC-3", "vob", f"-c:v mpeg2video {MPEG} -c:a ac3 -b:a 192k", "vob", "mpeg",
                  stream=True),
    "ts-as-mp4": Recipe("MPEG-TS named .mp4", "H.264", "AAC", "mp4", "", "mpegts", "mpegts", "ts", True),
    # MPEG-2 and MP2 as a DVD writes them: the long clips' and the big files' program stream.
    "vob-mp2": Recipe("MPEG-PS .mpg", "MPEG-2", "MP2", "mpg", f"-c:v mpeg2video {MPEG} -c:a mp2 -b:a 192k", "vob",
                      "mpeg", stream=True),
    # Video with its own start codes (keys): Xvid remuxed from AVI keeps its headers in the frames.
    "xvid-mkv": Recipe("Xvid in MKV", "MPEG-4 Visual", "MP3", "mkv", "-c copy", "matroska", "matroska", "avi"),
    "xvid-mp4": Recipe("Xvid in MP4", "MPEG-4 Visual", "MP3", "mp4", "-c copy", "mp4", "mov", "avi"),
    "h264-avi": Recipe("H.264 in AVI", "H.264", "MP3", "avi", X264.replace("-c:a aac", "-c:a libmp3lame"), "avi", "avi"),
    "mpeg2-mkv": Recipe("MPEG-2 in MKV", "MPEG-2", "AC-3", "mkv", f"-c:v mpeg2video {MPEG} -c:a ac3 -b:a 192k",
                        "matroska", "matroska"),
}


def make_clip(recipe_id: str, folder: Path, seconds: int, rate: str, noise=12, audio=True) -> Path:
    """The clip of a recipe (made once per set of parameters, then reused): testsrc2 with temporal
    noise, so that the encoders reach their bitrate as a camera recording does, and a 440 Hz tone,
    1280x720 at 25 fps with a keyframe every 2 s."""
    recipe = RECIPES[recipe_id]
    out = folder / f"{recipe_id}-{seconds}s-{rate}-n{noise}{'' if audio else '-an'}.{recipe.ext}"
    if out.exists() and out.stat().st_size > 0:
        return out
    progress(f"== making {recipe.label(audio)}, {seconds} s at {rate}")
    mbit = float(rate.rstrip("M"))
    # A VBV buffer of two thirds of a second, at most 8 Mbit, for the MPEG-1 and -2 encoders.
    options = recipe.options.format(rate=rate, bufsize=f"{min(mbit * 2 / 3, 8):g}M").split()
    tmp = out.with_name("partial-" + out.name)
    if recipe.remux_of and not recipe.options:
        shutil.copyfile(make_clip(recipe.remux_of, folder, seconds, rate, noise, audio), tmp)
    elif recipe.remux_of:
        source = make_clip(recipe.remux_of, folder, seconds, rate, noise, audio)
        ffmpeg(["-i", str(source), *options, "-f", recipe.muxer, str(tmp)])
    else:  # without sound there is no audio input, and the audio options go unused
        source = ["-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate={FPS}:duration={seconds}"]
        if audio:
            source += ["-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=48000:duration={seconds}", "-ac", "2"]
        picture = ["-vf", f"noise=alls={noise}:allf=t", "-pix_fmt", "yuv420p", "-g", str(GOP)]
        ffmpeg([*source, *picture, *options, "-threads", "2", "-f", recipe.muxer, str(tmp)])
    tmp.chmod(0o644)
    tmp.rename(out)
    return out


def ffmpeg(args: list[str]):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-threads", "2", *args], check=True)


# --- Counting what each player decodes -----------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class Decoded:
    frames: int = 0
    seconds: float = 0.0
    hashes: tuple = ()  # per video frame, where the player writes them

    def cell(self):
        return f"{self.frames} f, {self.seconds:.1f} s"


def run(cmd: list[str], timeout: float, **kwargs) -> str:
    """stdout of cmd, or what it printed before it failed or overran its time; a player that hangs
    must not stall a sweep, so the whole process group goes on timeout."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                            text=True, errors="replace", start_new_session=True, **kwargs)
    try:
        out, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
    return out or ""


def parse_framehash(text: str) -> Decoded:
    """framecrc / framemd5 output: one line per decoded video frame or audio packet. The video
    stream with the most frames, and the longest audio stream in seconds."""
    timebase, kind, video, audio = {}, {}, {}, {}
    for line in text.splitlines():
        if line.startswith("#tb ") or line.startswith("#media_type "):
            index, value = line.split(" ", 1)[1].split(":", 1)
            if line.startswith("#tb "):
                num, den = value.strip().split("/")
                timebase[int(index)] = int(num) / int(den)
            else:
                kind[int(index)] = value.strip()
        elif line and not line.startswith("#"):
            fields = [f.strip() for f in line.split(",")]
            if len(fields) < 6:
                continue
            stream = int(fields[0])
            if kind.get(stream) == "video":
                video.setdefault(stream, []).append(fields[-1])
            elif kind.get(stream) == "audio":
                audio[stream] = audio.get(stream, 0) + int(fields[3]) * timebase.get(stream, 0)
    frames = max(video.values(), key=len, default=[])
    return Decoded(len(frames), round(max(audio.values(), default=0.0), 1), tuple(frames))


def player_timeout(seconds: int, speed=1, extra=120):
    return seconds / speed + extra


def count_ffmpeg(path: Path, seconds: int, forced="") -> Decoded:
    """ffmpeg detecting the format, or told it (forced: ffmpeg's -f)."""
    fmt = ["-f", forced] if forced else []
    return parse_framehash(run(["ffmpeg", "-nostdin", "-v", "quiet", "-threads", "2", *fmt, "-i", str(path),
                                "-map", "0:v?", "-map", "0:a?", "-f", "framemd5", "-"], player_timeout(seconds)))


def count_mpv(path: Path, seconds: int, work: Path) -> Decoded:
    """mpv's encoding mode goes through the demuxer probe and decoders of playback but writes every
    frame and all the sound as fast as it can: a count with nothing dropped."""
    out = work / "mpv.crc"
    out.unlink(missing_ok=True)
    run(["mpv", "--no-config", "--really-quiet", "--vd-lavc-threads=2", f"--o={out}", "--of=framecrc",
         "--ovc=rawvideo", "--oac=pcm_s16le", "--", str(path)], player_timeout(seconds))
    decoded = parse_framehash(out.read_text(errors="replace")) if out.exists() else Decoded()
    out.unlink(missing_ok=True)
    return decoded


# VLC has no faster-than-real-time mode with its playback decoders: it plays at a rate with a dummy
# picture output and writes its sound to a WAV file, and this interface prints the input's decoder
# statistics when playback ends. VLC 3 counts every decoded picture twice there, hence the halving.
VLC_LUA = """local item, seen = nil, false
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
io.stdout:write(string.format("decoded_video %d\\n", s.decoded_video or 0))
io.stdout:flush()
vlc.misc.quit()
"""


def vlc_home(work: Path) -> Path:
    """VLC's own home with the counting interface. VLC will not run as root: then it runs as nobody,
    who must be able to read the clips and write the sound."""
    home = work / "vlc"
    for sub in ("data/vlc/lua/intf", "run", "out"):
        (home / sub).mkdir(parents=True, exist_ok=True)
    (home / "data/vlc/lua/intf/count.lua").write_text(VLC_LUA)
    if os.geteuid() == 0:
        work.chmod(0o755)
        for p in [home, *home.rglob("*")]:
            os.chown(p, 65534, 65534)
    (home / "run").chmod(0o700)
    return home


def count_vlc(path: Path, seconds: int, home: Path, rate: float) -> Decoded:
    wav = home / "out/sound.wav"
    wav.unlink(missing_ok=True)
    env = dict(os.environ, HOME=str(home), XDG_DATA_HOME=str(home / "data"), XDG_CONFIG_HOME=str(home / "config"),
               XDG_CACHE_HOME=str(home / "cache"), XDG_RUNTIME_DIR=str(home / "run"))
    as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] if os.geteuid() == 0 else []
    out = run([*as_user, "cvlc", "-q", "--no-media-library", "--no-metadata-network-access", "-I", "luaintf",
               "--lua-intf", "count", "--vout=dummy", "--aout=afile", f"--audiofile-file={wav}", "--audiofile-wav",
               f"--rate={rate:g}", "--no-avcodec-hurry-up", "--avcodec-skip-frame=-1", "--no-drop-late-frames",
               "--no-skip-frames", "--avcodec-threads=2", "--", str(path)], player_timeout(seconds, rate, 60), env=env)
    frames = next((int(line.split()[1]) // 2 for line in out.splitlines() if line.startswith("decoded_video")), 0)
    sound = 0.0
    if wav.exists() and wav.stat().st_size > 44:
        with wav.open("rb") as f:
            f.seek(28)
            byte_rate = struct.unpack("<I", f.read(4))[0]  # of the WAV header; at the rate, that much shorter
        sound = round((wav.stat().st_size - 44) / byte_rate * rate, 1) if byte_rate else 0.0
    return Decoded(frames, sound)


def count_gstreamer(path: Path, seconds: int) -> Decoded:
    """playbin with fake sinks that report every buffer (-v): frames by their distinct time stamps,
    sound by adding up the buffers' durations. A lower bound: the reports miss a few."""
    out = run(["gst-launch-1.0", "-v", "playbin", f"uri={path.as_uri()}",
               "video-sink=fakesink name=vsink sync=false silent=false",
               "audio-sink=fakesink name=asink sync=false silent=false"], player_timeout(seconds))
    video, audio = set(), {}
    for line in out.splitlines():
        if "last-message = chain" not in line or "pts: " not in line:
            continue
        pts = line.split("pts: ", 1)[1].split(",", 1)[0]
        if "vsink:" in line:
            video.add(pts)
        elif "asink:" in line and "duration: " in line:
            h, m, s = line.split("duration: ", 1)[1].split(",", 1)[0].split(":")
            audio[pts] = int(h) * 3600 + int(m) * 60 + float(s)
    return Decoded(len(video), round(sum(audio.values()), 1))


def has_thumbnail(path: Path, work: Path) -> bool:
    """What a file manager shows: ffmpegthumbnailer seeks to 10 % of the file for its picture."""
    png = work / "thumb.png"
    png.unlink(missing_ok=True)
    run(["ffmpegthumbnailer", "-i", str(path), "-o", str(png), "-s", "128"], 120)
    made = png.exists() and png.stat().st_size > 0
    png.unlink(missing_ok=True)
    return made


# --- velmora-cli -----------------------------------------------------------------------------------


def find_cli(given: str) -> Path:
    """The program to measure: the one given, or build/release's, built when missing."""
    if given:
        cli = Path(given).resolve()
        if not os.access(cli, os.X_OK):
            sys.exit(f"measure.py: {cli} is not an executable velmora-cli")
        return cli
    build = REPO / "build/release"
    subprocess.run(["cmake", "-S", REPO, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DVELMORA_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "velmora-cli"], check=True, stdout=subprocess.DEVNULL)
    return build / "velmora-cli"


def toggle(cli: Path, path: Path, key="", blocks: int | None = None, whole_streams=False):
    """One run of velmora-cli on the file; it must report the file toggled."""
    args = [str(cli)]
    args += ["--key", key] if key else []
    args += ["--blocks", str(blocks)] if blocks else []
    args += ["--whole-streams"] if whole_streams else []
    result = subprocess.run([*args, "--", str(path)], capture_output=True, text=True)
    if result.returncode != 0 or "Failed: 0" not in result.stdout:
        sys.exit(f"measure.py: velmora-cli failed on {path}:\n{result.stdout}{result.stderr}")


def check_scrambled(scrambled: Path, original: Path, asked: int | None = None) -> int:
    """The blocks the trailer records, when the copy changed exactly that far: the head's last byte
    differs (inverted, or XORed with a key of non-zero bytes), everything after it is as it was, and
    the trailer was appended. A record beyond the file's whole blocks means all of them."""
    size = original.stat().st_size
    trailer = read_trailer(scrambled)
    problem = ""
    if trailer is None or scrambled.stat().st_size != size + TRAILER.size:
        problem = "it has no trailer"
    elif asked is not None and trailer.blocks < asked:
        problem = f"asked for {asked} blocks, the trailer says {trailer.blocks}"
    else:
        head = min(trailer.blocks, size // BLOCK) * BLOCK
        with scrambled.open("rb") as a, original.open("rb") as b:
            a.seek(head - 1), b.seek(head - 1)
            if a.read(1) == b.read(1):
                problem = f"the trailer says {trailer.blocks} blocks, but block {head // BLOCK} is not changed"
            while not problem and (chunk := b.read(1 << 20)):
                if a.read(len(chunk)) != chunk:
                    problem = f"the trailer says {trailer.blocks} blocks, but bytes after them changed"
    if problem:
        sys.exit(f"measure.py: {scrambled}: {problem}")
    return trailer.blocks


def check_restored(copy: Path, original: Path, what: str):
    if not filecmp.cmp(copy, original, shallow=False):
        sys.exit(f"measure.py: {what}: not restored byte for byte")


# --- Shared helpers --------------------------------------------------------------------------------


def progress(text: str):
    print(text, file=sys.stderr, flush=True)


def install_missing(commands: dict[str, list[str]], packages: list[str] = ()):
    """Installs from Debian what is missing: the packages for each command not found, and the
    packages named that are not installed."""
    need = [p for command, pkgs in commands.items() if not shutil.which(command) for p in pkgs]
    need += [p for p in packages if version(p) == "?"]
    if need:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run([*sudo, "apt-get", "update", "-qq"], check=True)
        subprocess.run([*sudo, "env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "install", "-y", "-qq",
                        "--no-install-recommends", *need], check=True)


def version(package: str) -> str:
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Status} ${Version}", package], capture_output=True, text=True)
    words = result.stdout.split()
    return words[-1] if result.returncode == 0 and "installed" in words[:3] else "?"


def work_folder(given: str) -> Path:
    """The folder given (made if missing) or a new temporary one. velmora-cli reads the user's
    settings, writes a log and a journal and clears thumbnails: all of that is kept in here."""
    work = Path(given or tempfile.mkdtemp(prefix="velmora-measure-")).resolve()
    for sub in ("data", "cache", "config", "clips"):
        (work / sub).mkdir(parents=True, exist_ok=True)
    os.environ.update(XDG_DATA_HOME=str(work / "data"), XDG_CACHE_HOME=str(work / "cache"),
                      XDG_CONFIG_HOME=str(work / "config"))
    return work


def table(header: list[str], rows: list[list]) -> str:
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(lines)


def mib(path: Path) -> float:
    return path.stat().st_size / 1_048_576


def today() -> str:
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d")


# --- players ---------------------------------------------------------------------------------------

PLAYERS = ["ffmpeg", "forced", "mpv", "vlc", "gst", "thumbnail"]
PLAYER_NAMES = {"ffmpeg": "ffmpeg", "forced": "ffmpeg forced", "mpv": "mpv", "vlc": "VLC", "gst": "GStreamer",
                "thumbnail": "thumbnail"}


def measure_all(path: Path, recipe: Recipe, seconds: int, args, work: Path, players: list[str]) -> dict:
    """Each player's result: a Decoded, or for the thumbnail True/False; left out when not asked,
    and the forced ffmpeg only for the stream formats, which can be read from anywhere."""
    counters = {
        "ffmpeg": lambda: count_ffmpeg(path, seconds),
        "forced": lambda: count_ffmpeg(path, seconds, recipe.demuxer) if recipe.stream else None,
        "mpv": lambda: count_mpv(path, seconds, work),
        "vlc": lambda: count_vlc(path, seconds, args.vlc_home, args.vlc_rate),
        "gst": lambda: count_gstreamer(path, seconds),
        "thumbnail": lambda: has_thumbnail(path, work),
    }
    results = {p: counters[p]() for p in players}
    return {p: r for p, r in results.items() if r is not None}


def cell(result) -> str:
    if result is None:
        return "-"
    if isinstance(result, bool):
        return "yes" if result else "no"
    return result.cell()


def plays(result) -> bool:
    return result is True or (isinstance(result, Decoded) and (result.frames > 0 or result.seconds > 0))


def is_noise(result) -> bool:
    """A scrambled head is random bytes, and some players take it for something: a frame or two and
    a fraction of a second of sound is that, not the film."""
    return not plays(result) or (isinstance(result, Decoded) and result.frames <= 2 and result.seconds <= 0.5)


def detecting(results: dict) -> dict:
    """The players as people run them: without the forced ffmpeg, which plays whatever follows any
    head and would keep a sweep of a stream going to the whole file."""
    return {p: r for p, r in results.items() if p != "forced"}


def who_plays(results: dict | None) -> str:
    """The compact cell of the sweep table: the detecting players that decode anything."""
    if results is None:
        return "-"
    found = [("thumbnail" if p == "thumbnail" else f"{PLAYER_NAMES[p]} {r.cell()}")
             for p, r in detecting(results).items() if plays(r)]
    return "; ".join(found) or "0"


def players_command(args):
    install_missing({"ffmpeg": ["ffmpeg"], "mpv": ["mpv"], "cvlc": ["vlc-bin", "vlc-plugin-base",
                     "vlc-plugin-video-output"], "gst-launch-1.0": ["gstreamer1.0-tools"],
                     "ffmpegthumbnailer": ["ffmpegthumbnailer"]},
                    [f"gstreamer1.0-plugins-{p}" for p in ("base", "good", "bad", "ugly")] + ["gstreamer1.0-libav"])
    cli = find_cli(args.cli)
    work = work_folder(args.work)
    clips_dir = work / "clips"
    clips_dir.chmod(0o755)
    args.vlc_home = vlc_home(work)
    players = args.players
    modes = [""] + args.key  # "" is without a key

    # (id, label, path, seconds, block counts)
    clips = [(c, RECIPES[c].label(), make_clip(c, clips_dir, args.clip_seconds, args.video_rate), args.clip_seconds,
              args.blocks) for c in args.containers]
    if args.long_seconds:
        for c in ("ts", "vob-mp2"):
            path = make_clip(c, clips_dir, args.long_seconds, args.long_rate)
            label = f"{RECIPES[c].label()}, {args.long_seconds} s at {args.long_rate}"
            clips.append((f"long-{c}", label, path, args.long_seconds, args.long_blocks or args.blocks))

    baseline = ["ffmpeg", "forced"] if args.baseline == "ffmpeg" else players
    untouched, result, recorded, smallest, noise = {}, {}, {}, {}, {}
    for cid, label, path, seconds, counts in clips:
        recipe = RECIPES[cid.removeprefix("long-")]
        progress(f"== {label}")
        untouched[cid] = measure_all(path, recipe, seconds, args, work, [p for p in players if p in baseline])
        scrambled = work / f"scrambled.{recipe.ext}"
        for key in modes:
            for blocks in counts:
                if (cid, key) in smallest and not args.full_sweep:
                    continue
                shutil.copyfile(path, scrambled)
                scrambled.chmod(0o644)
                asked = None if blocks == "default" else int(blocks)
                toggle(cli, scrambled, key, asked, args.whole_streams)
                recorded[cid, blocks, key] = check_scrambled(scrambled, path, asked)
                got = result[cid, blocks, key] = measure_all(scrambled, recipe, seconds, args, work, players)
                progress(f"   {blocks} blocks ({recorded[cid, blocks, key]} scrambled), "
                         f"{'key ' + repr(key) if key else 'no key'}: {who_plays(got)}")
                toggle(cli, scrambled, key, asked, args.whole_streams)
                check_restored(scrambled, path, f"{label}, {blocks} blocks, key {key!r}")
                if not any(plays(r) for r in detecting(got).values()):
                    smallest.setdefault((cid, key), blocks)
                if all(is_noise(r) for r in detecting(got).values()):
                    noise.setdefault((cid, key), blocks)
        scrambled.unlink(missing_ok=True)

    header = ["container", "scrambled", *(PLAYER_NAMES[p] for p in PLAYERS)]

    def row(label, scrambled_cell, results):
        return [label, scrambled_cell, *(cell(results.get(p)) for p in PLAYERS)]

    def mode_name(key, short=False):
        if not key:
            return "without" if short else "without a key (inverted)"
        if len(modes) == 2:
            return "with" if short else "with a key (XOR)"
        return f"`{key}`" if short else f"with the key `{key}` (XOR)"

    gst = ", ".join(f"{p} {version('gstreamer1.0-plugins-' + p)}" for p in ("base", "good", "bad", "ugly"))
    print(f"Measured {today()} with ffmpeg {version('ffmpeg')}, mpv {version('mpv')}, VLC {version('vlc-bin')}, "
          f"GStreamer {version('gstreamer1.0-tools')} (plugins: {gst}, libav {version('gstreamer1.0-libav')}), "
          f"ffmpegthumbnailer {version('ffmpegthumbnailer')}; velmora-cli {cli_version(cli)}. Clips: testsrc2 with "
          f"noise and a 440 Hz tone, 1280x720, {FPS} fps, a keyframe every {GOP} frames, {args.clip_seconds} s at "
          f"about {args.video_rate}. Keys: {', '.join(f'`{k}`' for k in args.key)}. Cells: video frames decoded (f) "
          "and seconds of sound. \"ffmpeg forced\": ffmpeg with -f mpegts or -f mpeg on the MPEG-TS and -PS kinds, "
          "\"-\" on the others or where not measured. \"scrambled\": the blocks the trailer records"
          + ("; with --whole-streams: MPEG-TS and -PS whole but for the last partial block." if args.whole_streams
             else "."))
    print("\nUnscrambled:\n")
    print(table(header, [row(f"{label} ({mib(path):.0f} MiB)", "none", untouched[cid])
                         for cid, label, path, _, _ in clips]))
    all_counts = sorted({b for *_, counts in clips for b in counts}, key=lambda b: -1 if b == "default" else int(b))
    for blocks in all_counts:
        for key in modes:
            rows = []
            for cid, label, *_ in clips:
                if (cid, blocks, key) in result:
                    n = recorded[cid, blocks, key]
                    prefix = "whole: " if args.whole_streams else "default: " if blocks == "default" else ""
                    rows.append(row(label, f"{prefix}{n} blocks", result[cid, blocks, key]))
            if rows:
                size = "the program's default" if blocks == "default" else f"{blocks} blocks ({int(blocks) / 2:g} MiB)"
                print(f"\n{size}, {mode_name(key)}:\n\n{table(header, rows)}")
    print("\nWho decodes anything, per block count (\"0\": no detecting player; \"-\": not measured, every player was "
          "already down to nothing at fewer blocks; forced ffmpeg left out):\n")
    print(table(["container", "key", *all_counts],
                [[label, mode_name(key, True), *(who_plays(result.get((cid, b, key))) for b in all_counts)]
                 for cid, label, *_ in clips for key in modes]))
    print("\nSmallest block count at which no player decodes a frame or a moment of sound and no thumbnail is made; "
          "in brackets, at which none decodes more than noise (at most 2 frames and half a second of sound). "
          "\"> N\": still playing at the largest count tried. Forced ffmpeg is left out of this.\n")
    print(table(["container", *(f"{mode_name(k)}".split(" (")[0] for k in modes)],
                [[label, *(f"{smallest.get((cid, k), '> ' + counts[-1])} ({noise.get((cid, k), '> ' + counts[-1])})"
                           for k in modes)] for cid, label, _, _, counts in clips]))


def cli_version(cli: Path) -> str:
    lines = subprocess.run([str(cli), "--version"], capture_output=True, text=True).stdout.splitlines()
    return lines[0].split()[-1] if lines else "?"


# --- keys ------------------------------------------------------------------------------------------


def random_keys(count: int) -> list[str]:
    """The keys people type: letters, digits, blanks, a few signs and non-ASCII letters, 3 to 20 long.
    A fixed seed, so that every run has the same keys."""
    rng = random.Random(7)
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_#!ÜÄßéö"
    return ["".join(rng.choice(letters) for _ in range(rng.randint(3, 20))) for _ in range(count)]


def keys_command(args):
    install_missing({"ffmpeg": ["ffmpeg"], "mpv": ["mpv"]})
    cli = find_cli(args.cli)
    work = work_folder(args.work)
    keys = random_keys(args.keys)
    rows = []
    for cid in ("avi", "xvid-mkv", "xvid-mp4", "h264-avi", "mpeg2-mkv"):
        clip = make_clip(cid, work / "clips", 60, "6M")
        copy = work / f"copy.{clip.suffix[1:]}"
        hits = {"mpv": [], "ffmpeg": []}
        for key in keys:
            shutil.copyfile(clip, copy)
            toggle(cli, copy, key, args.blocks)
            blocks = check_scrambled(copy, clip, args.blocks)
            for player, decoded in (("mpv", count_mpv(copy, 60, work)), ("ffmpeg", count_ffmpeg(copy, 60))):
                if decoded.frames:
                    hits[player].append(decoded.frames)
            toggle(cli, copy, key)
            check_restored(copy, clip, f"{cid} with key [{key}]")
        copy.unlink()
        name = RECIPES[cid].name if cid != "avi" else "Xvid in AVI"
        rows.append([name, blocks, len(keys), *(f"{len(h)} ({max(h, default=0)})" for h in hits.values())])
        progress(f"{name} done")
    print(table(["clip", "blocks scrambled", "keys", "mpv plays (most frames)", "ffmpeg plays (most frames)"], rows))


# --- toggle-time -----------------------------------------------------------------------------------

BIG_FILES = {"mkv": "mkv", "avi": "avi", "ts": "ts", "mpg": "vob-mp2"}


def drop_cache():
    subprocess.run(["sync"], check=True)
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    subprocess.run([*sudo, "tee", "/proc/sys/vm/drop_caches"], input=b"3", stdout=subprocess.DEVNULL, check=True)


def timed(action) -> float:
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def toggle_time_command(args):
    install_missing({"ffmpeg": ["ffmpeg"]})
    cli = find_cli(args.cli)
    work = work_folder(args.work)
    identical, rows = True, []
    for kind in args.kinds:
        recipe = RECIPES[BIG_FILES[kind]]
        original = work / f"big-{args.size_mib}.{recipe.ext}"
        if not original.exists():
            # One 60 s clip repeated by stream copy: each container writes its own headers, index
            # and timestamps for the whole length.
            progress(f"== making {recipe.label()}, {args.size_mib} MiB")
            clip = make_clip(BIG_FILES[kind], work / "clips", 60, "12M")
            ffmpeg(["-stream_loop", "-1", "-i", str(clip), "-map", "0", "-c", "copy", "-fs",
                    str(args.size_mib * 1_048_576), "-f", recipe.muxer, str(original)])
        copy = work / f"copy.{recipe.ext}"
        for whole in (False, True):
            progress(f"== {recipe.label()}, {'whole' if whole else 'default'}")
            shutil.copyfile(original, copy)
            times = {k: [] for k in ("enc_cold", "enc_sync", "res_cold", "res_sync", "enc_warm", "res_warm")}
            run_once = lambda: toggle(cli, copy, args.key, None, whole)  # noqa: E731
            for _ in range(args.runs):
                # Cold: nothing of the file in memory, as when a folder of recordings is toggled once.
                # velmora-cli leaves its writes to the page cache, so the sync after it is timed too.
                drop_cache()
                times["enc_cold"].append(timed(run_once))
                times["enc_sync"].append(timed(os.sync))
                blocks = check_scrambled(copy, original)
                drop_cache()
                times["res_cold"].append(timed(run_once))
                times["res_sync"].append(timed(os.sync))
                identical &= restored(copy, original)
            for _ in range(args.runs):
                # Warm: the whole file read just before, as right after copying or playing it.
                with copy.open("rb") as f:
                    while f.read(1 << 24):
                        pass
                times["enc_warm"].append(timed(run_once))
                times["res_warm"].append(timed(run_once))
                identical &= restored(copy, original)
            blocks = min(blocks, original.stat().st_size // BLOCK)
            cells = [f"{statistics.median(v):.2f}" for v in times.values()]
            progress(f"   {blocks} blocks: {' | '.join(cells)}")
            rows.append([recipe.label(), original.stat().st_size // 1_048_576, "whole" if whole else "default", blocks,
                         f"{blocks / 2:.1f}", *cells])
        copy.unlink()
    device = subprocess.run(["df", "-P", str(work)], capture_output=True, text=True).stdout.splitlines()[-1].split()[0]
    print(f"Measured {today()} with velmora-cli {cli_version(cli)}, {os.cpu_count()} cores, {device} under {work}. "
          f"Seconds, wall clock, the median of {args.runs} runs; cold: the page cache dropped just before; warm: the "
          "file read just before; \"sync\": the sync right after, until what velmora-cli wrote is on the disk. "
          f"\"whole\": with --whole-streams. {'With a key.' if args.key else 'Without a key.'} "
          f"Restored byte for byte every time: {'yes' if identical else 'no'}.\n")
    print(table(["file", "MiB", "settings", "blocks scrambled", "MiB scrambled", "encrypt, cold", "sync",
                 "restore, cold", "sync", "encrypt, warm", "restore, warm"], rows))
    if not identical:
        sys.exit(1)


def restored(copy: Path, original: Path) -> bool:
    """Whether the copy is back byte for byte; when not, it is made so for the next run."""
    if filecmp.cmp(copy, original, shallow=False):
        return True
    progress(f"{copy}: not restored byte for byte")
    shutil.copyfile(original, copy)
    return False


# --- unplayable ------------------------------------------------------------------------------------

UNPLAYABLE = ["mp4-index-last", "mp4", "mov", "mkv", "avi", "flv", "wmv", "ogv", "ts", "mpg", "vob", "3gp"]


def detected_format(path: Path) -> str:
    return run(["ffprobe", "-v", "quiet", "-show_entries", "format=format_name", "-of", "default=nw=1:nk=1",
                str(path)], 60).strip()


def frames_cell(decoded: Decoded, original: Decoded) -> str:
    """Frames decoded, and in brackets how many equal a frame of the original."""
    if not decoded.frames:
        return "0"
    known = set(original.hashes)
    return f"{decoded.frames} ({sum(h in known for h in decoded.hashes)})"


def unplayable_command(args):
    install_missing({"ffmpeg": ["ffmpeg"], "ffprobe": ["ffmpeg"]})
    cli = find_cli(args.cli)
    work = work_folder(args.work)
    seconds, main_rows, sweep_rows = 10, [], []
    for cid in UNPLAYABLE:
        recipe = RECIPES[cid]
        label = recipe.label(audio=False)
        clip = make_clip(cid, work / "clips", seconds, "24M", noise=24, audio=False)
        progress(f"== {label}")
        video = work / f"scrambled.{recipe.ext}"
        original = count_ffmpeg(clip, seconds)

        def scrambled_counts(blocks=None):
            shutil.copyfile(clip, video)
            toggle(cli, video, "", blocks)
            check_scrambled(video, clip, blocks)
            counts = (detected_format(video), count_ffmpeg(video, seconds), count_ffmpeg(video, seconds, recipe.demuxer))
            toggle(cli, video)
            check_restored(video, clip, f"{label}, {blocks or 'default'} blocks")
            return counts

        detected, by_detection, by_force = scrambled_counts()
        main_rows.append([label, f"{mib(clip):.1f}", original.frames, detected or "none",
                          frames_cell(by_detection, original),
                          f"{frames_cell(by_force, original)} (`-f {recipe.demuxer}`)"])
        if by_detection.frames or by_force.frames:
            whole = clip.stat().st_size // BLOCK
            cells = []
            for blocks in (16, 32, whole - 8, whole - 1, whole):
                _, d, f = scrambled_counts(blocks)
                cells.append(f"{frames_cell(d, original)} / {frames_cell(f, original)}")
            sweep_rows.append([label, whole, *cells])
        video.unlink(missing_ok=True)
    ffmpeg_version = subprocess.run(["ffmpeg", "-version"], capture_output=True, text=True).stdout.split()[2]
    print(f"Test videos: ffmpeg {ffmpeg_version}, {seconds} s of testsrc2 with noise, 1280x720, {FPS} fps, a keyframe "
          f"every {GOP} frames, about 24 Mbit/s, no audio. Scrambled by velmora-cli {cli_version(cli)} with its "
          "default settings and no key. Frames: decoded by ffmpeg, in brackets those identical to a frame of the "
          "original.\n")
    print(table(["container", "size (MiB)", "frames", "detected as", "frames, detected", "frames, format forced"],
                main_rows))
    if sweep_rows:
        print("\nFormats that still play, scrambled with more blocks (frames detected / forced; \"all\" is every "
              "whole 512 KiB block of the file: the part of the last block that is not whole stays as it was):\n")
        print(table(["container", "whole blocks in file", "16 blocks", "32 blocks", "all but 8", "all but 1", "all"],
                    sweep_rows))


# --- Command line ----------------------------------------------------------------------------------


def words(text: str) -> list[str]:
    return text.replace(",", " ").split()


def block_counts(text: str) -> list[str]:
    counts = words(text)
    for c in counts:
        if c != "default" and not (c.isdigit() and 8 <= int(c) <= 200_000):
            raise argparse.ArgumentTypeError(f"{c!r} is not a block count (8 to 200000, or \"default\")")
    return counts


def choices(allowed):
    def parse(text):
        chosen = words(text)
        unknown = [c for c in chosen if c not in allowed]
        if unknown or not chosen:
            raise argparse.ArgumentTypeError(f"unknown: {' '.join(unknown) or '(none)'}; choose from {' '.join(allowed)}")
        return chosen
    return parse


def positive(text: str) -> int:
    if not text.isdigit() or int(text) <= 0:
        raise argparse.ArgumentTypeError(f"{text!r} is not a positive whole number")
    return int(text)


def rate(text: str) -> str:
    try:
        if text.endswith("M") and float(text[:-1]) > 0:
            return text
    except ValueError:
        pass
    raise argparse.ArgumentTypeError(f"{text!r} is not a bitrate in Mbit/s such as 6M")


def parser() -> argparse.ArgumentParser:
    top = argparse.ArgumentParser(description=__doc__.split("\n\n")[0], epilog="Lists take spaces or commas.")
    sub = top.add_subparsers(dest="command", required=True)

    def command(name, help_text, func):
        p = sub.add_parser(name, help=help_text, description=help_text)
        p.add_argument("work", nargs="?", default="", help="work folder, reused between runs (default: a new "
                       "temporary one)")
        p.add_argument("--cli", default=os.environ.get("VELMORA_CLI", ""),
                       help="velmora-cli to measure (default: $VELMORA_CLI, else build/release's, built when missing)")
        p.set_defaults(func=func)
        return p

    containers = [c for c in RECIPES if c not in ("master", "mp4-index-last", "vob-mp2", "xvid-mkv", "xvid-mp4",
                                                  "h264-avi", "mpeg2-mkv")]
    p = command("players", "How many blocks have to be scrambled before the Linux players decode nothing?",
                players_command)
    p.add_argument("--clip-seconds", type=positive, default=60, help="length of the test clips (60)")
    p.add_argument("--video-rate", type=rate, default="6M", help="video bitrate of the test clips (6M)")
    p.add_argument("--blocks", type=block_counts, default=block_counts("8 16 32 48 64 96 128"),
                   help='block counts, smallest first; "default" scrambles with the program\'s own choice '
                   '("8 16 32 48 64 96 128")')
    p.add_argument("--containers", type=choices(containers), default=[c for c in containers if c != "mpg2"],
                   help=f"only these ({' '.join(containers)}; default: all but mpg2)")
    p.add_argument("--players", type=choices(PLAYERS), default=PLAYERS, help=f"only these ({' '.join(PLAYERS)})")
    p.add_argument("--key", action="append", help=f"key for the keyed runs, repeat for several (\"{DEFAULT_KEY}\")")
    p.add_argument("--full-sweep", action="store_true",
                   help="keep measuring a container after every player is down to nothing")
    p.add_argument("--long-seconds", type=int, default=0, help="also make a long MPEG-TS and MPEG-PS clip (0: none)")
    p.add_argument("--long-rate", type=rate, default="12M", help="video bitrate of the long clips (12M)")
    p.add_argument("--long-blocks", type=block_counts, help="block counts for the long clips (default: --blocks)")
    p.add_argument("--baseline", choices=["all", "ffmpeg"], default="all",
                   help="measure the untouched clips with every player or ffmpeg alone (all)")
    p.add_argument("--vlc-rate", type=float, default=4,
                   help="VLC's playback speed; 4 is the fastest at which it still outputs sound (4)")
    p.add_argument("--whole-streams", action="store_true", help="scramble with --whole-streams")

    p = command("keys", "Does what mpv and ffmpeg find in a scrambled file depend on the key?", keys_command)
    p.add_argument("--keys", type=positive, default=24, help="random keys per clip, the same every run (24)")
    p.add_argument("--blocks", type=positive, help="pass --blocks N (default: the program's own choice)")

    p = command("toggle-time", "How long does velmora-cli take on a big file? Drops the page cache (root or sudo).",
                toggle_time_command)
    p.add_argument("--size-mib", type=positive, default=1024, help="size of each file (1024)")
    p.add_argument("--kinds", type=choices(list(BIG_FILES)), default=list(BIG_FILES),
                   help=f"only these ({' '.join(BIG_FILES)})")
    p.add_argument("--key", default="", help="time it with this key (default: without)")
    p.add_argument("--runs", type=positive, default=3, help="runs of each measurement; the table shows the median (3)")

    command("unplayable", "What ffmpeg alone still decodes, detecting the format and forced to it.",
            unplayable_command)
    return top


def main():
    args = parser().parse_args()
    if getattr(args, "key", None) is None and args.command == "players":
        args.key = [DEFAULT_KEY]
    args.func(args)


if __name__ == "__main__":
    main()
