#!/usr/bin/env bash
# Builds the Debian package in Release, unpacks it into a scratch folder as dpkg would lay it out, and
# checks what a user gets: the package's dependencies, its files, the desktop metadata, and that the
# installed programs start from there and find their language files.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR VERSION CMAKE CPACK GENERATOR
set -euo pipefail

source_dir=$1 build_dir=$2 version=$3 cmake=$4 cpack=$5 generator=$6

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

scratch=$(mktemp -d)
velmora_pid=
cleanup() {
  if [ -n "$velmora_pid" ]; then kill -KILL "$velmora_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- Build the package (a build folder of its own, kept between runs so that a rerun only relinks).
"$cmake" -S "$source_dir" -B "$build_dir" -G "$generator" -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF \
  -DVELMORA_SANITIZE=OFF -DVELMORA_WERROR=OFF >"$scratch/configure.log" ||
  { cat "$scratch/configure.log"; exit 1; }
"$cmake" --build "$build_dir" --parallel "$(nproc)" --target velmora velmora-cli velmora_languages
rm -f "$build_dir"/velmora_*.deb
(cd "$build_dir" && "$cpack" -G DEB >"$scratch/cpack.log") || { cat "$scratch/cpack.log"; exit 1; }
debs=("$build_dir"/velmora_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package in $build_dir" >&2; exit 1; }
deb=${debs[0]}

# --- The control fields: what dpkg will pull in.
[ "$(dpkg-deb -f "$deb" Package)" = velmora ] || fail "package name is '$(dpkg-deb -f "$deb" Package)'"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is '$(dpkg-deb -f "$deb" Version)'"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
dependency_names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/^ *//; s/ *$//' | sed '/^$/d')
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libpugixml1v5 \
  fonts-liberation fonts-wqy-microhei; do
  grep -qx "$needed" <<<"$dependency_names" || fail "Depends lacks $needed"
done
# Build and test tools have no place on a user's machine.
while read -r name; do
  case $name in
    *-dev | libasan* | libubsan* | liblsan* | libgtest* | libgmock* | libbenchmark* | libqt6test*)
      fail "Depends names the build-time package $name" ;;
  esac
done <<<"$dependency_names"

# --- The files, unpacked as dpkg would put them below /.
root=$(realpath "$scratch")/root
dpkg -x "$deb" "$root"
program_dir=$root/usr/lib/velmora
unexpected=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$unexpected" ] || fail "files outside /usr: $unexpected"
for name in velmora velmora-cli; do
  [ -x "$program_dir/$name" ] && [ ! -L "$program_dir/$name" ] || fail "no executable $name in the program folder"
  link=$root/usr/bin/$name
  [ -L "$link" ] || fail "/usr/bin/$name is not a symlink"
  [ "$(readlink -f "$link")" = "$program_dir/$name" ] || fail "/usr/bin/$name does not lead to the program folder"
  case $(readlink "$link") in /*) fail "/usr/bin/$name is an absolute link" ;; esac
done
languages=("$source_dir"/Languages/*.xml)
[ "$(find "$program_dir/Languages" -name '*.xml' | wc -l)" -eq ${#languages[@]} ] ||
  fail "the program folder's Languages hold other files than the sources"
for file in "${languages[@]}"; do
  cmp -s "$file" "$program_dir/Languages/$(basename "$file")" || fail "language file $(basename "$file") differs"
done

app_id=com.brindlework.velmora
icons=$root/usr/share/icons/hicolor
[ -f "$icons/scalable/apps/$app_id.svg" ] || fail "no scalable icon"
for size in 16 24 32 48 64 128 256; do
  png=$icons/${size}x${size}/apps/$app_id.png
  if [ ! -f "$png" ]; then
    fail "no ${size}x${size} icon"
  elif ! file -b "$png" | grep -q "^PNG image data, $size x $size,"; then
    fail "the ${size}x${size} icon is $(file -b "$png")"
  fi
done
desktop=$root/usr/share/applications/$app_id.desktop
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=velmora %F" "$desktop" || fail "the desktop entry starts another command"
grep -q "^MimeType=.*inode/directory;" "$desktop" || fail "the desktop entry does not open folders"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream release is not $version"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"

# --- The file managers' menu items: each where its file manager looks, for the desktop entry's types.
servicemenu=$root/usr/share/kio/servicemenus/$app_id.desktop
nemo_action=$root/usr/share/nemo/actions/$app_id.nemo_action
nautilus_extension=$root/usr/share/nautilus-python/extensions/velmora_nautilus.py
for file in "$servicemenu" "$nemo_action" "$nautilus_extension"; do
  [ -f "$file" ] || fail "no ${file#"$root"} in the package"
done
listed_types() { sed -n "s/^$1=//p" "$2" | tr ';' '\n' | sed '/^$/d' | sort; }
for menu in "MimeType:$servicemenu" "Mimetypes:$nemo_action"; do
  key=${menu%%:*} file=${menu#*:}
  [ "$(listed_types "$key" "$file")" = "$(listed_types MimeType "$desktop")" ] ||
    fail "${file#"$root"} offers other types than the desktop entry"
  grep -qxF "Exec=velmora-cli --file-manager -- %F" "$file" || fail "${file#"$root"} starts another command"
done
# desktop-file-validate knows Type=Service as KDE's, but holds MimeType and Actions to be keys of
# applications only, and KIO needs both. Anything else it says counts.
validation=$(desktop-file-validate "$servicemenu" 2>&1 || true)
validation=$(grep -v -e 'key "MimeType" is present in group "Desktop Entry", but the type is "Service" while' \
  -e 'key "Actions" is present in group "Desktop Entry", but the type is "Service" while' <<<"$validation" || true)
[ -z "$validation" ] || fail "desktop-file-validate rejects the service menu: $validation"
status=0  # 77: skipped without python3-nautilus
/usr/bin/python3 -B "$source_dir/tests/packaging/nautilus_extension_test.py" "$nautilus_extension" "$desktop" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail "the installed GNOME Files extension fails its test"

# --- velmora-cli, started through its link on the PATH.
cli_version=$("$root/usr/bin/velmora-cli" --version) || fail "velmora-cli --version failed"
[ "$cli_version" = "$version" ] || fail "velmora-cli --version says '$cli_version'"

# --- The window program, started through its link with its own data and runtime folders. The
# installer's language choice (German) beside the executable makes it load Languages/German.xml from the
# folder it resolves as its own; strace shows whether that open succeeds.
export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_DATA_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[Default]\nRead=0\nLangId=German\n' >"$program_dir/SetupLang.ini"
data_folder=$XDG_DATA_HOME/Brindlework/Velmora
trace=$scratch/trace.txt
strace -f -qq -e trace=openat -o "$trace" "$root/usr/bin/velmora" >"$scratch/velmora.out" 2>&1 &
strace_pid=$!
german="\"$program_dir/Languages/German.xml\""
loaded=false
for _ in $(seq 100); do  # up to 20 s for a cold start under strace
  velmora_pid=$(pgrep -P "$strace_pid" || true)
  if grep -F "$german" "$trace" 2>/dev/null | grep -Eq '= [0-9]+$' && [ -f "$data_folder/Log.txt" ]; then
    loaded=true
    break
  fi
  kill -0 "$strace_pid" 2>/dev/null || break
  sleep 0.2
done
$loaded || fail "velmora did not open $german"
sleep 1  # past the window's creation and into the event loop
if [ -n "$velmora_pid" ] && kill -0 "$velmora_pid" 2>/dev/null; then
  [ "$(readlink "/proc/$velmora_pid/exe")" = "$program_dir/velmora" ] || fail "velmora runs from elsewhere"
  kill -TERM "$velmora_pid"
else
  fail "velmora ended on its own"
  cat "$scratch/velmora.out" >&2
fi
wait "$strace_pid" || true
velmora_pid=
if grep -F "/Languages/" "$trace" | grep -Fv "$program_dir/Languages/" | grep -q .; then
  fail "velmora looked for language files outside its program folder"
fi
grep -q "Start program" "$data_folder/Log.txt" || fail "no start in the log"
grep -q "Brindlework Velmora $version" "$data_folder/Log.txt" || fail "the log does not name version $version"
grep -qx "Read=1" "$data_folder/SetupLang.ini" 2>/dev/null ||
  fail "the installer's language choice was not taken over into the data folder"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "The package installs and runs: $(basename "$deb")"
