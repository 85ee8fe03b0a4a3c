#!/usr/bin/env bash
# deb_package_test.sh BUILD_DIR VERSION GUI: makes the .deb of the build in
# BUILD_DIR with CPack, in a temporary folder, and checks what a machine that
# installs it gets: both programs, the menu entry and its icon, both manual
# pages, the completion, the copyright file and the changelog; Qt and SQLite
# among the dependencies; the version the programs print; and the unpacked
# programs working from another folder, keeping their installation in the
# user's data folder. Exit 77 (skipped) when the Debian tools are missing.
set -euo pipefail
build=$1 version=$2 gui=$3

for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is missing (dpkg-dev and file make Debian packages)"
    exit 77
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack did not make the package"; }
debs=("$tmp"/out/brenquil_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single brenquil_*.deb: ${debs[*]}"
deb=${debs[0]}
[ "$(basename "$deb")" = "brenquil_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "package named $(basename "$deb")"

listing=$(dpkg-deb -c "$deb")
wanted=(./usr/bin/brenquil-cli
        ./usr/share/man/man1/brenquil-cli.1.gz
        ./usr/share/bash-completion/completions/brenquil-cli
        ./usr/share/doc/brenquil/copyright
        ./usr/share/doc/brenquil/changelog.gz)
if [ "$gui" = ON ]; then
  wanted+=(./usr/bin/brenquil
           ./usr/share/man/man1/brenquil.1.gz
           ./usr/share/applications/brenquil.desktop
           ./usr/share/icons/hicolor/scalable/apps/brenquil.svg)
fi
for path in "${wanted[@]}"; do
  grep -q " $path\$" <<<"$listing" || fail "$path is not in the package:"$'\n'"$listing"
done

info=$(dpkg-deb -I "$deb")
[ "$(dpkg-deb -f "$deb" Package)" = brenquil ] || fail "package name: $info"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version: $info"
depends=$(dpkg-deb -f "$deb" Depends)
grep -q "libsqlite3-0" <<<"$depends" || fail "SQLite is not a dependency: $depends"
if [ "$gui" = ON ]; then
  grep -q "libqt6widgets6" <<<"$depends" || fail "Qt is not a dependency: $depends"
fi

# The unpacked package, run from a folder of its own, for a user whose
# environment names no installation.
dpkg-deb -x "$deb" "$tmp/root"
bin=$tmp/root/usr/bin
mkdir -p "$tmp/elsewhere" "$tmp/user"
cd "$tmp/elsewhere"
run() { env -u BRENQUIL_HOME HOME="$tmp/user" XDG_DATA_HOME="$tmp/xdg" "$@"; }

[ "$(run "$bin/brenquil-cli" --version)" = "brenquil-cli $version" ] ||
  fail "brenquil-cli --version: $(run "$bin/brenquil-cli" --version)"
if [ "$gui" = ON ]; then
  [ "$(run "$bin/brenquil" --version)" = "brenquil $version" ] ||
    fail "brenquil --version: $(run "$bin/brenquil" --version)"
  run "$bin/brenquil" --help | grep -q BRENQUIL_HOME || fail "brenquil --help lacks the rule"
  entry=$tmp/root/usr/share/applications/brenquil.desktop
  for line in Type=Application Name=Brenquil Exec=brenquil Icon=brenquil; do
    grep -qx "$line" "$entry" || fail "the menu entry lacks $line"
  done
  grep -Eqx 'Categories=(.*;)?Utility;(.*;)?' "$entry" && grep -Eqx 'Categories=(.*;)?Database;(.*;)?' "$entry" ||
    fail "the menu entry's categories: $(grep Categories "$entry")"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi
fi

setup=$(run "$bin/brenquil-cli" setup) || fail "setup: $setup"
[ -f "$tmp/xdg/brenquil/indices.mdb" ] || fail "setup did not make \$XDG_DATA_HOME/brenquil: $setup"
grep -q "$tmp/xdg/brenquil" <<<"$setup" || fail "setup does not say where: $setup"
run "$bin/brenquil-cli" demo d >/dev/null
run "$bin/brenquil-cli" transform --quiet --home d/home --data d/datos ||
  fail "the demo's transformation ended with $?"
[ -z "$(ls -A "$tmp/user")" ] || fail "something was written in the user's home: $(ls -A "$tmp/user")"

for page in "$tmp"/root/usr/share/man/man1/*.gz; do
  gzip -t "$page" || fail "$page is not gzip"
done
bash -n "$tmp/root/usr/share/bash-completion/completions/brenquil-cli" || fail "completion syntax"
changelog=$(zcat "$tmp/root/usr/share/doc/brenquil/changelog.gz" | head -n 1)
[ "$changelog" = "brenquil ($version) unstable; urgency=medium" ] || fail "changelog: $changelog"
echo "package $(basename "$deb"): $(wc -c <"$deb") bytes; depends: $depends"
