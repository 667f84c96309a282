#!/usr/bin/env bash
# Screenshots of Norvale Discovery.
#
#   tools/screenshots/take.sh [OUTDIR]              the real program under Xvfb
#   tools/screenshots/take.sh --offscreen [OUTDIR]  the same views rendered offscreen
#                                                   from a made-up device table
#
# The Xvfb run starts norvale-discovery inside the loopback-only network
# namespace (../shared/tools/netns-run): first without devices, for the
# message that none was found, then with --demo (the simulated NAS network),
# and clicks through the window with xdotool, saving the screen with
# ImageMagick's import. BUILD names the build folder (default: build).
# Pictures: message.png, main.png, selected.png, about.png, help.png,
# selected-ja.png (the window of a Japanese user), and of the updater
# updater-question.png (Xvfb only), update-progress.png (halfway through a
# download) and update-progress-installing.png (both modes, from
# updater-shots: a real update from a private nginx, inside the namespace),
# of the demo devices' shares (needs root for the private smbd): drivemap.png
# (mapped and unmapped rows), drivemap-letter.png (the letter question with
# its list open) and sharefolders.png (offscreen also empty.png,
# selected-qmzben.png and the keyboard's focus mark, twice enlarged, on a
# list row, an action button and the drive-letter combo box: focus-row.png,
# focus-button.png, focus-combo.png).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
offscreen=0
if [[ "${1:-}" == "--offscreen" ]]; then
  offscreen=1
  shift
fi
build="${BUILD:-$root/build}"
out="$(realpath -m "${1:-$build/screenshots}")"
mkdir -p "$out"

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target norvale-discovery norvale-autoupdate nas-sim window-shots updater-shots norvale_languages >/dev/null
netns="${NORVALE_NETNS_RUN:-$root/../shared/tools/netns-run}"
if [[ -x "$netns" ]]; then
  "$netns" "$build/bin/updater-shots" "$out"
else
  echo "take.sh: $netns is missing: no pictures of the progress dialog" >&2
fi

if [[ $offscreen == 1 ]]; then
  QT_QPA_PLATFORM=offscreen "$build/bin/window-shots" "$out"
  japanese="$(mktemp -d)"
  QT_QPA_PLATFORM=offscreen "$build/bin/window-shots" "$japanese" ja_JP >/dev/null
  mv "$japanese/selected.png" "$out/selected-ja.png"
  rm -rf "$japanese"
  echo "wrote $out/selected-ja.png"
  exit 0
fi

[[ -x "$netns" ]] || { echo "take.sh: $netns is missing; use --offscreen" >&2; exit 1; }
exec "$netns" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$root/tools/screenshots/xvfb-session.sh" "$build/bin/norvale-discovery" "$out"
