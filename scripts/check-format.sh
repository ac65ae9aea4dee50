#!/usr/bin/env bash
# Checks that every C++ source of ours matches .clang-format, changing nothing; with --fix, formats
# them in place instead. Exits 1 and names the files when some are not formatted, 2 on a usage error
# or a missing clang-format.
#
#   scripts/check-format.sh [--fix] [ROOT]
#
# ROOT (default: the repository) is searched for *.cpp, *.h, *.hpp and *.cc files, passing over
# hidden folders, build trees (any folder holding a CMakeCache.txt, and the top-level build/ and
# out/) and what CMake generates into them. Set CLANG_FORMAT to use another binary; the style is
# pinned to Debian 12's clang-format 14, whose output other versions may not match byte for byte.
set -euo pipefail

fix=0
root=
for arg in "$@"; do
  case "$arg" in
    --fix) fix=1 ;;
    -h | --help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "check-format: unknown option $arg" >&2; exit 2 ;;
    *) [ -z "$root" ] || { echo "check-format: one ROOT only" >&2; exit 2; }; root=$arg ;;
  esac
done
root=${root:-$(dirname "$0")/..}
cd "$root"

clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null 2>&1; then
  echo "check-format: $clang_format not found (Debian: apt-get install clang-format)" >&2
  exit 2
fi
[ -f .clang-format ] || { echo "check-format: no .clang-format in $PWD" >&2; exit 2; }

# Build trees may sit anywhere a developer configured one; a CMakeCache.txt marks each.
prune=(-name '.?*' -o -name build -o -name out -o -name CMakeFiles -o -name '*_autogen')
while IFS= read -r -d '' cache; do
  prune+=(-o -path "$(dirname "$cache")")
done < <(find . -mindepth 1 \( -name '.?*' -o -name build -o -name out \) -prune -o -name CMakeCache.txt -print0)

files=()
while IFS= read -r -d '' file; do
  files+=("${file#./}")
done < <(find . -mindepth 1 \( "${prune[@]}" \) -prune -o -type f \
              \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) -print0 | sort -z)
[ ${#files[@]} -gt 0 ] || { echo "check-format: no C++ sources under $PWD" >&2; exit 2; }

if [ "$fix" -eq 1 ]; then
  "$clang_format" -i --style=file "${files[@]}"
  echo "Formatted ${#files[@]} files."
  exit 0
fi

# One run over every file (a process per file is slow); its diagnostics name the files that differ.
set +e
report=$("$clang_format" --dry-run --Werror --style=file "${files[@]}" 2>&1)
status=$?
set -e
mapfile -t unformatted < <(printf '%s\n' "$report" |
                           sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: code should be clang-formatted.*/\1/p' |
                           sort -u)
if [ "$status" -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
  printf '%s\n' "$report" >&2
  echo "check-format: $clang_format failed" >&2
  exit 2
fi
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "These files do not match .clang-format:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "Format them with: cmake --build build/test --target format   (or scripts/check-format.sh --fix)" >&2
  exit 1
fi
echo "All ${#files[@]} C++ sources match .clang-format."
