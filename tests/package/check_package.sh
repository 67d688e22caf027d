#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree and checks what
# a user would get: the files and the control fields of the package, the
# desktop entry, the icons and the manual page, and that the program from the
# package and from `cmake --install` gives the build tree's program's answers.
#
#     check_package.sh BUILD_DIR SOURCE_DIR VERSION INSTALL_PREFIX PROGRAM
set -uo pipefail

build=$1 source=$2 version=$3 prefix=$4 program=$5
scratch=$build/package-check
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "note: $*"; }
# check DESCRIPTION COMMAND...: a check that fails when the command does.
check() { local what=$1; shift; "$@" || fail "$what"; }

for tool in cpack dpkg-deb dpkg-shlibdeps gzip; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -x "$program" ] || { echo "FAIL: the program $program is not built"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"

# --- the package --------------------------------------------------------
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack could not make the package"
  exit 1
fi
shopt -s nullglob
debs=("$scratch"/deb/*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: cpack made ${#debs[@]} packages, not one"; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
check "the package file is named quelmora_${version}_${arch}.deb, not $(basename "$deb")" \
  test "$(basename "$deb")" = "quelmora_${version}_${arch}.deb"

field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
  local value
  value=$(field "$1")
  [ "$value" = "$2" ] || fail "control field $1 is '$value', not '$2'"
}
expect_field Package quelmora
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Section science
expect_field Maintainer "Quelmora developers <quelmora@example.org>"
check "the package has no description" test -n "$(field Description)"

# The libraries are found by dpkg-shlibdeps, the fonts and Qt's translations are
# named by hand.
depends=$(field Depends)
for package in libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo fonts-liberation fonts-wqy-microhei \
    qt6-translations-l10n libminizip1 libxlsxwriter4; do
  grep -Eq "(^|, )$package( \(|,|$)" <<<"$depends" || fail "Depends does not name $package: $depends"
done

# The file list: path and mode of every entry, with the build's prefix
# (whatever cpack was told) taken off.
listing=$scratch/listing.txt
dpkg-deb -c "$deb" >"$listing"
awk '{ print $6 }' "$listing" | sed 's|^\./||' | grep -v '/$' | sort >"$scratch/deb-files.txt"
awk '$2 != "root/root" { print "FAIL: " $6 " is owned by " $2 }' "$listing" | grep . && failures=$((failures + 1))

expected=$scratch/expected.txt
{
  echo "usr/bin/quelmora"
  echo "usr/share/applications/quelmora.desktop"
  for dir in "$source"/resources/icons/*x*/; do
    size=$(basename "$dir")
    echo "usr/share/icons/hicolor/$size/apps/quelmora.png"
  done
  echo "usr/share/icons/hicolor/scalable/apps/quelmora.svg"
  echo "usr/share/man/man1/quelmora.1.gz"
  echo "usr/share/doc/quelmora/README.md"
  # Every picture the README shows, and no other.
  grep -o '(docs/[^)]*\.png)' "$source/README.md" | tr -d '()' | sort -u |
    sed 's|^|usr/share/doc/quelmora/|'
  for example in "$source"/examples/*.txt; do
    echo "usr/share/doc/quelmora/examples/$(basename "$example")"
  done
  # The Python module, when the tree built it.
  for module in "$build"/python/quelmora*.so; do
    [ -f "$module" ] && echo "usr/lib/python3/dist-packages/$(basename "$module")"
  done
} | sort >"$expected"
if ! diff -u "$expected" "$scratch/deb-files.txt" >"$scratch/files.diff"; then
  cat "$scratch/files.diff"
  fail "the package's files are not the expected ones (- missing, + unexpected)"
fi
grep -Eq '^-rwxr-xr-x .* \./usr/bin/quelmora$' "$listing" || fail "usr/bin/quelmora is not an executable -rwxr-xr-x"
awk '$6 !~ /\/$/ && $6 != "./usr/bin/quelmora" && $1 != "-rw-r--r--" { print "FAIL: " $6 " has mode " $1 }' \
  "$listing" | grep . && failures=$((failures + 1))

root=$scratch/root
dpkg-deb -x "$deb" "$root"
# The tree is built with debugging information; the package is not.
if command -v readelf >/dev/null; then
  readelf -S "$root/usr/bin/quelmora" | grep -q '\.debug_info' && fail "the packaged program is not stripped"
fi

# The packaged files are the source's own.
for example in "$source"/examples/*.txt; do
  check "the packaged $(basename "$example") differs from the source's" \
    cmp -s "$example" "$root/usr/share/doc/quelmora/examples/$(basename "$example")"
done
check "the packaged desktop entry differs from the source's" \
  cmp -s "$source/resources/quelmora.desktop" "$root/usr/share/applications/quelmora.desktop"

# The packaged module imports in Debian's python3 and computes the examples.
for module in "$root"/usr/lib/python3/dist-packages/quelmora*.so; do
  [ -f "$module" ] || continue
  answer=$(cd "$source" && PYTHONPATH=$(dirname "$module") /usr/bin/python3 -c \
    'import quelmora; print(len(quelmora.compute(quelmora.read_curve("examples/curve.txt"), quelmora.read_record("examples/flood.txt")).inflow))' 2>&1)
  [ "$answer" = 4 ] || fail "the packaged Python module does not compute the examples: $answer"
done

# --- the desktop entry --------------------------------------------------
desktop=$root/usr/share/applications/quelmora.desktop
if command -v desktop-file-validate >/dev/null; then
  report=$(desktop-file-validate "$desktop" 2>&1)
  status=$?
  if [ $status -ne 0 ] || [ -n "$report" ]; then fail "desktop-file-validate: $report"; fi
else
  note "desktop-file-validate is not installed (desktop-file-utils): the entry is checked by hand only"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
exec_program=$(entry Exec | awk '{ print $1 }')
check "the entry's Exec '$exec_program' is not a program of the package" test -x "$root/usr/bin/$exec_program"
icon=$(entry Icon)
check "the entry's Icon '$icon' has no scalable picture" test -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
check "the entry starts the program in a terminal" test "$(entry Terminal)" = false
check "the entry has no Name" test -n "$(entry Name)"

# Each PNG is the size its folder says (width and height from the header).
for png in "$root"/usr/share/icons/hicolor/*x*/apps/quelmora.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  magic=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  [ "$magic" = 89504e470d0a1a0a ] || { fail "$png is not a PNG"; continue; }
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
  [ "${width}x${height}" = "$size" ] || fail "the $size icon is ${width}x${height}"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quelmora.svg" || fail "the scalable icon is no SVG"

# --- the manual page ----------------------------------------------------
page=$scratch/quelmora.1
check "the manual page is not gzip data" gzip -t "$root/usr/share/man/man1/quelmora.1.gz"
gzip -dc "$root/usr/share/man/man1/quelmora.1.gz" >"$page"
grep -q "^\.TH QUELMORA 1 .*\"Quelmora $version\"" "$page" || fail "the manual page's title line does not name version $version"
grep -q '@[A-Z_]*@' "$page" && fail "the manual page has an unreplaced @VARIABLE@"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "INPUT FILES" OUTPUT "EXIT STATUS" EXAMPLES FILES; do
  grep -Eq "^\.SH \"?$section\"?$" "$page" || fail "the manual page has no $section section"
done
rendered=$scratch/quelmora.1.txt
if command -v groff >/dev/null; then
  # Warnings of every kind: a malformed request renders silently otherwise.
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
fi
if command -v man >/dev/null; then
  # Piped, man writes plain text.
  MANWIDTH=80 man -l "$page" 2>"$scratch/man.err" >"$rendered"
  [ -s "$scratch/man.err" ] && fail "man -l: $(cat "$scratch/man.err")"
elif command -v nroff >/dev/null; then
  nroff -man -Tascii -P-c -P-b -P-u "$page" >"$rendered"
else
  note "neither man nor nroff is installed: the page's structure is checked only"
  cp "$page" "$rendered"
fi
# The page documents every option that the program's usage text names, each
# at the head of an entry of its OPTIONS section.
options_section=$(awk '/^OPTIONS/ { inside = 1; next } /^[A-Z]/ { inside = 0 } inside' "$rendered")
[ -n "$options_section" ] || fail "the rendered manual page has no OPTIONS"
for option in $("$program" --help | grep -oE -- '--[a-z]+(-[a-z]+)*' | sort -u); do
  grep -Eq -- "^ +$option( |,|$)" <<<"$options_section" || fail "the manual page's OPTIONS do not describe $option"
done

# --- the program from the package and from cmake --install ----------------
curve=examples/curve.txt flood=examples/flood.txt
expected_result=$scratch/expected-result.txt
( cd "$source" && "$program" --curve "$curve" --flood "$flood" ) >"$expected_result" ||
  fail "the build tree's program failed on the examples"
check "the build tree's program wrote no result" test -s "$expected_result"

# run_installed LABEL PREFIX_DIR: the installed program on the installed examples.
run_installed() {
  local label=$1 dir=$2 out=$scratch/$1-result.txt
  local installed=$dir/bin/quelmora examples=$dir/share/doc/quelmora/examples
  [ -x "$installed" ] || { fail "$label: no bin/quelmora under $dir"; return; }
  local answer
  answer=$("$installed" --version)
  [ "$answer" = "quelmora $version" ] || fail "$label: --version says '$answer', not 'quelmora $version'"
  ( cd "$examples" && "$installed" --curve curve.txt --flood flood.txt ) >"$out" ||
    fail "$label: the installed program failed on the installed examples"
  cmp -s "$expected_result" "$out" ||
    fail "$label: the result differs from the build tree's program's: $(diff "$expected_result" "$out" | head -5)"
  if "$program" --help | grep -q -- '--chart'; then
    if ! ( cd "$source" && "$program" --curve "$curve" --chart "$scratch/expected-chart.png" ) ||
       ! ( cd "$examples" && "$installed" --curve curve.txt --chart "$scratch/$label-chart.png" ); then
      fail "$label: the chart could not be drawn"
    fi
    cmp -s "$scratch/expected-chart.png" "$scratch/$label-chart.png" ||
      fail "$label: the chart differs from the build tree's program's"
  fi
}
run_installed package "$root/usr"

# The staged install: the same files under the configured prefix.
stage=$scratch/stage
if DESTDIR=$stage cmake --install "$build" >"$scratch/install.log" 2>&1; then
  run_installed install "$stage$prefix"
  ( cd "$stage$prefix" && find . -type f | sed 's|^\./||' | sort ) >"$scratch/install-files.txt"
  sed 's|^usr/||' "$scratch/deb-files.txt" >"$scratch/deb-files-unprefixed.txt"
  diff -u "$scratch/deb-files-unprefixed.txt" "$scratch/install-files.txt" >/dev/null ||
    fail "cmake --install and the package install different files: $(diff "$scratch/deb-files-unprefixed.txt" "$scratch/install-files.txt")"
else
  cat "$scratch/install.log"
  fail "cmake --install failed"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed; the package is $deb"
  exit 1
fi
echo "package $(basename "$deb") checked: $(wc -l <"$scratch/deb-files.txt") files"
