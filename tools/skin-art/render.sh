#!/usr/bin/env bash
# Rebuilds the skin generator and redraws every skin picture of both
# programs into resources/, then assembles the DOWNLOAD animation.
#   tools/skin-art/render.sh            # pictures only
#   tools/skin-art/render.sh --mockup   # also preview screens in $MOCKUP_DIR (/tmp)
# Colours come from tools/skin-art/palette.json (override with PALETTE=file).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${SKIN_ART_BUILD:-$repo/build-skin-art}
palette=${PALETTE:-$here/palette.json}
convert=${CONVERT:-convert}
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

log="$frames/build.log"
if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" -j2; } >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$frames}
"$build/skin-art" --out "$repo/resources" --palette "$palette" --frames "$frames"

# Full opaque frames, one shared palette, no dithering: the dialog draws each
# frame straight over the last one, so no frame may rely on transparency.
mkdir -p "$repo/resources/updater/gif"
"$convert" -delay 6 -loop 0 "$frames"/frame-*.png +dither -colors 255 \
    "$repo/resources/updater/gif/DOWNLOAD.gif"

if [[ "${1:-}" == "--mockup" ]]; then
    "$build/skin-art" --out "$repo/resources" --mockup "${MOCKUP_DIR:-/tmp}"
    echo "render.sh: previews in ${MOCKUP_DIR:-/tmp}/mockup*.png"
fi
echo "render.sh: pictures written under $repo/resources"
