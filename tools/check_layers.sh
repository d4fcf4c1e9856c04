#!/usr/bin/env bash
# Each layer includes only from the layers beneath it, and only the SDL
# platform includes SDL. The program uses neither iostreams nor
# std::filesystem: their code is most of what the game would map of the C++
# library (half a megabyte). Prints every include that breaks the rules.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the folders its files may include from (besides its own)
declare -A allowed=(
  [app/base]=""
  [media]="app/base"
  [app/toolkit]="app/base media"
  [reward]="app/base media app/toolkit"
  [game]="app/base media app/toolkit reward"
  [app/sdl]="app/base media app/toolkit"
)

bad=0
for layer in "${!allowed[@]}"; do
  while IFS= read -r file; do
    while IFS= read -r inc; do
      dir=$(dirname "$inc")
      ok=0
      for a in "$layer" ${allowed[$layer]}; do [ "$dir" = "$a" ] && ok=1; done
      [ $ok = 1 ] || { echo "$file includes $inc"; bad=1; }
    done < <(sed -n 's/^#include "\(.*\)"/\1/p' "$file")
    if [ "$layer" != app/sdl ] && grep -qE '^#include <(SDL|fontconfig)' "$file"; then
      echo "$file includes SDL outside the platform layer"
      bad=1
    fi
  done < <(git ls-files "$layer/*.cpp" "$layer/*.h" | grep -v "^$layer/.*/.*/" | grep -E "^$layer/[^/]+$")
done
git ls-files 'app/*.cpp' 'app/*.h' 'media/*.cpp' 'media/*.h' 'game/*.cpp' 'game/*.h' 'reward/*.cpp' \
  'reward/*.h' | xargs grep -lE '^#include <(iostream|[io]?fstream|sstream|filesystem)>' |
  sed 's/$/ includes iostreams or std::filesystem/' | grep . && bad=1
exit $bad
