#!/usr/bin/env bash
# Screenshots of every control in its states: runs SkinView on the test skin tests/skin/controls (labels in
# four alignments, a text with a link, buttons normal/hot/pushed/disabled, a fade button, options and check
# boxes on and off, progress bars at several values, edits with text, password and disabled) under the build
# tree's Wine display, drives the pointer and keyboard with xdotool to reach the hot, pushed and focused
# states, saves <build>/screenshots/controls-<state>.png and checks known pixels of each. The skin's images
# are flat colours (tests/skin/controls/make_images.py), so the expected colours are exact.
# Usage: tests/skin/control_states.sh <build-dir>      (CTest runs it as control_states)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: control_states.sh <build-dir>}" && pwd)
skin="$root/tests/skin/controls"
exe="$build/tools/skinview/SkinView.exe"
shots="$build/screenshots"
[ -x "$exe" ] || { echo "control_states: $exe is not built" >&2; exit 1; }
mkdir -p "$shots"
. "$root/tools/wine-env.sh" "$build"
wine_env_up || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "control_states: $state: $*" >&2; failures=$((failures + 1)); }

# Colours of the skin's images (see make_images.py).
BTN_NORMAL=3060C0 BTN_HOT=40A0F0 BTN_PUSHED=103080 BTN_DISABLED=A0A0A0
OPT_OFF=C04040 OPT_ON=40C040
PROG_EMPTY=E0E0E0 PROG_FILLED=20C060
EDIT_NORMAL=F0F0F0 EDIT_HOT=FFF0C0 EDIT_FOCUSED=C0E0FF EDIT_DISABLED=C8C8C8
WHITE=FFFFFF

pixel() { /usr/bin/convert "$shot" -format "%[hex:p{$1,$2}]" info: 2>/dev/null | cut -c1-6; }

# The pixel at a client point has the colour (each channel within 2).
pixel_is() { # <x> <y> <RRGGBB> <what>
    local px i d
    px=$(pixel "$1" "$2")
    if [ ${#px} -ne 6 ]; then fail "$4: no pixel at $1,$2"; return; fi
    for i in 0 2 4; do
        d=$((16#${px:$i:2} - 16#${3:$i:2}))
        if [ $d -lt -2 ] || [ $d -gt 2 ]; then fail "$4: pixel $1,$2 is #$px, not #$3"; return; fi
    done
}

# The number of pixels in a region that are not the colour (within 3 %).
count_other() { # <x> <y> <w> <h> <RRGGBB>
    /usr/bin/convert "$shot" -crop "$3x$4+$1+$2" +repage -fuzz 3% -fill black -opaque "#$5" \
        -fill white +opaque black -format "%[fx:int(mean*w*h+0.5)]" info: 2>/dev/null
}
blank() { # <x> <y> <w> <h> <RRGGBB> <what>: nothing but the colour
    local n
    n=$(count_other "$1" "$2" "$3" "$4" "$5")
    [ "$n" = 0 ] || fail "$6: ${n:-?} pixels drawn in $3x$4+$1+$2"
}
drawn() { # <x> <y> <w> <h> <RRGGBB> <what>: at least a few pixels that are not the colour
    local n
    n=$(count_other "$1" "$2" "$3" "$4" "$5")
    [[ ${n:-0} =~ ^[0-9]+$ ]] && [ "$n" -ge 5 ] || fail "$6: nothing drawn in $3x$4+$1+$2"
}

snap() { # <state>: the window as it is now
    state=$1
    shot="$shots/controls-$state.png"
    rm -f "$shot"
    sleep 0.6
    import -window "$win" "$shot" 2>/dev/null || { fail "no screenshot"; return 1; }
    echo "control_states: saved $shot"
}
at() { xdotool mousemove --window "$win" "$1" "$2" 2>/dev/null; }

state=start
wine "$exe" --title skinview-controls --exit-after 90000 "$skin" </dev/null >"$work/view.log" 2>&1 &
pid=$!
. "$root/tests/skin/skinview_window.sh"
win=$(skinview_window skinview-controls "$pid" 600 400)
if [ -z "$win" ]; then
    fail "no SkinView window within 90 s"
    cat "$work/view.log" >&2
    kill "$pid" 2>/dev/null
    exit 1
fi

# 1. At rest, the pointer off the window.
xdotool mousemove 0 0 2>/dev/null
if snap normal; then
    [ "$(identify -format '%wx%h' "$shot")" = 600x400 ] || fail "the window is $(identify -format '%wx%h' "$shot")"
    # Labels 130 x 30 at y 10 (inside their 1-pixel border): where each alignment puts the text.
    drawn 12 12 40 26 $WHITE "default label, left part"
    blank 98 12 40 26 $WHITE "default label, right part"
    blank 152 12 20 26 $WHITE "centred label, left part"
    drawn 185 12 60 26 $WHITE "centred label, middle"
    blank 262 12 16 26 $WHITE "centred label, right part"
    blank 292 12 50 26 $WHITE "right-aligned label, left part"
    drawn 378 12 40 26 $WHITE "right-aligned label, right part"
    blank 432 12 126 8 $WHITE "bottom label, top rows"
    drawn 432 22 126 16 $WHITE "bottom label, bottom rows"
    drawn 10 50 400 24 $WHITE "text with a link"
    # Buttons (right end, clear of the text).
    pixel_is 86 94 $BTN_NORMAL "normal button"
    pixel_is 176 94 $BTN_NORMAL "button before hover"
    pixel_is 356 94 $BTN_DISABLED "disabled button"
    pixel_is 446 94 $BTN_NORMAL "fade button at rest"
    # Options and check boxes: the 20 x 20 box at the left.
    pixel_is 20 140 $OPT_OFF "option not selected"
    pixel_is 110 140 $OPT_ON "option selected"
    pixel_is 200 140 $OPT_OFF "check box not checked"
    pixel_is 290 140 $OPT_ON "check box checked"
    # Progress bars 200 wide from x 10: 0, 250 (50 px), 437 (87 px), 1000 of 1000; vertical 25 of 100 over 72.
    pixel_is 15 175 $PROG_EMPTY "progress 0"
    pixel_is 59 195 $PROG_FILLED "progress 250, last filled column"
    pixel_is 60 195 $PROG_EMPTY "progress 250, first empty column"
    pixel_is 96 215 $PROG_FILLED "progress 437, last filled column"
    pixel_is 97 215 $PROG_EMPTY "progress 437, first empty column"
    pixel_is 205 235 $PROG_FILLED "progress 1000"
    pixel_is 236 223 $PROG_EMPTY "vertical progress, above the fill"
    pixel_is 236 224 $PROG_FILLED "vertical progress, top of the fill"
    # Edits: state image at the right end, text at the left.
    pixel_is 166 272 $EDIT_NORMAL "edit with text"
    drawn 14 263 60 18 $EDIT_NORMAL "edit text"
    pixel_is 336 272 $EDIT_NORMAL "password edit"
    drawn 184 263 60 18 $EDIT_NORMAL "password characters"
    pixel_is 506 272 $EDIT_DISABLED "disabled edit"
    drawn 354 263 60 18 $EDIT_DISABLED "disabled edit text"
fi

# 2. The pointer over a button: hot.
at 140 102
if snap button-hot; then
    pixel_is 176 94 $BTN_HOT "hovered button"
    pixel_is 86 94 $BTN_NORMAL "the other button"
fi

# 3. The left button held down on a button: pushed.
at 230 102
xdotool mousedown 1 2>/dev/null
if snap button-pushed; then
    pixel_is 266 94 $BTN_PUSHED "pressed button"
fi
at 590 390
xdotool mouseup 1 2>/dev/null

# 4. The pointer over the fade button: after the fade it shows the hot image.
at 410 102
sleep 0.6
if snap fade-hot; then
    pixel_is 446 94 $BTN_HOT "fade button after fading in"
fi

# 5. The pointer over an edit: hot.
at 90 312
if snap edit-hot; then
    pixel_is 166 312 $EDIT_HOT "hovered edit"
    pixel_is 166 272 $EDIT_NORMAL "the edit above"
fi

# 6. A click into an edit: focused, with the native edit window over its text area; then typing.
at 260 312
xdotool click 1 2>/dev/null
if snap edit-focused; then
    pixel_is 182 302 $EDIT_FOCUSED "focused edit, padding"
    pixel_is 330 312 $WHITE "native edit window"
fi
xdotool key End type --delay 40 ' typed' 2>/dev/null
if snap edit-typed; then
    drawn 184 304 150 16 $WHITE "typed text in the native window"
fi
# Away from the edit: the native window closes and the field shows the new text.
at 590 390
xdotool click 1 2>/dev/null
if snap edit-closed; then
    pixel_is 330 312 $EDIT_NORMAL "edit after editing"
    drawn 184 304 150 16 $EDIT_NORMAL "edited text"
fi

# Close it as a user would: the window has the keyboard, Escape closes it.
xdotool key Escape 2>/dev/null
for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
    state=end
    fail "Escape did not close the window"
    kill "$pid" 2>/dev/null
fi
wait "$pid" 2>/dev/null
grep -h "SkinView:" "$work/view.log" >&2

if [ $failures -gt 0 ]; then
    echo "control_states: $failures check(s) failed" >&2
    exit 1
fi
echo "control_states: every state rendered"
