# Sourced by the skin screenshot scripts. skinview_window <title> <pid> <min-width> <min-height>: waits up to
# 90 s (a loaded machine can take that long to start a Wine program) while the program runs, and prints the id
# of the largest visible window of that title. Wine may show a small window of the same title before the real
# one takes its size, and a search may end early when another window goes away meanwhile (an X error), so the
# windows are listed again until one is at least the given size; at the end the largest one found is printed
# (nothing when there is none), and the caller checks its size.
skinview_window() {
    local title=$1 pid=$2 min_w=$3 min_h=$4 deadline=$((SECONDS + 90)) w best= best_area=0
    local WINDOW X Y WIDTH HEIGHT SCREEN
    while [ $SECONDS -lt $deadline ] && kill -0 "$pid" 2>/dev/null; do
        for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
            if [ $((WIDTH * HEIGHT)) -gt "$best_area" ]; then best=$w best_area=$((WIDTH * HEIGHT)); fi
            [ "$WIDTH" -ge "$min_w" ] && [ "$HEIGHT" -ge "$min_h" ] && { echo "$w"; return; }
        done
        sleep 0.2
    done
    echo "$best"
}
