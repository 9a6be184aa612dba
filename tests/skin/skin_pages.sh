#!/usr/bin/env bash
# Screenshots of every page of the installer's skin: runs SkinView on the skin under the build tree's Wine
# display once per page (welcome with the custom panel closed and open, progress, finish, agreement, and the
# welcome page again from the tree's packed skin archive), in the state the installer gives that page, saves
# <build>/screenshots/skin-<page>.png and checks that each is a real rendering: regions where only the page's
# background art shows must equal that art, buttons must show their pictures' normal states over it, texts
# and fields must be drawn (the agreement text over the art, without a box of its own), the separator line
# must sit where the panel state puts it, and the window must be 600 x 400. Controls the skin names but the
# framework lacks are reported by SkinView and skipped.
# With SKIN_PAGES_DPI=144 or 192 the pages are shown under a prefix at that display scale (tests/app/dpi/
# at_dpi.sh) and saved as skin-<page>@<dpi>.png; there the window must be 600 x 400 scaled, the separator line
# must sit at its scaled place, and the comparisons with the art (drawn for 96) are left out.
# Usage: tests/skin/skin_pages.sh <build-dir> [<skin-folder>]     (CTest runs it as skin_pages)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: skin_pages.sh <build-dir> [<skin-folder>]}" && pwd)
skin=$(cd "${2:-$root/skin}" && pwd)
exe="$build/tools/skinview/SkinView.exe"
shots="$build/screenshots"
[ -x "$exe" ] || { echo "skin_pages: $exe is not built" >&2; exit 1; }
mkdir -p "$shots"
dpi=${SKIN_PAGES_DPI:-96}
if [ "$dpi" = 96 ]; then
    . "$root/tools/wine-env.sh" "$build"
    wine_env_up || exit 1
elif [ -z "${VELTARA_DPI_BUILD:-}" ]; then
    exec bash "$root/tests/app/dpi/at_dpi.sh" "$build" "$dpi" bash "$0" "$@"
fi
suffix=$([ "$dpi" = 96 ] || echo "@$dpi")
# A length of the skin at this scale (halves rounded up, as the framework rounds).
scaled() { echo $((($1 * dpi + 48) / 96)); }
# The comparisons with the art hold at 96 only.
at_base() { [ -f "$shot" ] && [ "$dpi" = 96 ]; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/skin/skinview_window.sh"

# What the installer sets up on every page: the agreement step switched off, the panel closed with its
# "open" button pictures, the default folder and its space line.
custom_images() {
    printf '%s\n' --attr "Btn_Custom:bkimage=file='$1' source='0,0,130,30'" \
        --attr "Btn_Custom:normalimage=file='$1' source='0,0,130,30'" \
        --attr "Btn_Custom:hotimage=file='$1' source='0,30,130,60'" \
        --attr "Btn_Custom:pushedimage=file='$1' source='0,60,130,90'"
}
mapfile -t setup < <(printf '%s\n' --show Opt_Agree=0 --show Label_agreement=0 --show Btn_agreement=0 \
    --attr Hor_Custom:height=1 --text 'Edt_Path=C:\Program Files (x86)' \
    --text 'Txt_ShowMsg=所需空间：150MB，可用空间：50.0GB' --attr Txt_info:enabled=false
    custom_images Custom_Up.png)
mapfile -t panel_open < <(printf '%s\n' --attr Hor_Custom:height=80; custom_images Custom_Down.png)
agreement='Veltara 用户协议

一、本协议是您与 Veltara 之间关于安装和使用本软件的协议。
二、安装即表示您同意本协议的全部条款。
三、本软件仅供个人娱乐使用。'

failures=0
fail() { echo "skin_pages: $page: $*" >&2; failures=$((failures + 1)); }

# The pixels of a region of the screenshot against the same-sized region of a reference picture:
# at most 1 % may differ by more than 3 %.
region_is() { # <ref.png> <x> <y> <w> <h> [<ref-x> <ref-y>]
    local ref=$1 x=$2 y=$3 w=$4 h=$5 rx=${6:-$2} ry=${7:-$3} diff
    /usr/bin/convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$work/a.png"
    /usr/bin/convert "$skin/$ref" -crop "${w}x${h}+${rx}+${ry}" +repage "$work/b.png"
    diff=$(/usr/bin/compare -metric AE -fuzz 3% "$work/a.png" "$work/b.png" null: 2>&1)
    [[ $diff =~ ^[0-9]+$ ]] && [ "$diff" -le $((w * h / 100)) ] ||
        fail "region ${w}x${h}+${x}+${y} is not $ref (${diff} pixels differ)"
}

# Something is drawn over the background art: more than 3 % of the region's pixels differ from it.
region_covers() { # <ref.png> <x> <y> <w> <h> <what>
    local ref=$1 x=$2 y=$3 w=$4 h=$5 diff
    /usr/bin/convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$work/a.png"
    /usr/bin/convert "$skin/$ref" -crop "${w}x${h}+${x}+${y}" +repage "$work/b.png"
    diff=$(/usr/bin/compare -metric AE -fuzz 3% "$work/a.png" "$work/b.png" null: 2>&1)
    [[ $diff =~ ^[0-9]+$ ]] && [ "$diff" -gt $((w * h * 3 / 100)) ] ||
        fail "$6 is not drawn in ${w}x${h}+${x}+${y} (${diff} pixels differ from $ref)"
}

# A control shows the state of a picture strip at <sx>,<sy> over the background art: the region must equal
# the picture drawn once or twice (as a background and as the state image) over the art, to 0.5 %.
region_shows() { # <background.png> <picture.png> <sx> <sy> <x> <y> <w> <h> <what>
    local bg=$1 pic=$2 sx=$3 sy=$4 x=$5 y=$6 w=$7 h=$8 best=-1 diff n
    /usr/bin/convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$work/a.png"
    /usr/bin/convert "$skin/$bg" -crop "${w}x${h}+${x}+${y}" +repage "$work/ref.png"
    /usr/bin/convert "$skin/$pic" -crop "${w}x${h}+${sx}+${sy}" +repage "$work/pic.png"
    for n in 1 2; do
        /usr/bin/convert "$work/ref.png" "$work/pic.png" -compose over -composite "$work/ref.png"
        diff=$(/usr/bin/compare -metric AE -fuzz 3% "$work/a.png" "$work/ref.png" null: 2>&1)
        [[ $diff =~ ^[0-9]+$ ]] && { [ $best -lt 0 ] || [ "$diff" -lt $best ]; } && best=$diff
    done
    [ $best -ge 0 ] && [ $best -le $((w * h / 200)) ] ||
        fail "$9 at ${w}x${h}+${x}+${y} does not show $pic at $sx,$sy (${best} pixels differ)"
}

# The separator line of the agreement row (#0C78CB) at a client point.
separator_at() { # <x> <y>
    local px r g b
    px=$(/usr/bin/convert "$shot" -format "%[hex:p{$1,$2}]" info:)
    r=$((16#${px:0:2})) g=$((16#${px:2:2})) b=$((16#${px:4:2}))
    [ $((r - 0x0C)) -ge -8 ] && [ $((r - 0x0C)) -le 8 ] && [ $((g - 0x78)) -ge -8 ] && [ $((g - 0x78)) -le 8 ] &&
        [ $((b - 0xCB)) -ge -8 ] && [ $((b - 0xCB)) -le 8 ] || fail "pixel $1,$2 is #$px, not the separator line"
}

shoot() { # <page> <SkinView arguments...>
    page=$1
    shift
    shot="$shots/skin-$page$suffix.png"
    rm -f "$shot"
    wine "$exe" --title "skinview-$page" --exit-after 30000 "$@" "${skin_source:-$skin}" </dev/null >"$work/$page.log" 2>&1 &
    local pid=$! win
    win=$(skinview_window "skinview-$page" "$pid" "$(scaled 600)" "$(scaled 400)")
    if [ -z "$win" ]; then
        if kill -0 "$pid" 2>/dev/null; then
            fail "no window within 90 s"
        else
            fail "SkinView ended without a window"
        fi
        cat "$work/$page.log" >&2
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    # The pointer away from the window (no hover states), then the picture once two in a row agree: a loaded
    # machine may still be painting after a fixed pause.
    xdotool mousemove 0 0 2>/dev/null
    local i prev="$work/$page-prev.png"
    sleep 0.5
    for i in $(seq 1 20); do
        import -window "$win" "$shot" 2>/dev/null || { rm -f "$shot"; break; }
        if [ -f "$prev" ] && [ "$(/usr/bin/compare -metric AE "$prev" "$shot" null: 2>&1)" = 0 ]; then break; fi
        cp "$shot" "$prev"
        sleep 0.5
    done
    [ -f "$shot" ] || fail "no screenshot"
    # Close it as a user would: a click on the caption gives it the keyboard, Escape closes it.
    xdotool mousemove --window "$win" "$(scaled 300)" "$(scaled 20)" click 1 sleep 0.2 key Escape 2>/dev/null
    for i in $(seq 1 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "Escape did not close the window"
        kill "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    grep -h "SkinView:" "$work/$page.log" >&2
    [ -f "$shot" ] || return
    [ "$(identify -format '%wx%h' "$shot")" = "$(scaled 600)x$(scaled 400)" ] ||
        fail "the window is $(identify -format '%wx%h' "$shot")"
    echo "skin_pages: saved $shot"
}

shoot welcome --select Tab_MainSwitch=0 --select Tab_Switch=0 "${setup[@]}"
[ -f "$shot" ] && separator_at "$(scaled 5)" "$(scaled 384)"
at_base && {
    region_is bk.png 10 55 280 110
    region_shows bk.png Btn_Mini.png 0 0 536 0 32 22 "the minimise button"
    region_shows bk.png Btn_Close.png 0 0 567 0 32 22 "the close button"
    region_shows bk.png Btn_Install.png 0 0 313 183 249 84 "the install button"
    region_shows bk.png Custom_Up.png 0 0 458 349 130 30 "the closed panel's button"
}

shoot welcome-custom --select Tab_MainSwitch=0 --select Tab_Switch=0 "${setup[@]}" "${panel_open[@]}"
[ -f "$shot" ] && separator_at "$(scaled 5)" "$(scaled 305)"
at_base && {
    region_is bk.png 10 55 280 110
    region_is bk.png 5 340 40 40
    region_shows bk.png Custom_Down.png 0 0 458 270 130 30 "the open panel's button"
    region_covers bk.png 55 313 64 30 "the path label"
    region_covers bk.png 123 316 349 25 "the path field"
    region_covers bk.png 479 317 60 24 "the change button"
    region_covers bk.png 134 344 250 30 "the space line"
}

shoot progress --select Tab_MainSwitch=0 --select Tab_Switch=1 "${setup[@]}" --attr Hor_Window:bkimage=bk1.png \
    --attr "theme:bkimage=file='0.png' fade='255'" --value Pro_Install=450 --text Txt_Status=45% \
    --text 'Txt_Error=请耐心等待，马上就好! 当前速度：1,206 KB/s'
at_base && {
    region_is 0.png 0 43 600 240 0 0
    region_is bk1.png 360 355 230 40
    region_covers bk1.png 50 323 500 24 "the progress bar"
    region_covers bk1.png 50 293 80 30 "the progress caption"
    region_covers bk1.png 130 293 60 30 "the percentage"
    region_covers bk1.png 50 353 300 30 "the status line"
}

shoot finish --select Tab_MainSwitch=0 --select Tab_Switch=2 "${setup[@]}" --attr Hor_Window:bkimage=bk2.png
at_base && {
    region_is bk2.png 10 55 580 240
    region_shows bk2.png Btn_Finish.png 0 0 100 308 176 58 "the finish button"
    region_shows bk2.png Btn_Start.png 0 0 310 308 176 58 "the start button"
}

shoot agreement --select Tab_MainSwitch=1 "${setup[@]}" --text "Txt_info=$agreement"
at_base && {
    region_is bk.png 0 80 18 300
    region_is bk.png 10 45 480 26
    region_covers bk.png 500 50 60 24 "the back button"
    # The agreement text is drawn over the art, and the rest of its box lets the art show through.
    region_covers bk.png 20 73 550 70 "the agreement text"
    region_is bk.png 20 160 550 200
}

# The same skin packed as the installer carries it, when this tree has packed it.
if [ -f "$build/app/skin.zip" ]; then
    skin_source="$build/app/skin.zip" shoot welcome-archive --select Tab_Switch=0 "${setup[@]}"
    at_base && {
        region_is bk.png 10 55 280 110
        region_shows bk.png Btn_Install.png 0 0 313 183 249 84 "the install button"
    }
fi

if [ $failures -gt 0 ]; then
    echo "skin_pages: $failures check(s) failed" >&2
    exit 1
fi
echo "skin_pages: all pages rendered"
