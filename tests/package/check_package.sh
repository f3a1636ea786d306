#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what it holds:
# the layout under /usr, the runnable programs, the declared dependencies.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/zvrx-package-XXXXXX")
# cpack's install step writes install_manifest.txt into the build folder:
# the build folder is left as it was found.
manifest="$build/install_manifest.txt"
if [[ -e $manifest ]]; then cp -p "$manifest" "$work/manifest.before"; fi
cleanup() {
  if [[ -e $work/manifest.before ]]; then
    mv "$work/manifest.before" "$manifest"
  else
    rm -f "$manifest"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$work" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$work"/mail-zevrox_*_"$(dpkg --print-architecture)".deb)
[[ ${#debs[@]} -eq 1 ]] || fail "expected one mail-zevrox_<version>_<arch>.deb in $work: $(ls "$work")"
deb=${debs[0]}

dpkg-deb --contents "$deb" >"$work/contents"
# "mode owner size date time path": the path from column 6 on (it may hold blanks).
awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' "$work/contents" | sed 's|^\./|/|' >"$work/paths"

must_have() {
  grep -qxF "$1" "$work/paths" || fail "missing $1"
}
must_run() {
  local line
  line=$(awk -v p=" .$1" 'substr($0, length($0) - length(p) + 1) == p { print $1 }' "$work/contents")
  [[ $line == -rwxr-xr-x ]] || fail "$1 is not runnable ($line)"
}

dist="/usr/lib/mail-zevrox/Installer Resources"
for path in /usr/bin/zvrxctl /usr/bin/mail-zevrox-install /usr/lib/mail-zevrox/Install \
            "$dist/Zvrx.exe" "$dist/MailZevrox.exe"; do
  must_have "$path"
  must_run "$path"
done
for path in "$dist/Zvrx Staffs/LICENSE" "$dist/Zvrx Staffs/Regist" "$dist/Zvrx Staffs/kZVj-128" \
            "$dist/Method/"; do
  must_have "$path"
done
# Whatever else the build's distribution folder holds (the help viewer and
# its pictures once built) is in the package too.
while IFS= read -r -d '' file; do
  must_have "$dist/${file#"$build/Installer Resources/"}"
done < <(find "$build/Installer Resources" -type f -print0)
# Nothing but the suite: no build folders, no tests.
if grep -v -e '^/usr/bin/' -e '^/usr/lib/mail-zevrox/' -e '^/usr/$' -e '^/usr/lib/$' -e '^/$' "$work/paths"; then
  fail "unexpected paths above"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 qt6-qpa-plugins libjpeg62-turbo libasound2 libssl3 fonts-ipafont-gothic; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done
[[ $(dpkg-deb -f "$deb" Package) == mail-zevrox ]] || fail "package name"
echo "package: $(basename "$deb") holds $(wc -l <"$work/paths") entries"
