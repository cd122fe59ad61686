# shellcheck shell=bash
# Shared by setup-win32, run-win32 and run-win64 (sourced, not run).

# The library that fixes 32-bit Wine under qemu-i386 (qemu_shim.c). It lives
# outside the work tree because LD_PRELOAD splits its value at spaces and
# colons, and a fixed system path has neither; setup-win32 builds it.
VZ_SHIM_DIR=/usr/local/lib/vezivod-wine
VZ_SHIM_NAME=libvezivod-qemu-shim.so
# The name of the binfmt_misc entry that hands i386 programs to qemu-i386.
# shellcheck disable=SC2034 # used by setup-win32
VZ_BINFMT_NAME='qemu-i386'
VZ_BINFMT_DIR=/proc/sys/fs/binfmt_misc

# True when i386 programs run through qemu (an enabled binfmt_misc entry for
# i386 ELF names a qemu interpreter: ours, qemu-user-static's or Debian's
# qemu-user-binfmt wrapper), false when the kernel runs them itself or not at
# all.
vz_i386_via_qemu() {
    local entry
    [[ -r $VZ_BINFMT_DIR/status && $(<"$VZ_BINFMT_DIR/status") == enabled ]] || return 1
    for entry in "$VZ_BINFMT_DIR"/*; do
        case ${entry##*/} in register|status) continue ;; esac
        [[ -r $entry ]] || continue
        grep -qx enabled "$entry" && grep -q '^interpreter .*qemu' "$entry" &&
            grep -q '^magic 7f454c46010101.*0300$' "$entry" && return 0
    done
    return 1
}

# Writes a 96-byte static i386 program that exits with status 42: whether it
# runs tells whether this machine runs i386 code at all (natively or through a
# binfmt_misc entry), without needing a 32-bit compiler. vz_runs_i386 DIR
vz_runs_i386() {
    local probe rc=0
    probe=$(mktemp "$1/vezivod-probe.XXXXXX") || return 1
    printf '%b' \
        '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    [[ $rc == 42 ]]
}

# --- The runners ---------------------------------------------------------------
# vz_wine_main ARCH ARGS...: the body of run-win32 (ARCH win32) and run-win64
# (ARCH win64); the comment at the top of run-win32 explains the choices.

vz_die() { echo "run-$vz_arch: $*" >&2; exit 125; }

vz_wine_main() {
    vz_arch=$1
    shift
    vz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    local default_prefix=$vz_root/build/$vz_arch/wineprefix
    export WINEPREFIX=${WINEPREFIX:-$default_prefix}
    export WINEARCH=$vz_arch
    export WINEDEBUG=${WINEDEBUG:--all}
    case ";${WINEDLLOVERRIDES:-};" in
    *";winedbg.exe=d;mscoree,mshtml=d;"*) ;;
    *) export WINEDLLOVERRIDES="winedbg.exe=d;mscoree,mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
    esac
    vz_timeout=${VEZIVOD_WINE_TIMEOUT:-120}
    # Our own prefix keeps a lingering server; a caller's prefix gets one only
    # when asked, so that "wineserver -w" after a run returns at once.
    vz_linger=${VEZIVOD_WINE_LINGER:-}
    [[ -z $vz_linger && $WINEPREFIX == "$default_prefix" ]] && vz_linger=60

    if [[ $vz_arch == win32 ]]; then
        vz_loader=/usr/lib/wine/wine
    else
        vz_loader=/usr/lib/wine/wine64
    fi
    local qemu=no
    vz_emulated=no
    [[ -x /usr/lib/wine/wine ]] && vz_i386_via_qemu && qemu=yes
    if [[ ${1:-} == --probe ]]; then
        [[ -x $vz_loader ]] || return 1
        [[ $vz_arch == win64 ]] && return 0
        [[ $qemu == no || -f $VZ_SHIM_DIR/lib/i386-linux-gnu/$VZ_SHIM_NAME ]] || return 1
        vz_runs_i386 "${TMPDIR:-/tmp}"
        return
    fi
    [[ -x $vz_loader ]] || vz_die "$vz_loader is missing: run tests/wine/setup-win32 as root"
    # A 64-bit prefix also starts 32-bit Wine when wine32 is installed (its
    # WoW64 half), so both runners preload the library; $LIB picks the empty
    # x86_64 twin for native processes.
    if [[ $qemu == yes ]]; then
        local shim="$VZ_SHIM_DIR/\$LIB/$VZ_SHIM_NAME"
        [[ -f $VZ_SHIM_DIR/lib/i386-linux-gnu/$VZ_SHIM_NAME ]] ||
            vz_die "$VZ_SHIM_DIR is missing: run tests/wine/setup-win32 as root"
        case " ${LD_PRELOAD:-} " in
        *" $shim "*) ;;
        *) export LD_PRELOAD="$shim${LD_PRELOAD:+ $LD_PRELOAD}" ;;
        esac
        if [[ $vz_arch == win32 ]]; then
            vz_graphics=null
            vz_emulated=yes
            # Tests can tell from this that they run under emulation.
            export VEZIVOD_WINE_QEMU=1
        fi
    fi
    vz_graphics=${VEZIVOD_WINE_GRAPHICS:-${vz_graphics:-x11}}
    [[ $vz_graphics == x11 || $vz_graphics == null ]] ||
        vz_die "VEZIVOD_WINE_GRAPHICS must be x11 or null"
    # The programs that make the prefix and warm the server up run on the
    # display the tests will use: the desktop that they start keeps it, and
    # Wine records the display devices that it finds. Not for the null driver,
    # nor under qemu-i386, where wineboot waits forever on a desktop on X.
    vz_setup_env=(env)
    [[ $vz_graphics == null || $vz_emulated == yes ]] && vz_setup_env=(env -u DISPLAY)

    case ${1:-} in
    --prepare)
        vz_display
        vz_prefix "$default_prefix"
        vz_server
        return 0
        ;;
    --stop)
        vz_stop
        return 0
        ;;
    ''|-*)
        echo "usage: run-$vz_arch PROGRAM.exe [ARGS...] | --prepare | --stop | --probe" >&2
        exit 125
        ;;
    esac

    vz_display
    vz_prefix "$default_prefix"
    vz_server
    exec timeout -k 10 "$vz_timeout" "$vz_loader" "$@"
}

# Runs "$@" holding an exclusive lock on FILE: vz_locked FILE COMMAND...
# The lock is file descriptor 9: whatever outlives the command (Xvfb, the
# wineserver, Wine's services) must be started with 9>&- or it keeps the lock.
vz_locked() {
    local file=$1
    shift
    mkdir -p "$(dirname "$file")"
    (
        flock -w 900 9 || vz_die "timed out waiting for $file"
        "$@"
    ) 9>"$file"
}

# A private Xvfb when there is no display: started once (setsid, no terminal,
# output to /dev/null so it never holds a caller's pipe open) and reused by
# later runs through build/xvfb/display, which records its number and pid.
vz_display() {
    [[ -n ${DISPLAY:-} || $vz_graphics == null ]] && return 0
    local state=$vz_root/build/xvfb
    vz_locked "$state/lock" vz_display_locked "$state" || exit $?
    read -r vz_xnum _ <"$state/display" || vz_die "no Xvfb display"
    export DISPLAY=:$vz_xnum
}

vz_display_locked() {
    local state=$1 num pid fifo
    if [[ -f $state/display ]] && read -r num pid <"$state/display" &&
        [[ -S /tmp/.X11-unix/X$num ]] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
        return 0
    fi
    fifo=$state/displayfd
    rm -f "$fifo"
    mkfifo "$fifo"
    setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
        3>"$fifo" 9>&- </dev/null >/dev/null 2>&1 &
    pid=$!
    read -r -t 30 num <"$fifo" || true
    rm -f "$fifo"
    [[ -n ${num:-} ]] || vz_die "Xvfb did not start"
    echo "$num $pid" >"$state/display"
}

# Creates the prefix on first use. Our own prefix is ready once it has the
# marker that is written last, so one cut short (a killed test) is made anew;
# a prefix named by the caller's WINEPREFIX is ready once Wine has made its
# registry, and is never removed.
vz_prefix() {
    local default_prefix=$1 ready=$WINEPREFIX/system.reg
    [[ $WINEPREFIX == "$default_prefix" ]] && ready=$WINEPREFIX/.vezivod-ready
    [[ -f $ready ]] && return 0
    vz_locked "$WINEPREFIX.lock" vz_prefix_locked "$ready" "$default_prefix" || exit $?
}

vz_prefix_locked() {
    local ready=$1 default_prefix=$2 log=$WINEPREFIX.log
    [[ -f $ready ]] && return 0
    [[ $WINEPREFIX == "$default_prefix" ]] && rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    if ! timeout -k 10 900 "${vz_setup_env[@]}" "$vz_loader" wineboot --init 9>&- </dev/null >"$log" 2>&1 ||
        ! timeout 120 wineserver -w 9>&-; then
        vz_die "creating $WINEPREFIX failed (see $log)"
    fi
    vz_set_graphics || vz_die "setting the graphics driver in $WINEPREFIX failed"
    timeout 120 wineserver -w 9>&-
    touch "$WINEPREFIX/.vezivod-ready"
}

# Sets the graphics driver in the prefix's registry: when the prefix is made
# and again when the server starts, so that a change takes effect there.
vz_set_graphics() {
    timeout -k 10 300 "${vz_setup_env[@]}" "$vz_loader" reg add 'HKCU\Software\Wine\Drivers' \
        /v Graphics /d "$vz_graphics" /f 9>&- </dev/null >/dev/null 2>&1
}

# Keeps one wineserver for the prefix between runs: started here with
# persistence (it exits VEZIVOD_WINE_LINGER seconds after its last program)
# unless one already runs, and warmed up by a first program whose output goes
# nowhere, so that Wine's own services, which inherit the output of the
# program that starts them, never hold a test's output pipe open.
vz_server() {
    [[ -n $vz_linger ]] || return 0
    vz_locked "$WINEPREFIX.lock" vz_server_locked || exit $?
}

vz_server_locked() {
    # wineserver exits with status 2 at once when one already runs.
    wineserver -p"$vz_linger" 9>&- </dev/null >/dev/null 2>&1 || return 0
    vz_set_graphics || true
}

vz_stop() {
    if [[ -d $WINEPREFIX ]]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        timeout 30 wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
    local state=$vz_root/build/xvfb num pid
    if [[ -f $state/display ]] && read -r num pid <"$state/display" &&
        grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        rm -f "$state/display"
    fi
}
