#!/bin/sh
# Fails when a source includes a folder above its own layer. The layers,
# bottom-up, are the order below; app/ may use every layer, cli/ every one
# but ui/. Usage: check-layers.sh <source root>
set -u
root=${1:-.}
layers="audio core tags skin joblist convert preview commands ui"
status=0

# check <folder> <folders it may include>
check() {
    folder=$1
    allowed=$2
    [ -d "$root/$folder" ] || return 0
    for file in "$root/$folder"/*; do
        [ -f "$file" ] || continue
        grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]*/' "$file" |
        while IFS= read -r line; do
            target=$(printf '%s\n' "$line" | sed 's|^[^"]*"\([^"/]*\)/.*|\1|')
            case " $allowed " in
                *" $target "*) ;;
                *) echo "$file:$line: $folder/ may not include $target/" ;;
            esac
        done
    done
}

below=""
report=$(
    for folder in $layers; do
        below="$below $folder"
        check "$folder" "$below"
    done
    check cli "audio core tags skin joblist convert preview commands cli"
    check app "$layers app"
)
if [ -n "$report" ]; then
    printf '%s\n' "$report"
    status=1
fi
exit $status
