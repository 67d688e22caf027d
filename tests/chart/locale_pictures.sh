#!/usr/bin/env bash
# The batch mode's chart picture under each locale the program meets: the same
# picture in every one of them. The batch front end makes the real application
# object, which sets the C library's numeric locale from LC_ALL, so a number
# text that leaned on it would come out with the locale's marks.
#
#   locale_pictures.sh PROGRAM SOURCE_DIR REAL_DATA_DIR
set -euo pipefail
prog=$1
src=$2
realdata=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

locales=(C en_US.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 sv_SE.UTF-8 zh_CN.UTF-8)
for l in "${locales[@]}"; do
    if LC_ALL=$l locale 2>&1 >/dev/null | grep -q .; then
        echo "FAIL: locale $l is not installed (tools/setup.sh generates it)"
        exit 1
    fi
done

# Levels and storages above 1000, with decimals, on both axes.
big=$work/big_curve.txt
{
    echo "level,storage"
    for i in $(seq 0 40); do echo "$((1000 + 25 * i)).5,$((1200 + 97 * i)).25"; done
} >"$big"
curves=("$src/examples/curve.txt" "$realdata/powell_curve_pre2017_live.txt" "$big")

status=0
for curve in "${curves[@]}"; do
    [ -f "$curve" ] || { echo "FAIL: $curve not found"; exit 1; }
    name=$(basename "$curve" .txt)
    for l in "${locales[@]}"; do
        LC_ALL=$l LANG=$l LANGUAGE= "$prog" --curve "$curve" --chart "$work/$name-$l.png"
        # The locale reached the program: its result stamps take that locale's form.
        if [ "$name" = curve ]; then
            LC_ALL=$l LANG=$l LANGUAGE= "$prog" --curve "$curve" --flood "$src/examples/flood.txt" |
                sed -n 3p >"$work/stamp-$l.txt"
        fi
    done
    for l in "${locales[@]}"; do
        if ! cmp -s "$work/$name-C.png" "$work/$name-$l.png"; then
            echo "FAIL: the chart of $name under $l differs from the one under C"
            status=1
        fi
    done
done
if cmp -s "$work/stamp-C.txt" "$work/stamp-de_DE.UTF-8.txt"; then
    echo "FAIL: the program wrote the same time stamps under C and de_DE: the locale did not reach it"
    status=1
fi
[ $status -eq 0 ] && echo "same chart pictures under ${locales[*]}"
exit $status
