# Shared by tests/e2e/run and scripts/demo: builds what the Wine runs need, starts a private X
# display and a fresh Wine prefix, and stops both again. Expects $repo to be the repository root.

wine_loader=/usr/lib/wine/wine64
bin_win='C:\e2e\bin'

# Builds the 64-bit updater and driver, and the native fixture maker.
e2e_build() {
  local preset
  for preset in mingw64 native; do
    if [ ! -f "$repo/build/$preset/build.ninja" ]; then
      cmake --preset "$preset" > /dev/null || return 1
    fi
  done
  cmake --build --preset mingw64 -j2 > "${TMPDIR:-/tmp}/kz-e2e-build.log" 2>&1 &&
    cmake --build --preset native -j2 --target kz_e2e_fixture >> "${TMPDIR:-/tmp}/kz-e2e-build.log" 2>&1 || {
      tail -n 40 "${TMPDIR:-/tmp}/kz-e2e-build.log"
      return 1
    }
}

# Runs a Windows program in the prefix; its output goes to files named by the caller, never pipes,
# since the prefix's background processes inherit and keep open whatever Wine was given.
e2e_wine() {
  "$wine_loader" "$@"
}

# A private X display, a fresh prefix with an unmanaged X11 driver, and the programs copied in.
e2e_start() {
  run=$(mktemp -d "${TMPDIR:-/tmp}/kz-e2e.XXXXXX")
  export WINEPREFIX="$run/prefix" WINELOADER="$wine_loader" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  if [ -z "${KZ_E2E_DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$run/display" > "$run/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local i
    for i in $(seq 100); do
      [ -s "$run/display" ] && break
      sleep 0.1
    done
    [ -s "$run/display" ] || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=":$(cat "$run/display")"
  else
    export DISPLAY="$KZ_E2E_DISPLAY"
  fi
  "$wine_loader" wineboot --init > "$run/wineboot.log" 2>&1 || { echo "wineboot failed"; return 1; }
  mkdir -p "$WINEPREFIX/drive_c/e2e/bin"
  cp "$repo/build/mingw64/src/win/kestrome_update.exe" "$repo/build/mingw64/tests/e2e/driver/kz_e2e_driver.exe" \
    "$WINEPREFIX/drive_c/e2e/bin/"
  e2e_wine "$bin_win\\kz_e2e_driver.exe" prepare-prefix > "$run/prepare.log" 2>&1 || {
    echo "the prefix could not be prepared"
    return 1
  }
}

e2e_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k > /dev/null 2>&1 || true
    wineserver -w > /dev/null 2>&1 || true
  fi
  # A volume that a scenario mounted inside the run folder and could not unmount (an interrupted run).
  if [ -n "${run:-}" ]; then
    local mounted
    for mounted in $(findmnt -rn -o TARGET | grep "^$run/" | sort -r); do
      umount "$mounted" 2> /dev/null || umount -l "$mounted" 2> /dev/null || true
    done
  fi
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2> /dev/null || true
    wait "$xvfb_pid" 2> /dev/null || true
    xvfb_pid=
  fi
  if [ -n "${run:-}" ] && [ -z "${KZ_E2E_KEEP:-}" ]; then
    rm -rf "$run"
  elif [ -n "${run:-}" ]; then
    echo "run folder kept: $run"
  fi
}
