#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer, naming file and line.
# A folder of src/ is a layer; this is their order, bottom up (the README's layout table).
set -euo pipefail
cd "$(dirname "$0")/.."
layers=(base text keys settings engine ocr result capture update pipeline platform windows app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

status=0
declare -A seen
while IFS= read -r file; do
    folder=${file#src/}
    folder=${folder%%/*}
    if [[ -z "${rank[$folder]+set}" ]]; then
        echo "$file: the folder src/$folder is not in the layer table of scripts/check-layers.sh"
        status=1
        continue
    fi
    while IFS=: read -r line included; do
        [[ -z "${rank[$included]+set}" ]] && continue
        [[ "$included" != "$folder" ]] && seen["$folder>$included"]=1
        if (( rank[$included] > rank[$folder] )); then
            echo "$file:$line: includes $included/, a higher layer than $folder/"
            status=1
        fi
    done < <(grep -n -oE '^#include "[a-z]+/' "$file" | sed -E 's/^([0-9]+):#include "([a-z]+)\//\1:\2/')
done < <(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h')

# Which implementation of a desktop service runs is the platform loader's choice alone: above
# platform/, only its interfaces and the freedesktop services every session has are included.
while IFS=: read -r file line _; do
    echo "$file:$line: includes a session's own implementation; take it from PlatformLoader"
    status=1
done < <(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' | grep -v '^src/platform/' |
    xargs grep -nE '^#include "platform/(x11|atspi|null|wayland|gnome|kde)/' || true)

for pair in "${!seen[@]}"; do
    a=${pair%%>*} b=${pair##*>}
    if [[ -n "${seen[$b>$a]+set}" && "$a" < "$b" ]]; then
        echo "src/$a/ and src/$b/ include each other"
        status=1
    fi
done
[[ $status -eq 0 ]] && echo "layers: every include points down (${layers[*]})"
exit $status
