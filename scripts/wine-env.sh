# Shared by scripts/wine-run.sh and scripts/test-windows.sh (sourced, not run): the Wine session
# in which the Windows build runs.
#
# A session is a 32-bit prefix (build/windows/wineprefix unless ORVEX_WINEPREFIX says otherwise),
# an Xvfb screen of 1920 x 1080 that Wine draws its windows on, a persistent wineserver, and
# the virtual camera driver installed as the kernel service OrvexVirtualCamera and started.
# The order matters: Wine only ever shows windows when the display exists before its server
# starts, and a driver lives as long as the server that loaded it.
#
# Environment: ORVEX_WINDOWS_BUILD (default build/windows), ORVEX_WINEPREFIX,
# ORVEX_VIRTUAL_CAMERAS (cameras the driver attaches when it starts, default 1).

orvex_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ORVEX_WINDOWS_BUILD=${ORVEX_WINDOWS_BUILD:-$orvex_root/build/windows}
export WINEPREFIX=${ORVEX_WINEPREFIX:-$ORVEX_WINDOWS_BUILD/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
orvex_wine_session=$WINEPREFIX.session
orvex_driver_service=OrvexVirtualCamera

# The build's programs and DLLs, as a Windows search path (Z: is the Unix root).
orvex_wine_path() {
  local dir=$ORVEX_WINDOWS_BUILD/bin
  printf 'Z:%s' "${dir//\//\\}"
}

# True when the session recorded for this prefix still runs; exports its DISPLAY.
orvex_wine_running() {
  [[ -f $orvex_wine_session ]] || return 1
  local display xvfb_pid server_pid
  # shellcheck disable=SC1090
  source "$orvex_wine_session"
  kill -0 "$xvfb_pid" 2>/dev/null && kill -0 "$server_pid" 2>/dev/null || return 1
  export DISPLAY=$display
}

orvex_start_xvfb() {
  local n
  for ((n = 90; n < 200; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >"$WINEPREFIX.xvfb.log" 2>&1 &
    orvex_xvfb_pid=$!
    local waited
    for ((waited = 0; waited < 100; waited++)); do
      [[ -e /tmp/.X11-unix/X$n ]] && {
        export DISPLAY=:$n
        return 0
      }
      kill -0 "$orvex_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$orvex_xvfb_pid" 2>/dev/null || true
  done
  echo "error: no X display could be started (see $WINEPREFIX.xvfb.log)" >&2
  return 1
}

# Makes the prefix: Wine's own set-up, no managed windows (without a window manager Wine waits
# two seconds for every managed window it hides; with none managed it places and frames them
# itself), and the driver's kernel service. This runs in a server session of its own that ends
# before the suite's starts: services that the set-up starts must not race with the suite's.
orvex_make_prefix() {
  local log=$WINEPREFIX.boot.log
  {
    wineboot -i &&
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
      wine sc create "$orvex_driver_service" type= kernel start= demand \
        binPath= "C:\\windows\\system32\\drivers\\$orvex_driver_service.sys"
  } >"$log" 2>&1
  local status=$?
  wineserver -w
  if ((status != 0)); then
    echo "error: the Wine prefix could not be made:" >&2
    cat "$log" >&2
    return 1
  fi
}

# Installs the driver of the build and starts it; the driver reads the camera count when it
# starts.
orvex_start_driver() {
  local sys=$ORVEX_WINDOWS_BUILD/bin/$orvex_driver_service.sys
  if [[ ! -f $sys ]]; then
    echo "error: $sys is missing: build the windows preset first" >&2
    return 1
  fi
  local log=$WINEPREFIX.driver.log
  cp "$sys" "$WINEPREFIX/drive_c/windows/system32/drivers/"
  wine reg add "HKLM\\System\\CurrentControlSet\\Services\\$orvex_driver_service" /v Cameras \
    /t REG_DWORD /d "${ORVEX_VIRTUAL_CAMERAS:-1}" /f >"$log" 2>&1
  # Never through a pipe: the wineserver that starts the service would keep it open.
  local attempt
  for ((attempt = 0; attempt < 20; attempt++)); do
    wine sc start "$orvex_driver_service" >>"$log" 2>&1 || true
    wine sc query "$orvex_driver_service" >"$log.query" 2>&1 || true
    grep -q RUNNING "$log.query" && return 0
    sleep 0.5
  done
  echo "error: the virtual camera driver did not start:" >&2
  cat "$log" "$log.query" >&2
  return 1
}

# Starts a session for the prefix (making the prefix when it is new).
orvex_wine_start() {
  mkdir -p "$WINEPREFIX"
  orvex_start_xvfb || return 1
  orvex_write_session 0
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    orvex_make_prefix || return 1
  fi
  wineserver -f -p >"$WINEPREFIX.server.log" 2>&1 &
  orvex_write_session $!
  orvex_start_driver
}

orvex_write_session() {
  printf 'display=%q\nxvfb_pid=%q\nserver_pid=%q\n' "$DISPLAY" "$orvex_xvfb_pid" "$1" \
    >"$orvex_wine_session"
}

# Ends the session: every Wine process of the prefix, its server and the screen.
orvex_wine_stop() {
  [[ -f $orvex_wine_session ]] || return 0
  local display xvfb_pid server_pid
  # shellcheck disable=SC1090
  source "$orvex_wine_session"
  wineserver -k >/dev/null 2>&1 || true
  local waited
  for ((waited = 0; waited < 100 && server_pid != 0; waited++)); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  ((server_pid == 0)) || kill "$server_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$orvex_wine_session"
}
