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
