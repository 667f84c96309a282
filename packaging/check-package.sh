#!/usr/bin/env bash
# packaging/check-package.sh [BUILD]
# Builds the Debian package (cmake --build BUILD --target deb; BUILD defaults
# to build) and checks it: desktop-file-validate on its desktop entry,
# appstreamcli validate --no-net on its metainfo, lintian (no errors), and,
# unpacked into a scratch root with dpkg -x, that the launcher and both
# programs start and that the language files lie beside the programs' real
# path. A missing checker is skipped with a note.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
failed=0
fail() { echo "check-package: $*" >&2; failed=1; }
have() { command -v "$1" >/dev/null || { echo "check-package: $1 is not installed: skipped" >&2; return 1; }; }

cmake --build "$build" --target deb
version="$(sed -n 's/^#define NORVALE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/Version.h")"
deb="$build/norvale-discovery_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || { echo "check-package: $deb was not written" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
echo "check-package: $deb"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "no library dependencies (dpkg-shlibdeps)"

if have desktop-file-validate; then
  desktop-file-validate "$scratch/usr/share/applications/norvale-discovery.desktop" ||
    fail "desktop-file-validate found errors"
fi
if have appstreamcli; then
  appstreamcli validate --no-net "$scratch"/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli found errors"
fi
if have lintian; then
  # lintian says so when it runs as root; its findings are what counts.
  lintian --fail-on error "$deb" 2> >(grep -v 'root privileges' >&2) || fail "lintian found errors"
fi

# The launcher and both programs, from the unpacked package.
for program in "usr/bin/norvale-discovery --help" "usr/bin/norvale-shares --help" \
               "usr/lib/norvale-discovery/norvale-discovery --version" \
               "usr/lib/norvale-discovery/norvale-shares --help"; do
  read -r path option <<<"$program"
  "$scratch/$path" "$option" >/dev/null || fail "$path $option did not start"
done
real="$(dirname "$(readlink -f "$scratch/usr/bin/norvale-discovery")")"
[[ -f "$real/RES_German.rcc" ]] || fail "the language files are not beside $real/norvale-discovery"
[[ $failed == 0 ]] && echo "check-package: the package is sound"
exit "$failed"
