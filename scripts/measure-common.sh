# Shared by the measuring scripts (sourced): installing what they need from Debian, and the
# velmora-cli they measure. Expects $repo, the top of the sources.

# Installs the Debian packages named, when any are named; asks for sudo when not root.
install_packages() {
  [ $# -gt 0 ] || return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

# Sets cli: $VELMORA_CLI, or the one built into build/release (built here when it is missing).
find_cli() {
  cli=${VELMORA_CLI:-}
  if [ -z "$cli" ]; then
    cmake -S "$repo" -B "$repo/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
    cmake --build "$repo/build/release" --target velmora-cli >/dev/null
    cli=$repo/build/release/velmora-cli
  fi
}

# Sets work: the folder given ($1, made if missing) or a new temp folder, with `sub` inside it, its
# path made absolute, and velmora-cli's settings kept in it (private_settings).
work_folder() {  # [folder] sub
  work=${1:-$(mktemp -d)}
  mkdir -p "$work/$2"
  work=$(cd "$work" && pwd)
  private_settings "$work"
}

# velmora-cli reads the user's settings, writes a log and a journal and clears thumbnails of the
# files it scrambles: keep all of it out of the user's own folders, in $1.
private_settings() {  # folder
  export XDG_DATA_HOME=$1/data XDG_CACHE_HOME=$1/cache XDG_CONFIG_HOME=$1/config
  mkdir -p "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME"
}

# How many blocks a scrambled file's trailer says were scrambled: the int32 at offset 64 of the
# 96-byte trailer, little-endian with every byte inverted. Three bytes hold every count the program
# takes.
trailer_blocks() {  # file
  tail -c 96 "$1" | od -An -t u1 -j 64 -N 4 | awk '{ print (255 - $1) + 256 * (255 - $2) + 65536 * (255 - $3) }'
}
