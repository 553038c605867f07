#!/usr/bin/env bash
# One entry for building, running and testing on Debian: installs what is missing,
# cross-compiles with mingw-w64, and runs under Wine on a private prefix and display.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="${ZELTRA_BUILD_DIR:-$here/build}"
packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb xauth fonts-wqy-microhei locales googletest icoutils imagemagick python3)
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j "$(nproc)" "$@"
}

# Wine shows Chinese system texts and finds the CJK font under a Chinese locale, as on the
# users' machines; Debian's image has none, so one is compiled into the build folder.
chinese_env=()
make_locale() {
    local dir="$build/locale"
    if [ ! -d "$dir/zh_CN.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i zh_CN -f UTF-8 "$dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
    fi
    if [ -d "$dir/zh_CN.UTF-8" ]; then
        chinese_env=(LOCPATH="$dir" LANG=zh_CN.UTF-8)
    else
        echo "note: no zh_CN locale; Chinese texts may show as boxes" >&2
        chinese_env=(LANG=C.UTF-8)
    fi
}

# A private Wine prefix and X display, torn down on exit.
xvfb_pid=""
start_wine() {
    export WINEPREFIX="$build/wineprefix"
    export WINEDEBUG="${ZELTRA_WINEDEBUG:--all}"
    export WINEARCH=win64
    if [ ! -f "$WINEPREFIX/.zeltra-ready" ]; then
        rm -rf "$WINEPREFIX"
        WINEDLLOVERRIDES="mscoree=;mshtml=" "$wine64" wineboot -i >/dev/null 2>&1 || true
        "$wineserver" -w
        # No window manager: do not wait for hidden managed windows; crash instead of a dialog.
        "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$wine64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        "$wineserver" -w
        touch "$WINEPREFIX/.zeltra-ready"
    fi
    # Wine draws its caption buttons with Marlett ("0 1 r" without it) but does not load it from
    # /usr/share/wine/fonts, so it goes into the prefix; it alone: Tahoma there would become the
    # caption font, which has no Chinese. Checked every start, for prefixes made before this.
    local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] || { [ -f "$marlett" ] && cp "$marlett" "$fonts/"; } || true
    if [ -z "${DISPLAY:-}" ] || [ "${ZELTRA_OWN_DISPLAY:-1}" = 1 ]; then
        local n=$(( 90 + RANDOM % 400 ))
        while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    fi
    "$wineserver" -p
    trap stop_wine EXIT
    # Wine's background processes (services, the desktop window) outlive the program that
    # started them; started here without our pipes, they cannot hold a test's output open.
    "$wine64" wineboot </dev/null >/dev/null 2>&1 || true
    "$wine64" explorer.exe /desktop </dev/null >/dev/null 2>&1 &
    for _ in $(seq 100); do pgrep -f 'explorer.exe' >/dev/null && break; sleep 0.1; done
}
# The tools load winspool.drv only from the system folder, so the stand-in goes there,
# over Wine's placeholder file; the override makes Wine load it rather than its own.
install_standin() {
    cp "$build/system32/winspool.drv" "$WINEPREFIX/drive_c/windows/system32/winspool.drv"
    export WINEDLLOVERRIDES="winspool.drv=n,b;mscoree=;mshtml="
}
stop_wine() {
    "$wineserver" -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}

cmd="${1:-test}"
case "$cmd" in
deps)
    install_packages ;;
build)
    install_packages
    configure_and_build ;;
test)
    install_packages
    configure_and_build
    start_wine
    install_standin
    make_locale
    start=$(date +%s)
    status=0
    (cd "$build" && env "${chinese_env[@]}" ctest --output-on-failure --timeout 300 "${@:2}") || status=$?
    echo "make test: $(( $(date +%s) - start )) s of tests"
    exit $status ;;
run)
    install_packages
    configure_and_build
    own=0
    [ -z "${DISPLAY:-}" ] && own=1
    ZELTRA_OWN_DISPLAY=$own start_wine
    install_standin
    state="$build/demo-state.txt"
    [ -f "$state" ] || cp "$here/standin/demo-state.txt" "$state"
    export ZELTRA_SPOOLER_STATE="$state"
    make_locale
    if [ "$own" = 1 ]; then
        env "${chinese_env[@]}" "$wine64" "$build/bin/ZeltraPaper.exe" &
        app=$!
        env "${chinese_env[@]}" "$wine64" "$build/bin/zeltra_screenshot.exe" "$build/screenshot.bmp" || true
        convert "$build/screenshot.bmp" "$build/screenshot.png" 2>/dev/null || true
        env "${chinese_env[@]}" "$wine64" "$build/bin/zeltra_screenshot.exe" "$build/screenshot-menu.bmp" --menu || true
        convert "$build/screenshot-menu.bmp" "$build/screenshot-menu.png" 2>/dev/null || true
        echo "No display: screenshots saved to $build/screenshot.png and $build/screenshot-menu.png"
        kill "$app" 2>/dev/null || true
    else
        env "${chinese_env[@]}" "$wine64" "$build/bin/ZeltraPaper.exe"
    fi ;;
bench)
    install_packages
    configure_and_build
    start_wine
    install_standin
    make_locale
    env "${chinese_env[@]}" ${ZELTRA_BENCH_WRAP:-} "$wine64" "$build/bin/zeltra_bench.exe" ;;
forms)
    # zeltra-forms.exe with the given arguments, on the demo spooler of `run`.
    install_packages
    configure_and_build >/dev/null
    start_wine
    install_standin
    state="$build/demo-state.txt"
    [ -f "$state" ] || cp "$here/standin/demo-state.txt" "$state"
    export ZELTRA_SPOOLER_STATE="$state"
    make_locale
    status=0
    env "${chinese_env[@]}" "$wine64" "$build/bin/zeltra-forms.exe" "${@:2}" || status=$?
    exit $status ;;
*)
    echo "usage: $0 deps|build|test|run|bench|forms [ARGS]" >&2
    exit 2 ;;
esac
