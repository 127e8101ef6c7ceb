#!/usr/bin/env bash
# X server harness shared by scripts/test, scripts/demo, scripts/with-x and the integration
# tests. Source it, then call xh_start; everything it starts runs in its own process group
# and is stopped by xh_stop, which an EXIT trap calls so that an interrupted run leaves no
# Xvfb, tray or sample app behind.
#
#   xh_start [--tray | --desktop] [--xft-dpi=N] [--server-arg=ARG]...
#                          start Xvfb (and trayer, or a desktop: openbox with a tint2
#                          panel whose tray takes the icons, over a plain blue root),
#                          export DISPLAY and XH_SERVER_PID; --xft-dpi sets Xft.dpi in
#                          the resource database as a HiDPI desktop does (192 for 200 %);
#                          each ARG is added to Xvfb's arguments, after the defaults, so
#                          it can take back one (-extension XTEST, -listen tcp)
#   xh_spawn CMD ARGS...   start CMD in its own process group; stopped with the harness
#   xh_stop                stop everything started, newest first, and wait for it
#
# Settings (environment): XH_SCREEN (default 1512x982x24, a MacBook-sized 24-bit screen),
# XH_LOG_DIR (where Xvfb and trayer write their output; default a fresh temporary folder).

XH_SCREEN="${XH_SCREEN:-1512x982x24}"
XH_PGIDS=()
XH_TMP=""
XH_DISPLAY_NUMBER=""

xh__log() { printf '[xharness] %s\n' "$*" >&2; }

# Start "$@" as the leader of a new process group, so that stopping it also stops whatever
# it forks (trayer's helpers, a sample app's children). Prints nothing; records the group.
xh_spawn() {
    local log="${XH_SPAWN_LOG:-/dev/null}"
    if [[ $- == *m* ]]; then
        # With job control on, every background job already leads its own group.
        "$@" </dev/null >>"$log" 2>&1 &
    else
        # Without job control setsid does not fork, so $! is the new group's leader.
        setsid "$@" </dev/null >>"$log" 2>&1 &
    fi
    XH_PGIDS+=("$!")
    XH_LAST_PID="$!"
}

xh_start() {
    local tray=0 desktop=0 dpi=""
    local server_args=()
    for arg in "$@"; do
        case "$arg" in
        --tray) tray=1 ;;
        --desktop) desktop=1 ;;
        --xft-dpi=*) dpi="${arg#--xft-dpi=}" ;;
        --server-arg=*) server_args+=("${arg#--server-arg=}") ;;
        *) xh__log "unknown option $arg"; return 2 ;;
        esac
    done
    command -v Xvfb >/dev/null || { xh__log "Xvfb is not installed"; return 1; }

    XH_TMP="$(mktemp -d "${TMPDIR:-/tmp}/xharness.XXXXXX")"
    local logdir="${XH_LOG_DIR:-$XH_TMP}"
    mkdir -p "$logdir"
    mkfifo "$XH_TMP/displayfd"
    # Opened read-write so that neither side blocks on open; Xvfb inherits it as fd 3.
    local fifo_fd
    exec {fifo_fd}<>"$XH_TMP/displayfd"

    trap xh_stop EXIT
    trap 'xh_stop; exit 130' INT
    trap 'xh_stop; exit 143' TERM

    # -displayfd lets the server pick a free display number itself and report it, so
    # parallel runs by several developers never race for the same :N lock.
    XH_SPAWN_LOG="$logdir/xvfb.log" xh_spawn Xvfb -displayfd 3 -screen 0 "$XH_SCREEN" \
        -nolisten tcp -noreset +extension Composite +extension RANDR +extension XTEST \
        +extension X-Resource "${server_args[@]}" 3>&"$fifo_fd"
    local xvfb_pid="$XH_LAST_PID"
    local number=""
    read -r -t 30 -u "$fifo_fd" number
    exec {fifo_fd}>&-
    if [[ -z "$number" ]]; then
        xh__log "Xvfb did not report a display (log: $logdir/xvfb.log)"
        cat "$logdir/xvfb.log" >&2 2>/dev/null
        xh_stop
        return 1
    fi
    XH_DISPLAY_NUMBER="$number"
    export DISPLAY=":$number"
    export XH_SERVER_PID="$xvfb_pid"
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        xh__log "Xvfb exited at start (log: $logdir/xvfb.log)"
        xh_stop
        return 1
    fi

    if [[ -n "$dpi" ]]; then
        echo "Xft.dpi: $dpi" | xrdb -merge - || xh__log "xrdb could not set Xft.dpi"
    fi
    if ((desktop)); then
        xsetroot -solid '#2f6fb0'
        XH_SPAWN_LOG="$logdir/openbox.log" xh_spawn openbox
        xh__wait_for 20 xh__wm_running || xh__log "openbox did not start (log: $logdir/openbox.log)"
        XH_SPAWN_LOG="$logdir/tint2.log" xh_spawn tint2
        xh__wait_for 20 xh__tint2_running || xh__log "tint2 did not take the tray (log: $logdir/tint2.log)"
    fi
    if ((tray)); then
        if ! command -v trayer >/dev/null; then
            xh__log "trayer is not installed; no tray host on $DISPLAY"
        else
            XH_SPAWN_LOG="$logdir/trayer.log" xh_spawn trayer --edge top --align right \
                --widthtype request --height 24 --transparent false --SetDockType true
            if ! xh__wait_for_tray 20; then
                xh__log "trayer did not take the tray selection (log: $logdir/trayer.log)"
            fi
        fi
    fi
    # Screenshots of Japanese text need a CJK font; without one they show boxes.
    if command -v fc-list >/dev/null && ! fc-list :lang=ja 2>/dev/null | grep -qi 'Noto Sans CJK'; then
        xh__log "no Noto Sans CJK font (fonts-noto-cjk); Japanese text will not render"
    fi
    xh__log "display $DISPLAY ready ($XH_SCREEN)"
}

xh__tray_owned() {
    # trayer creates its panel window, class "trayer", when it takes the system-tray
    # selection of the screen.
    xwininfo -root -children 2>/dev/null | grep -q '("panel" "trayer")'
}

# A window manager announces itself on the root window.
xh__wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
# tint2 maps its panel once it has set up, its tray included.
xh__tint2_running() { xwininfo -root -tree 2>/dev/null | grep -q '("tint2" "Tint2")'; }

xh__wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    while ((SECONDS < deadline)); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

xh__wait_for_tray() {
    local deadline=$((SECONDS + ${1:-20}))
    while ((SECONDS < deadline)); do
        if xh__tray_owned; then return 0; fi
        sleep 0.1
    done
    return 1
}

# Callers may run with errexit; a group that is already gone, or one that ends by the
# signal it was sent, is the expected outcome here, not a failure.
xh_stop() {
    local i pgid
    # Newest first: the apps, then the tray, then the server they talk to.
    for ((i = ${#XH_PGIDS[@]} - 1; i >= 0; i--)); do
        pgid="${XH_PGIDS[i]}"
        kill -TERM -- "-$pgid" 2>/dev/null || true
    done
    for ((i = ${#XH_PGIDS[@]} - 1; i >= 0; i--)); do
        pgid="${XH_PGIDS[i]}"
        local deadline=$((SECONDS + 10))
        while kill -0 -- "-$pgid" 2>/dev/null && ((SECONDS < deadline)); do
            sleep 0.05
        done
        if kill -0 -- "-$pgid" 2>/dev/null; then
            xh__log "process group $pgid ignored SIGTERM; killing it"
            kill -KILL -- "-$pgid" 2>/dev/null || true
        fi
        wait "$pgid" 2>/dev/null || true
    done
    XH_PGIDS=()
    if [[ -n "$XH_TMP" && -d "$XH_TMP" ]]; then
        rm -rf "$XH_TMP"
    fi
    XH_TMP=""
    return 0
}
