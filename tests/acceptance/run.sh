#!/usr/bin/env bash
# The real program in a real X server, driven like a user with xdotool:
# read the curve and the flood record through the file dialog, compute, write
# the result, open and close the About box, close the window. The result file
# must be byte for byte what the batch mode writes for the same inputs.
#
#     tests/acceptance/run.sh [PROGRAM [SHOTS_DIR]]
#
# PROGRAM      the program (default: $QUELMORA_PROGRAM, else build/quelmora)
# SHOTS_DIR    where the screenshots of each step go (default:
#              $QUELMORA_ACCEPTANCE_DIR, else acceptance/ beside PROGRAM)
#
# Environment:
#   QUELMORA_PROBE              the layout probe (default: tests/acceptance_probe
#                               beside PROGRAM)
#   QUELMORA_ACCEPTANCE_SCREEN  the X screen, WIDTHxHEIGHTxDEPTH (1280x1024x24)
#   QUELMORA_ACCEPTANCE_LOCALE  the locale of the program and of the batch run
#                               it is compared with (C.UTF-8)
#   QUELMORA_ACCEPTANCE_DPI     the desktop's pixels per inch, set the usual way
#                               (Xft.dpi in the X resources, loaded with xrdb);
#                               unset: no resources, Qt's default of 96
#   QUELMORA_ACCEPTANCE_TITLE   the file dialog's caption expected (Qt's own
#                               text "Open" in the locale's language)
#   QUELMORA_ACCEPTANCE_STEPS   "short": the file steps only, without the help
#                               page and the About box
#   QUELMORA_ACCEPTANCE_CHART   0: the chart is not compared with the batch
#                               mode's (1)
#   QUELMORA_ACCEPTANCE_WM      a window manager to start first (e.g. openbox);
#                               by default none runs
#   QUELMORA_ACCEPTANCE_REAL    the folder of the real records: the Tankan and
#                               Powell records are read through the dialogs
#                               and computed, every table text must fit its
#                               column (the layout probe measures them with
#                               the fonts), the first record's level cell must
#                               show its whole text on the screen, cancelled
#                               dialogs must leave tables and chart as they
#                               were, the chart's menu must save a .png through
#                               the save dialog, and the enlarged window must
#                               show the result column
#   QUELMORA_ACCEPTANCE_IMPORT  1 (with QUELMORA_ACCEPTANCE_REAL): the agency's
#                               Powell files as published are opened through
#                               the import dialog, two curves (the later from
#                               2022-07-01) and the daily record; the result
#                               must equal batch mode's for the same options
#   QUELMORA_ACCEPTANCE_TRACE   when set, the steps run under bash -x
#   everything else reaches the program unchanged.
#
# The window's size and the place of its picture box are checked in device
# pixels, the X server's: at 120 pixels per inch they are the layout's
# (1110 x 612, the picture box at 744, 128 with the picture drawn one to one);
# elsewhere both are the layout's scaled by one factor near ppi / 120. At 120
# pixels per inch the chart must also be, pixel for pixel, what the batch
# mode's --chart draws (the layout's 505 x 313 at 120 pixels per inch).
#
# One line per step; exit 0 when every step passed, 1 with a "FAIL:" line
# otherwise, and 0 with a "SKIP:" line when there is no X server to be had.
# Without a window manager windows are placed where the program puts them,
# keyboard focus is given by hand, and closing is asked for with the window
# protocol's delete message.

set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

say() { printf '%s\n' "$*"; }

absolute() { (cd "$(dirname "$1")" 2>/dev/null && printf '%s/%s\n' "$(pwd)" "$(basename "$1")"); }

# ---------------------------------------------------------------------------
# Inside the X server.

inner() {
    local program=$1 shots=$2 probe=$3 scratch=$4
    : >"$scratch/started"

    export QT_QPA_PLATFORM=xcb
    # The program's locale: the flood record's time stamps and the result's
    # number texts follow it, and Qt's own texts; the batch runs compared
    # with the window share it. The steps themselves count in the C locale.
    local app_locale=${QUELMORA_ACCEPTANCE_LOCALE:-C.UTF-8}
    export LC_ALL=C.UTF-8
    local dpi=${QUELMORA_ACCEPTANCE_DPI:-} steps=${QUELMORA_ACCEPTANCE_STEPS:-full}
    # A locale that is not generated would quietly be the C locale.
    if [ "$app_locale" != C.UTF-8 ] && [ "$app_locale" != C ] &&
        ! locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8$/utf8/' <<<"$app_locale")"; then
        say "FAIL: the locale $app_locale is not generated (tools/setup.sh generates it)"
        exit 1
    fi
    # The program, the layout probe and the batch runs, in the program's locale.
    in_locale() { LC_ALL=$app_locale "$@"; }
    # The file dialog remembers its folders in the user's settings: not ours.
    export XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
    export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"

    local curve=$root/examples/curve.txt flood=$root/examples/flood.txt
    local result=$scratch/result.txt batch=$scratch/batch.txt
    local step=0 wid="" new_window=""
    pid="" wm_pid="" t0=$SECONDS tstep=$SECONDS

    finish() {
        if [ -n "${pid:-}" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
        if [ -n "${wm_pid:-}" ]; then
            kill "$wm_pid" 2>/dev/null
            wait "$wm_pid" 2>/dev/null
        fi
    }
    trap finish EXIT

    # The desktop's resolution, as a desktop sets it (no QT_* variables).
    if [ -n "$dpi" ]; then
        printf 'Xft.dpi: %s\n' "$dpi" | xrdb -nocpp -load - ||
            { say "FAIL: xrdb could not load Xft.dpi"; exit 1; }
    fi
    if [ -n "${QUELMORA_ACCEPTANCE_WM:-}" ]; then
        "$QUELMORA_ACCEPTANCE_WM" >"$scratch/wm.log" 2>&1 &
        wm_pid=$!
        sleep 1
    fi

    fail() {
        say "FAIL: step $step: $*"
        import -window root "$shots/failure.png" 2>/dev/null &&
            say "      screen at the failure: $shots/failure.png"
        if [ -s "$scratch/program.log" ]; then
            say "      program output:"
            sed 's/^/      | /' "$scratch/program.log" | tail -20
        fi
        exit 1
    }

    passed() {
        say "ok   $step: $* ($((SECONDS - tstep)) s)"
        step=$((step + 1))
        tstep=$SECONDS
    }

    need_alive() {
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            local rc=$?
            pid=""
            fail "the program ended unexpectedly (exit status $rc)"
        fi
    }

    # The visible windows of the program other than the main window.
    others() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$wid"; }

    # Waits up to $1 seconds for a window of the program besides the main one;
    # its id goes to new_window. (Not in a subshell: a failure must end the
    # steps, and only this shell can wait for the program.)
    wait_new_window() {
        local deadline=$((SECONDS + $1))
        new_window=""
        while [ $SECONDS -le $deadline ]; do
            need_alive
            new_window=$(others | head -1)
            [ -n "$new_window" ] && return 0
            sleep 0.05
        done
        return 1
    }

    # Waits up to $1 seconds until the main window is the only one shown.
    wait_only_main() {
        local deadline=$((SECONDS + $1))
        while [ $SECONDS -le $deadline ]; do
            need_alive
            [ -z "$(others)" ] && return 0
            sleep 0.05
        done
        return 1
    }

    # A second window that stays after an action is an error box (or a
    # dialog that did not close): show what it says.
    fail_if_others() {
        local w
        w=$(others | head -1)
        [ -z "$w" ] && return 0
        import -window "$w" "$shots/unexpected-window.png" 2>/dev/null
        fail "$1: a window \"$(xdotool getwindowname "$w" 2>/dev/null)\" is open" \
             "(picture: $shots/unexpected-window.png)"
    }

    # Controls by name, from the layout probe: click the middle of one.
    click() {
        local name=$1 x y
        [ -n "${L_X[$name]:-}" ] || fail "the probe did not report $name"
        x=$((L_X[$name] + L_W[$name] / 2))
        y=$((L_Y[$name] + L_H[$name] / 2))
        # No --sync: it waits for a move, and there is none when the pointer
        # is already there. The server takes the move before the click anyway.
        xdotool mousemove --window "$wid" "$x" "$y" click 1 ||
            fail "xdotool could not click $name"
    }

    # The pixels of a control's rectangle in the main window, as a PPM file.
    grab() {
        local name=$1 out=$2
        import -window "$wid" -crop "${L_W[$name]}x${L_H[$name]}+${L_X[$name]}+${L_Y[$name]}" \
            +repage "ppm:$out" 2>/dev/null || fail "could not grab $name"
    }

    # Grabs the control $1 into $2 until two grabs 0.1 s apart agree: a
    # repaint that is under way has ended.
    settle() {
        local name=$1 out=$2 deadline=$((SECONDS + 5))
        while [ $SECONDS -le $deadline ]; do
            sleep 0.1
            grab "$name" "$scratch/settle.ppm"
            cmp -s "$out" "$scratch/settle.ppm" && return 0
            mv "$scratch/settle.ppm" "$out"
        done
        fail "$name keeps changing"
    }

    # Waits up to $2 seconds until the control $1 shows more than one colour
    # (painted at all) and holds still; its look goes to $3.
    wait_painted() {
        local name=$1 deadline=$((SECONDS + $2)) out=$3
        while [ $SECONDS -le $deadline ]; do
            need_alive
            grab "$name" "$out"
            if [ "$(identify -format '%k' "ppm:$out" 2>/dev/null)" -gt 1 ] 2>/dev/null; then
                settle "$name" "$out"
                return 0
            fi
            sleep 0.1
        done
        fail "$name was not painted within $2 s"
    }

    # Waits up to $3 seconds until the control $1 no longer looks as in $2;
    # the new look, once it holds still, goes to $4. An error box that appears
    # instead ends it.
    wait_changed() {
        local name=$1 before=$2 deadline=$((SECONDS + $3)) after=$4
        while [ $SECONDS -le $deadline ]; do
            need_alive
            fail_if_others "$5"
            grab "$name" "$after"
            if ! cmp -s "$before" "$after"; then
                settle "$name" "$after"
                return 0
            fi
            sleep 0.1
        done
        fail "$5: $name did not change within $3 s"
    }

    # Shows the page of tab $1 and waits until the area of control $2 shows
    # it; the page's look there goes to $3.
    show_page() {
        grab "$2" "$scratch/page-before.ppm"
        click "$1"
        wait_changed "$2" "$scratch/page-before.ppm" 10 "$3" "page $1"
    }

    shoot() {
        import -window root "$shots/$1.png" 2>/dev/null || fail "no screenshot $1"
        import -window "${2:-$wid}" "$shots/$1-window.png" 2>/dev/null ||
            fail "no screenshot $1-window"
    }

    # The file dialog: wait for it, type the name into its name box, Return.
    # The dialog shows before the name is typed; a name box that loses what
    # was typed shows in the result.
    choose_file() {
        local what=$1 path=$2 shot=$3 dialog
        wait_new_window 15 || fail "$what: no file dialog within 15 s"
        dialog=$new_window
        # Qt's own texts speak the locale's language.
        if [ -n "${QUELMORA_ACCEPTANCE_TITLE:-}" ]; then
            local title
            title=$(xdotool getwindowname "$dialog" 2>/dev/null)
            [ "$title" = "$QUELMORA_ACCEPTANCE_TITLE" ] ||
                fail "$what: the file dialog's caption is \"$title\", not \"$QUELMORA_ACCEPTANCE_TITLE\" under $app_locale"
        fi
        xdotool windowfocus --sync "$dialog" || fail "$what: cannot focus the file dialog"
        xdotool type --delay 8 "$path" || fail "$what: xdotool could not type"
        import -window root "$shots/$shot.png" 2>/dev/null
        xdotool key Return
        wait_only_main 15 || fail_if_others "$what: after Return in the file dialog"
    }

    say "X display $DISPLAY, screen $(xdotool getdisplaygeometry | tr ' ' x)"
    say "screenshots in $shots"

    # A window's outer size in device pixels, "W H": its client window and
    # the frame a window manager may have put around it.
    outer_size() {
        local WIDTH HEIGHT X Y SCREEN WINDOW extents l r t b
        eval "$(xdotool getwindowgeometry --shell "$1")"
        extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
        IFS=, read -r l r t b <<<"${extents:-0,0,0,0}"
        echo "$((WIDTH + l + r)) $((HEIGHT + t + b))"
    }

    # |$1 - $2| <= $3
    near() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { exit !((a - b <= d) && (b - a <= d)) }'; }

    # The picture box shows resources/reservoir.jpg at its own size from its
    # top-left corner, one screen pixel per picture pixel. Looks for the
    # picture's top-left 200 x 200 pixels (sky, a cloud, a ridge) in the
    # window at ($1, $2) give or take two pixels; prints the place found.
    find_picture() {
        local want_x=$1 want_y=$2 dx dy ae
        convert "$root/resources/reservoir.jpg" -crop 200x200+0+0 +repage "ppm:$scratch/picture.ppm" ||
            fail "cannot decode the picture"
        import -window "$wid" "ppm:$scratch/window.ppm" 2>/dev/null || fail "cannot grab the main window"
        for dy in 0 -1 1 -2 2; do
            for dx in 0 -1 1 -2 2; do
                convert "$scratch/window.ppm" -crop "200x200+$((want_x + dx))+$((want_y + dy))" +repage \
                    "ppm:$scratch/window-part.ppm" 2>/dev/null || continue
                ae=$(compare -metric AE -fuzz 1% "$scratch/window-part.ppm" "$scratch/picture.ppm" null: 2>&1)
                if [ "$ae" = 0 ]; then
                    echo "$((want_x + dx)) $((want_y + dy))"
                    return 0
                fi
            done
        done
        return 1
    }

    # --- 0: where the controls are.
    declare -A L_X L_Y L_W L_H
    in_locale "$probe" >"$scratch/layout.txt" 2>"$scratch/probe.log" ||
        fail "the layout probe failed: $(tail -3 "$scratch/probe.log")"
    local name x y w h
    while read -r name x y w h; do
        L_X[$name]=$x L_Y[$name]=$y L_W[$name]=$w L_H[$name]=$h
    done <"$scratch/layout.txt"
    # "Ratio R PPI": the device pixel ratio and the pixels per inch in device
    # pixels that the program sees.
    local ratio=${L_X[Ratio]:-} ppi=${L_Y[Ratio]:-}
    [ -n "$ratio" ] || fail "the probe did not report the screen's ratio"
    [ -z "$dpi" ] || [ "$ppi" = "$dpi" ] ||
        fail "the program sees $ppi pixels per inch on a desktop set to $dpi (device pixel ratio $ratio)"
    local screen_w screen_h
    read -r screen_w screen_h < <(xdotool getdisplaygeometry)
    for name in BitBtn1 BitBtn2 BitBtn3 BitBtn4 about1 Tab1 Tab2 Tab3 Tab4 StringGrid1 StringGrid2 Chart1; do
        [ -n "${L_X[$name]:-}" ] || fail "the probe did not report $name"
        [ $((L_X[$name] + L_W[$name])) -le "$screen_w" ] &&
            [ $((L_Y[$name] + L_H[$name])) -le "$screen_h" ] ||
            fail "$name lies outside a ${screen_w}x${screen_h} screen"
    done
    passed "layout at $ppi pixels per inch, device pixel ratio $ratio: BitBtn1 at ${L_X[BitBtn1]},${L_Y[BitBtn1]}, about1 at ${L_X[about1]},${L_Y[about1]}"

    # --- 1: the main window.
    LC_ALL=$app_locale "$program" >"$scratch/program.log" 2>&1 &
    pid=$!
    local deadline=$((SECONDS + 20))
    while [ -z "$wid" ] && [ $SECONDS -le $deadline ]; do
        need_alive
        wid=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Quelmora$' 2>/dev/null | head -1)
        [ -n "$wid" ] || sleep 0.1
    done
    [ -n "$wid" ] || fail "no window \"Quelmora\" within 20 s"
    # No window manager keeps it on the screen: the stored place is wider
    # than some screens.
    xdotool windowmove --sync "$wid" 0 0 || fail "cannot move the main window"
    fail_if_others "at start"

    # The window and one component, in device pixels: the window's outer size
    # and the picture box's place are the layout's scaled by one factor k,
    # 1 at 120 pixels per inch.
    local outer_w outer_h k place client_w client_h
    read -r outer_w outer_h < <(outer_size "$wid")
    eval "$(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^WIDTH=/client_w=/p; s/^HEIGHT=/client_h=/p')"
    k=$(awk -v w="$outer_w" 'BEGIN { printf "%.4f", w / 1110 }')
    if [ "$ppi" = 120 ]; then
        near "$outer_w" 1110 2 && near "$outer_h" 612 2 ||
            fail "the window is ${outer_w}x${outer_h} device pixels at 120 pixels per inch, not 1110x612"
    else
        awk -v k="$k" -v p="$ppi" 'BEGIN { exit !(k > 0.85 * p / 120 && k < 1.15 * p / 120) }' ||
            fail "the window is ${outer_w}x${outer_h} device pixels at $ppi pixels per inch: scaled by $k"
        near "$outer_h" "$(awk -v k="$k" 'BEGIN { print 612 * k }')" 2 ||
            fail "the window is ${outer_w}x${outer_h}: its height is not 612 scaled by $k"
    fi
    local want_x want_y
    want_x=$(awk -v k="$k" 'BEGIN { printf "%d", 744 * k + 0.5 }')
    want_y=$(awk -v k="$k" -v c="${L_Y[Central]}" 'BEGIN { printf "%d", c + 128 * k + 0.5 }')
    place=$(find_picture "$want_x" "$want_y") ||
        fail "the picture box's picture is not drawn one to one at $want_x,$want_y (744,128 of the layout scaled by $k, below the menu at ${L_Y[Central]}; window grab: $scratch/window.ppm)"
    passed "window ${outer_w}x${outer_h} device pixels (the layout's scaled by $k); picture one to one at $place"

    # Both tables empty, to tell later that they filled.
    wait_painted StringGrid2 10 "$scratch/grid2-empty.ppm"
    wait_painted Chart1 10 "$scratch/chart-empty.ppm"
    show_page Tab2 StringGrid1 "$scratch/grid1-empty.ppm"
    show_page Tab1 StringGrid1 "$scratch/page1.ppm"
    shoot 01-start
    passed "main window $wid shown; page 1 and page 2 empty; 01-start.png"

    # --- 2: the curve.
    click BitBtn1
    choose_file "curve" "$curve" 02-curve-dialog
    wait_changed StringGrid2 "$scratch/grid2-empty.ppm" 10 "$scratch/grid2-curve.ppm" "curve table"
    wait_changed Chart1 "$scratch/chart-empty.ppm" 10 "$scratch/chart-curve.ppm" "chart"
    fail_if_others "after reading the curve"
    # At 120 pixels per inch the chart is the layout's 505 x 313 device
    # pixels, drawn at them: the very picture the batch mode draws.
    if [ "$ppi" = 120 ] && [ "${QUELMORA_ACCEPTANCE_CHART:-1}" = 1 ]; then
        [ "${L_W[Chart1]}x${L_H[Chart1]}" = 505x313 ] ||
            fail "the chart covers ${L_W[Chart1]}x${L_H[Chart1]} device pixels, not 505x313"
        # Qt leaves glyphs unhinted whenever it scales for a device pixel
        # ratio; the batch mode draws into a bitmap of its own, so only the
        # glyphs change when it runs under the same ratio.
        local under_ratio=()
        [ "$ratio" = 1 ] || under_ratio=(env QT_SCALE_FACTOR="$ratio")
        in_locale "${under_ratio[@]}" "$program" --curve "$curve" --chart "$scratch/batch-chart.png" >"$scratch/batch.log" 2>&1 ||
            fail "the batch mode could not draw the chart: $(cat "$scratch/batch.log")"
        local chart_ae
        chart_ae=$(compare -metric AE "ppm:$scratch/chart-curve.ppm" "$scratch/batch-chart.png" \
            "$shots/chart-difference.png" 2>&1)
        [ "$chart_ae" = 0 ] || fail "the chart on the screen differs from the batch mode's in" \
            "$chart_ae pixels ($shots/chart-difference.png)"
        rm -f "$shots/chart-difference.png"
    fi
    shoot 02-curve
    passed "curve read from examples/curve.txt: table and chart drawn; 02-curve.png"

    # --- 3: the flood record, shown on page 2.
    click BitBtn2
    choose_file "flood record" "$flood" 03-flood-dialog
    fail_if_others "after reading the flood record"
    show_page Tab2 StringGrid1 "$scratch/grid1-flood.ppm"
    cmp -s "$scratch/grid1-empty.ppm" "$scratch/grid1-flood.ppm" && fail "the flood table is still empty"
    shoot 03-flood
    passed "flood record read from examples/flood.txt: table filled; 03-flood.png"

    # --- 4: compute.
    click BitBtn3
    wait_changed StringGrid1 "$scratch/grid1-flood.ppm" 10 "$scratch/grid1-computed.ppm" "compute"
    fail_if_others "after computing"
    shoot 04-compute
    passed "computed: the calculation table changed; 04-compute.png"

    # --- 5: the result file, against the batch mode.
    rm -f "$result"
    click BitBtn4
    choose_file "output" "$result" 05-write-dialog
    deadline=$((SECONDS + 10))
    while [ ! -s "$result" ] && [ $SECONDS -le $deadline ]; do
        need_alive
        sleep 0.05
    done
    [ -s "$result" ] || fail "no result file $result within 10 s"
    fail_if_others "after writing the result"
    shoot 05-write
    in_locale "$program" --curve "$curve" --flood "$flood" --out "$batch" >"$scratch/batch.log" 2>&1 ||
        fail "the batch mode failed: $(cat "$scratch/batch.log")"
    if ! cmp -s "$result" "$batch"; then
        say "      window: $(wc -l <"$result") lines, batch: $(wc -l <"$batch") lines"
        diff -a "$batch" "$result" | head -12 | sed 's/^/      /'
        fail "the window's result file differs from the batch mode's"
    fi
    passed "result file written: $(wc -l <"$result") lines, identical to the batch mode's; 05-write.png"

    # --- 5b: the real records, the fitted tables, the dialogs, the larger window.
    local real=${QUELMORA_ACCEPTANCE_REAL:-}
    if [ -n "$real" ]; then
        local pair curve_file flood_file
        for pair in "tankan_curve.txt tankan_flood.txt" "powell_curve_pre2017_live.txt powell_1963_2026_flood.txt"; do
            read -r curve_file flood_file <<<"$pair"
            grab StringGrid1 "$scratch/grid1-before-real.ppm"
            click BitBtn1
            choose_file "curve $curve_file" "$real/$curve_file" 08-real-curve-dialog
            fail_if_others "after reading $curve_file"
            click BitBtn2
            choose_file "record $flood_file" "$real/$flood_file" 08-real-flood-dialog
            wait_changed StringGrid1 "$scratch/grid1-before-real.ppm" 20 "$scratch/grid1-real.ppm" "record $flood_file"
            click BitBtn3
            wait_changed StringGrid1 "$scratch/grid1-real.ppm" 20 "$scratch/grid1-real-computed.ppm" "computing $flood_file"
            fail_if_others "after computing $flood_file"
        done
        shoot 08-real
        # The probe reads the same files with the same fonts and measures
        # every text of the tables against its column.
        QUELMORA_PROBE_CURVE="$real/powell_curve_pre2017_live.txt" QUELMORA_PROBE_FLOOD="$real/powell_1963_2026_flood.txt" \
            in_locale "$probe" >"$scratch/fit.txt" 2>"$scratch/probe.log" || fail "the probe could not read the real records"
        grep -q '^FitFail' "$scratch/fit.txt" && fail "a text does not fit its column: $(grep '^FitFail' "$scratch/fit.txt" | head -3)"
        local cells
        cells=$(sed -n 's/^Fit //p' "$scratch/fit.txt")
        [ -n "$cells" ] || fail "the probe did not measure the tables"
        # The level of the first Powell record (1039.0632, cut at 120 pixels
        # per inch before): its ink on the screen is as wide as the whole
        # text's and ends before the cell's edge.
        local lx ly lw lh ink got
        read -r lx ly lw lh ink < <(sed -n 's/^Level1 //p' "$scratch/fit.txt")
        [ -n "$ink" ] || fail "the probe did not report the level cell"
        import -window "$wid" -crop "$((lw - 2))x$((lh - 2))+$((lx + 1))+$((ly + 1))" +repage "ppm:$scratch/level.ppm" 2>/dev/null ||
            fail "could not grab the level cell"
        got=$(convert "$scratch/level.ppm" -colorspace gray -threshold 50% -negate -trim -format '%w %X' info: 2>/dev/null)
        local ink_w ink_x
        read -r ink_w ink_x <<<"$got"
        ink_x=${ink_x#+}
        [ "$ink_w" -ge $((ink - 2)) ] 2>/dev/null ||
            fail "the level cell shows ${ink_w:-no} pixels of ink, its whole text ${ink} ($scratch/level.ppm)"
        [ $((ink_x + ink_w)) -le $((lw - 3)) ] ||
            fail "the level cell's text runs to its edge ($scratch/level.ppm)"
        local read_ms recompute_ms
        read -r read_ms recompute_ms < <(sed -n 's/^Times //p' "$scratch/fit.txt")
        passed "Tankan and Powell read and computed; $cells table texts fit their columns; the first level shown whole ($ink_w of $ink pixels); Powell read in $read_ms ms, computed again in $recompute_ms ms; 08-real.png"

        # Cancelled dialogs change nothing: the tables, the chart, the result.
        grab StringGrid1 "$scratch/grid1-kept.ppm"
        click BitBtn2
        wait_new_window 15 || fail "no file dialog for the record"
        xdotool windowfocus --sync "$new_window" && xdotool key Escape
        wait_only_main 10 || fail_if_others "Escape in the record's file dialog"
        settle StringGrid1 "$scratch/grid1-kept-after.ppm"
        cmp -s "$scratch/grid1-kept.ppm" "$scratch/grid1-kept-after.ppm" ||
            fail "a cancelled record dialog changed the calculation table"
        show_page Tab1 StringGrid1 "$scratch/page1-real.ppm"
        grab Chart1 "$scratch/chart-kept.ppm"
        grab StringGrid2 "$scratch/grid2-kept.ppm"
        click BitBtn1
        wait_new_window 15 || fail "no file dialog for the curve"
        xdotool windowfocus --sync "$new_window" && xdotool key Escape
        wait_only_main 10 || fail_if_others "Escape in the curve's file dialog"
        settle Chart1 "$scratch/chart-kept-after.ppm"
        grab StringGrid2 "$scratch/grid2-kept-after.ppm"
        cmp -s "$scratch/chart-kept.ppm" "$scratch/chart-kept-after.ppm" || fail "a cancelled curve dialog changed the chart"
        cmp -s "$scratch/grid2-kept.ppm" "$scratch/grid2-kept-after.ppm" || fail "a cancelled curve dialog changed the curve table"
        passed "cancelled dialogs left the tables and the chart as they were"

        # The chart's menu saves a picture through a save dialog, which adds .png.
        rm -f "$scratch/chart-saved.png"
        xdotool mousemove --window "$wid" $((L_X[Chart1] + L_W[Chart1] / 2)) $((L_Y[Chart1] + L_H[Chart1] / 2)) click 3 ||
            fail "could not right-click the chart"
        sleep 0.5
        xdotool key Down Down Return
        wait_new_window 15 || fail "no save dialog from the chart's menu"
        xdotool windowfocus --sync "$new_window" || fail "cannot focus the save dialog"
        xdotool type --delay 8 "$scratch/chart-saved" || fail "xdotool could not type"
        import -window root "$shots/09-save-dialog.png" 2>/dev/null
        xdotool key Return
        wait_only_main 15 || fail_if_others "after Return in the save dialog"
        deadline=$((SECONDS + 10))
        while [ ! -s "$scratch/chart-saved.png" ] && [ $SECONDS -le $deadline ]; do sleep 0.05; done
        # The chart's own pixels: the control's, a part of one counting.
        local saved_type saved_w saved_h
        read -r saved_type saved_w saved_h < <(identify -format '%m %w %h\n' "$scratch/chart-saved.png" 2>/dev/null)
        [ "$saved_type" = PNG ] && near "$saved_w" "${L_W[Chart1]}" 1 && near "$saved_h" "${L_H[Chart1]}" 1 ||
            fail "the save dialog did not save the chart as chart-saved.png ($(ls "$scratch" | grep chart-saved): $saved_type ${saved_w}x${saved_h})"
        passed "the chart's menu saved chart-saved.png (the .png added by the save dialog); 09-save-dialog.png"

        # Enlarged, the result column is in view: the real window shows its
        # heading where the probe, enlarged alike, draws it, pixel for pixel.
        show_page Tab2 StringGrid1 "$scratch/page2-real.ppm"
        local big_w big_h rx ry rw rh
        read -r screen_w screen_h < <(xdotool getdisplaygeometry)
        big_w=$((screen_w - 40)) big_h=$((screen_h - 80))
        QUELMORA_PROBE_CURVE="$real/powell_curve_pre2017_live.txt" QUELMORA_PROBE_FLOOD="$real/powell_1963_2026_flood.txt" \
            QUELMORA_PROBE_SIZE="${big_w}x${big_h}" QUELMORA_PROBE_RESULT_PNG="$scratch/result-heading.png" \
            in_locale "$probe" >"$scratch/big.txt" 2>>"$scratch/probe.log" || fail "the probe could not enlarge its window"
        grep -q '^ResultHidden' "$scratch/big.txt" && fail "the result column is out of view in a ${big_w}x${big_h} window"
        read -r rx ry rw rh < <(sed -n 's/^Result //p' "$scratch/big.txt")
        [ -n "$rh" ] || fail "the probe did not report the result column"
        xdotool windowsize --sync "$wid" "$big_w" "$big_h" 2>/dev/null || xdotool windowsize "$wid" "$big_w" "$big_h" ||
            fail "cannot enlarge the window"
        sleep 1
        import -window "$wid" -crop "${rw}x${rh}+${rx}+${ry}" +repage "ppm:$scratch/result-shown.ppm" 2>/dev/null ||
            fail "could not grab the result column's heading"
        local result_ae
        result_ae=$(compare -metric AE -fuzz 10% "ppm:$scratch/result-shown.ppm" "$scratch/result-heading.png" null: 2>&1)
        [ "$result_ae" = 0 ] ||
            fail "the enlarged window does not show the result column's heading ($result_ae pixels differ; $scratch/result-shown.ppm)"
        shoot 10-enlarged
        xdotool windowsize "$wid" "$client_w" "$client_h"
        sleep 1
        passed "enlarged to ${big_w}x${big_h}: the result column in view; 10-enlarged.png"
    fi

    # --- 5c: the agency's files as published, through 导入… (each reading
    # button's menu) and the import dialog: two curves, the later dated;
    # the result equals batch mode's for the dialog's options.
    local published=${real:+$real/as-published}
    if [ "${QUELMORA_ACCEPTANCE_IMPORT:-0}" = 1 ] && [ -n "$published" ]; then
        local pre=$published/powell_capacity_pre2017.csv resurvey=$published/powell_capacity_2017.csv
        local daily=$published/powell_daily_usbr.csv imported=$scratch/imported.txt
        # Right-click on a button, its one entry, the file, then the dialog:
        # a first day typed into it (Alt+D) when given, its shot, Return.
        import_file() {
            local button=$1 path=$2 from=$3 shot=$4 w="" title deadline
            xdotool mousemove --window "$wid" $((L_X[$button] + L_W[$button] / 2)) $((L_Y[$button] + L_H[$button] / 2)) click 3 ||
                fail "could not right-click $button"
            sleep 0.5
            xdotool key Down Return
            wait_new_window 15 || fail "$button 导入…: no file dialog within 15 s"
            xdotool windowfocus --sync "$new_window" || fail "cannot focus the file dialog"
            xdotool type --delay 8 "$path" || fail "xdotool could not type"
            xdotool key Return
            deadline=$((SECONDS + 15))
            while [ $SECONDS -le $deadline ]; do
                need_alive
                w=$(others | head -1)
                title=$([ -n "$w" ] && xdotool getwindowname "$w" 2>/dev/null)
                case $title in 导入*) break ;; esac
                w=""
                sleep 0.1
            done
            [ -n "$w" ] || fail "no import dialog for $(basename "$path") within 15 s"
            xdotool windowfocus --sync "$w" || fail "cannot focus the import dialog"
            if [ -n "$from" ]; then
                xdotool key alt+d && xdotool type --delay 8 "$from" || fail "could not type the first day"
            fi
            sleep 0.5
            import -window "$w" "$shots/$shot.png" 2>/dev/null || fail "no screenshot $shot"
            xdotool key Return
            wait_only_main 30 || fail_if_others "after OK in the import dialog for $(basename "$path")"
        }
        show_page Tab1 StringGrid1 "$scratch/page1-import.ppm"
        import_file BitBtn1 "$pre" "" 11-import-curve-dialog
        import_file BitBtn1 "$resurvey" 2022-07-01 11-import-dated-curve-dialog
        sleep 0.5
        shoot 12-imported-curves
        import_file BitBtn2 "$daily" "" 13-import-record-dialog
        show_page Tab2 StringGrid1 "$scratch/grid1-imported.ppm"
        click BitBtn3
        wait_changed StringGrid1 "$scratch/grid1-imported.ppm" 30 "$scratch/grid1-imported-computed.ppm" "computing the imported record"
        fail_if_others "after computing the imported record"
        shoot 14-imported-computed
        rm -f "$imported"
        click BitBtn4
        choose_file "output of the imported record" "$imported" 15-imported-write-dialog
        deadline=$((SECONDS + 20))
        while [ ! -s "$imported" ] && [ $SECONDS -le $deadline ]; do need_alive; sleep 0.1; done
        [ -s "$imported" ] || fail "no result file $imported within 20 s"
        # The dialog took each table's columns by its headings; batch mode
        # names the same fields of both by number.
        in_locale "$program" --curve "$pre" --curve "$resurvey@2022-07-01" --curve-columns level=1,storage=2 \
            --flood "$daily" --columns "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)" \
            --units level=ft,storage=af,flow=cfs,loss=af --missing skip --out "$scratch/imported-batch.txt" \
            >"$scratch/batch.log" 2>&1 || fail "the batch mode failed on the published files: $(tail -3 "$scratch/batch.log")"
        local june
        # The day in the locale's short date form (06/01/83 under C).
        june=$(grep -a "^$(in_locale date -d 1983-06-01 +%x)," "$imported" | head -1)
        [ -n "$june" ] || fail "no record of 1983-06-01 in the window's result"
        cmp -s "$imported" "$scratch/imported-batch.txt" || {
            diff -a "$scratch/imported-batch.txt" "$imported" | head -8 | sed 's/^/      /'
            fail "the window's result of the imported files differs from the batch mode's"
        }
        passed "Powell as published imported (two curves, the later from 2022-07-01) and computed: $(wc -l <"$imported") lines as batch mode's; inflow of 1983-06-01 $(cut -d, -f9 <<<"$june") m³/s; 11..15-*.png"
    fi

    # --- 6: the help page and the About box, twice: the same both times.
    if [ "$steps" = full ]; then
        show_page Tab4 StringGrid1 "$scratch/help.ppm"
        shoot 06-help
        local want_w want_h box box_w box_h
        want_w=$(awk -v s="$screen_w" 'BEGIN { print int(s / 1440 * 635) }')
        want_h=$(awk -v s="$screen_h" 'BEGIN { print int(s / 900 * 374) }')
        for round in 1 2; do
            click about1
            wait_new_window 15 || fail "no About box within 15 s"
            box=$new_window
            [ "$(xdotool getwindowname "$box")" = "关于本程序" ] ||
                fail "the About box's caption is \"$(xdotool getwindowname "$box")\""
            # Device pixels, whole window; at a ratio other than 1 Qt's logical
            # pixels may round a device pixel away, on each side of the
            # frame at 1.5.
            read -r box_w box_h < <(outer_size "$box")
            if [ "$ratio" = 1 ]; then
                [ "${box_w}x${box_h}" = "${want_w}x${want_h}" ]
            else
                near "$box_w" "$want_w" 2 && near "$box_h" "$want_h" 2
            fi || fail "the About box is ${box_w}x${box_h} on a ${screen_w}x${screen_h} screen, not ${want_w}x${want_h}"
            # Let it paint; then it must hold still and, the second time, look the same.
            sleep 0.3
            import -window "$box" "ppm:$scratch/about-$round.ppm" 2>/dev/null || fail "cannot grab the About box"
            if [ "$round" = 1 ]; then
                shoot 07-about "$box"
            elif ! cmp -s "$scratch/about-1.ppm" "$scratch/about-2.ppm"; then
                import -window "$box" "$shots/07-about-again-window.png" 2>/dev/null
                fail "the About box looks different when opened again (07-about-again-window.png)"
            fi
            xdotool windowfocus --sync "$box" && xdotool key Escape
            wait_only_main 10 || fail_if_others "Escape in the About box"
        done
        passed "help page shown; About box opened twice at ${box_w}x${box_h}, alike, closed by Escape; 06-help.png, 07-about.png"
    fi

    # --- 7: close the main window: the program ends with 0.
    python3 "$here/close_window.py" "$wid" || fail "cannot ask the main window to close"
    deadline=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null && [ $SECONDS -le $deadline ]; do sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && fail "the program still runs 10 s after its window was closed"
    local rc=0
    wait "$pid" || rc=$?
    pid=""
    [ "$rc" = 0 ] || fail "the program ended with exit status $rc"
    passed "main window closed; the program ended with exit status 0"

    cp "$scratch/program.log" "$shots/program.log"
    [ -s "$shots/program.log" ] &&
        say "note: the program wrote $(wc -l <"$shots/program.log") lines of output: $shots/program.log"
    say "PASS: acceptance, $((SECONDS - t0)) s in the X server"
}

if [ "${1:-}" = "--inner" ]; then
    shift
    inner "$@"
    exit $?
fi

# ---------------------------------------------------------------------------
# Outside: find the pieces, start an X server of our own, run the steps in it.

program=${1:-${QUELMORA_PROGRAM:-$root/build/quelmora}}
[ -x "$program" ] || { say "FAIL: no program at $program (build it first)"; exit 1; }
program=$(absolute "$program")
bindir=$(dirname "$program")
shots=${2:-${QUELMORA_ACCEPTANCE_DIR:-$bindir/acceptance}}
probe=${QUELMORA_PROBE:-$bindir/tests/acceptance_probe}
[ -x "$probe" ] || { say "FAIL: no layout probe at $probe (build the target acceptance_probe)"; exit 1; }
screen=${QUELMORA_ACCEPTANCE_SCREEN:-1280x1024x24}

for tool in xvfb-run Xvfb xauth; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        say "SKIP: no X server ($tool is not installed)"
        exit 0
    fi
done
for tool in xdotool import python3; do
    command -v "$tool" >/dev/null 2>&1 ||
        { say "FAIL: $tool is not installed (tools/setup.sh installs it)"; exit 1; }
done

mkdir -p "$shots" || { say "FAIL: cannot create $shots"; exit 1; }
shots=$(cd "$shots" && pwd)
# Only pictures of ours: the folder may be the caller's.
rm -f "$shots"/[0-9][0-9]-*.png "$shots/failure.png" "$shots/unexpected-window.png" "$shots/program.log"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quelmora-acceptance.XXXXXX") ||
    { say "FAIL: no scratch folder"; exit 1; }

# Parallel runs pick their displays with -a; two that pick the same number at
# once leave one without a server, which then simply tries again.
rc=1
for attempt in 1 2 3; do
    rm -f "$scratch/started"
    xvfb-run -a -e "$scratch/xvfb.log" -s "-screen 0 $screen -nolisten tcp -noreset" \
        "$BASH" ${QUELMORA_ACCEPTANCE_TRACE:+-x} "${BASH_SOURCE[0]}" --inner "$program" "$shots" "$probe" "$scratch"
    rc=$?
    [ -e "$scratch/started" ] && break
    say "note: the X server did not start (attempt $attempt): $(tail -2 "$scratch/xvfb.log" 2>/dev/null | tr '\n' ' ')"
    sleep 1
done
if [ ! -e "$scratch/started" ]; then
    say "FAIL: Xvfb did not start; its log: $scratch/xvfb.log"
    exit 1
fi
if [ "$rc" = 0 ]; then
    rm -rf "$scratch"
else
    say "      scratch folder kept: $scratch"
fi
exit "$rc"
