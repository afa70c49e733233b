# Shared settings of the project's scripts: build folder, Wine prefix and the Wine environment.
# Sourced, not run.
ZOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZOR_BUILD=${ZOR_BUILD:-$ZOR_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$ZOR_BUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: they would hang a headless run.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Czech user locale: code page 1250, ',' decimals, NBSP grouping, ';' list separator.
# Set for Wine alone (through env), so that the shell never complains before the locale exists.
ZOR_LOCALE="LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8"

# Wine hands its top-level windows to the window manager and, when it hides one, waits up to two
# seconds for the manager's answer. On the virtual display the scripts start themselves no
# manager runs, so there Wine manages its windows itself; on a real desktop the manager does.
zor_window_management() {
  local want=Y
  [ "${ZOR_OWN_DISPLAY:-}" = 1 ] && want=N
  if grep -q "^\"Managed\"=\"$want\"" "$WINEPREFIX/user.reg" 2>/dev/null; then return 0; fi
  if [ "$want" = Y ] && ! grep -q '^"Managed"=' "$WINEPREFIX/user.reg" 2>/dev/null; then return 0; fi
  env $ZOR_LOCALE wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f \
    >/dev/null 2>&1 </dev/null || true
}

# Printing tests print to the CUPS queue "PDF" (cups-pdf), the default printer: the scheduler is
# started and the queue added when this user may do so. cups-pdf writes each job as a PDF into
# ZOR_PDF_FOLDER. Without the queue the printing tests skip and say so.
zor_print_queue() {
  command -v lpadmin >/dev/null 2>&1 || return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo -n"
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    $sudo cupsd >/dev/null 2>&1 || return 0
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      lpstat -r 2>/dev/null | grep -q "is running" && break
      sleep 0.5
    done
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    $sudo lpadmin -p PDF -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1 || return 0
  fi
  lpstat -d 2>/dev/null | grep -q ": PDF$" || $sudo lpadmin -d PDF >/dev/null 2>&1 || true
  export ZOR_PDF_FOLDER="$HOME/PDF"
}
