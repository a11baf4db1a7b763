#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh Wine prefix, on a virtual display, in a
# network namespace of its own (offline: the ticker finds no connection, and no
# content server of anyone else is reached):
#   1. a silent install: the files, InstallPath, the log-on choice, the Start-menu
#      shortcut and the uninstall entry;
#   2. the installed ticker.exe starts from there, and its Help opens the local
#      help.htm (the test makes itself the program that opens .htm pages);
#   3. a silent upgrade over the running ticker: it is asked to close, its quit
#      sequence saves the settings record and the Run entry, the user id stays;
#   4. a ticker that will not close: the upgrade stops with nothing changed;
#   5. a read-only install folder: the install stops with nothing changed;
#   6. a silent upgrade keeps the log-on choice no;
#   7. a silent uninstall while the ticker runs (its quit writes the Run entry again):
#      nothing of ours is left, a file of the user's stays, the settings are kept;
#      then /REMOVESETTINGS removes them too;
#   8. installs through the pages, the log-on choice turned off and then on again
#      (over the running ticker), the ticker started from the last page.
#   tools/wine-installer.sh INSTALLER.exe ticker.exe ticker_probe.exe PREFIX CONTENT_DIR
# Exit status 77 (skipped) when no private network namespace can be had.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
installer=$(realpath "$1")
built_ticker=$(realpath "$2")
probe=$(realpath "$3")
prefix=$(realpath -m "$4") # Wine wants it absolute
content=$(realpath "$5")

# Offline, and free to mount: a network and a mount namespace of our own (a user
# namespace too when not root).
if [ -z "${NORVALE_PRIVATE_NAMESPACE:-}" ]; then
  export NORVALE_PRIVATE_NAMESPACE=1
  if [ "$(id -u)" -eq 0 ]; then ns=(unshare --net --mount); else ns=(unshare --map-root-user --net --mount); fi
  if ! "${ns[@]}" true 2>/dev/null; then
    echo "SKIP: no private network namespace here (unshare refused), so the ticker cannot be run offline"
    exit 77
  fi
  exec "${ns[@]}" "$0" "$@"
fi

. "$here/tools/wine-session.sh"
rm -rf "$prefix"
wine_session "$prefix"
# No desktop menu entries of the host for the shortcuts that the installer makes.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
wine_display || fail "no virtual display"

settings='HKCU\Software\Norvale\Vodazovovarar'
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\NorvaleDesktopTicker'
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
name='Norvale Desktop Ticker'
version=$(basename "$installer" .exe)
version=${version#NorvaleTicker-}

# One registry value's data ("" when missing); the default value with /ve.
reg_value() {
  local key=$1 value=$2
  local args=(/v "$value")
  [ "$value" = "" ] && args=(/ve)
  wine reg query "$key" "${args[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ \{4\}.\{1,\} \{4\}REG_[A-Z_]\{1,\} \{4\}//p' | head -n 1
}
reg_has() { wine reg query "$1" "${@:2}" >/dev/null 2>&1; }
win_to_unix() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# The ticker window's application window, with the ticker's caption.
ticker_window() {
  xwininfo -root -tree | grep -q "\"$name\": (\"ticker.exe\""
}
ticker_gone() { ! kill -0 "$program" 2>/dev/null; }
start_installed_ticker() {
  (cd "$folder" && exec wine ticker.exe) >"$work/ticker.log" 2>&1 &
  program=$!
  within 40 ticker_window || fail "the installed ticker.exe shows no window"
}
# Menu commands are numbered from 100 in the order in which the ticker window
# declares its menus (a popup menu's root item takes a number too) and menu items;
# the calibration in step 2 proves the numbering.
menu_id() {
  local index
  index=$(sed -n 's/^ *forms::\(MenuItem\|PopupMenu\) \([A-Za-z0-9_]*\);.*/\2/p' "$here/src/app/main.h" | grep -nx "$1" | cut -d: -f1)
  [ -n "$index" ] || fail "no menu item $1 in src/app/main.h"
  echo $((99 + index))
}
probe_win='C:\norvale-probe\ticker_probe.exe'
mkdir -p "$WINEPREFIX/drive_c/norvale-probe"
cp "$probe" "$WINEPREFIX/drive_c/norvale-probe/ticker_probe.exe"
run_installer() { # exit status of the installer, which runs to its end (124: it hung)
  timeout 120 wine "$installer" "$@" >>"$work/installer.log" 2>&1 && return 0 || return $?
}
# Waits for the prefix's Wine processes to end, but not for ever.
wine_settles() { timeout 60 wineserver -w || fail "Wine processes are still running a minute later"; }

echo "1. silent install"
localappdata=$(wine cmd /c echo '%LOCALAPPDATA%' | tr -d '\r')
expected="$localappdata\\Programs\\$name"
folder=$(win_to_unix "$expected")
run_installer /S || fail "the silent install ended with exit status $?"
for file in ticker.exe loader.swf help.htm remove.exe licences/Lua.txt licences/libjpeg-turbo.txt \
  "licences/libjpeg-turbo IJG README.txt"; do
  [ -s "$folder/$file" ] || fail "$file is not in $folder"
done
cmp -s "$folder/ticker.exe" "$built_ticker" || fail "the installed ticker.exe is not the one built"
cmp -s "$folder/loader.swf" "$content/loader.swf" || fail "the installed loader.swf is not content/loader.swf"
cmp -s "$folder/help.htm" "$content/help.htm" || fail "the installed help.htm is not content/help.htm"
grep -q 'Permission is hereby granted' "$folder/licences/Lua.txt" || fail "Lua's licence text is not Lua's licence"
grep -q 'Independent JPEG Group' "$folder/licences/libjpeg-turbo.txt" || fail "libjpeg-turbo's licence text is wrong"
[ "$(ls -A "$folder" | grep -c '\.previous$')" -eq 0 ] || fail "set-aside copies were left behind"
[ "$(reg_value "$settings" InstallPath)" = "$expected" ] ||
  fail "InstallPath is '$(reg_value "$settings" InstallPath)', not '$expected'"
[ "$(reg_value "$settings" LaunchOnStartup)" = yes ] || fail "LaunchOnStartup is not yes after a silent first install"
shortcut="$(win_to_unix "$(wine cmd /c echo '%APPDATA%' | tr -d '\r')")/Microsoft/Windows/Start Menu/Programs/$name.lnk"
[ -s "$shortcut" ] || fail "no Start-menu shortcut at $shortcut"
[ "$(reg_value "$uninstall" DisplayName)" = "$name" ] || fail "the uninstall entry has no display name"
[ "$(reg_value "$uninstall" DisplayVersion)" = "$version" ] || fail "the uninstall entry's version is not $version"
[ "$(reg_value "$uninstall" Publisher)" = Norvale ] || fail "the uninstall entry has no publisher"
[ "$(reg_value "$uninstall" DisplayIcon)" = "$expected\\ticker.exe,0" ] || fail "the uninstall entry's icon is wrong"
[ "$(reg_value "$uninstall" UninstallString)" = "\"$expected\\remove.exe\"" ] ||
  fail "the uninstall string is '$(reg_value "$uninstall" UninstallString)'"
size=$(reg_value "$uninstall" EstimatedSize)
[ $((size)) -ge 500 ] || fail "the uninstall entry's size is $size KB"
reg_has "$run" /v "$name" && fail "the installer wrote the Run entry, which is the program's to write"
echo "   files, InstallPath, LaunchOnStartup = yes, shortcut and uninstall entry ($((size)) KB) are there"

echo "2. the installed ticker, offline, opens the local help"
# The test's own program opens .htm pages and writes down what it was given (the
# prefix's classes: Wine looks up no per-user ones).
wine reg add 'HKLM\Software\Classes\.htm' /ve /d NorvaleTestPage /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Classes\NorvaleTestPage\shell\open\command' /ve \
  /d "\"$probe_win\" record C:\\norvale-probe\\opened.txt \"%1\"" /f >/dev/null 2>&1
opened=$WINEPREFIX/drive_c/norvale-probe/opened.txt
start_installed_ticker
within 20 bash -c "[ -n \"\$(wine reg query '$settings' /v UID 2>/dev/null)\" ]" || fail "the ticker made no user id"
uid=$(reg_value "$settings" UID)
wine "$probe_win" command "$(menu_id LaunchatStartup1)" || fail "cannot reach the ticker's window"
within 10 bash -c "wine reg query '$settings' /v LaunchOnStartup 2>/dev/null | grep -q 'REG_SZ *no'" ||
  fail "the menu command numbering is not the ticker's (Launch at startup did not turn off)"
wine "$probe_win" command "$(menu_id LaunchatStartup1)"
within 10 bash -c "wine reg query '$settings' /v LaunchOnStartup 2>/dev/null | grep -q 'REG_SZ *yes'" ||
  fail "Launch at startup did not turn on again"
wine "$probe_win" command "$(menu_id Help1)"
within 20 test -s "$opened" || fail "Help opened nothing"
[ "$(tr -d '\r' <"$opened")" = "$expected\\help.htm" ] || fail "Help opened '$(cat "$opened")', not the local help.htm"
echo "   user id $uid; Help opened $(tr -d '\r' <"$opened")"

echo "3. silent upgrade over the running ticker"
before=$(stat -c %i "$folder/ticker.exe")
run_installer /S || fail "the silent upgrade ended with exit status $?"
ticker_gone || fail "the running ticker was not closed by the upgrade"
wait "$program" && code=0 || code=$?
program=""
[ "$code" -eq 0 ] || fail "the ticker ended with exit status $code when asked to close"
[ "$(stat -c %i "$folder/ticker.exe")" != "$before" ] ||
  fail "ticker.exe was not replaced"
cmp -s "$folder/ticker.exe" "$built_ticker" || fail "the upgraded ticker.exe is not the one built"
[ "$(reg_value "$settings" UID)" = "$uid" ] || fail "the user id changed in the upgrade"
record=$(reg_value "$settings" "")
[ ${#record} -eq 168 ] || fail "the ticker's quit saved no settings record (default value: '$record')"
[ "$(reg_value "$run" "$name")" = "\"$expected\\ticker.exe\"" ] ||
  fail "the ticker's quit wrote no Run entry for the installed program ('$(reg_value "$run" "$name")')"
[ "$(reg_value "$settings" LaunchOnStartup)" = yes ] || fail "the upgrade lost the log-on choice"
echo "   the ticker closed and saved its record; user id and record kept, Run entry by the ticker"

echo "4. a ticker that does not close"
sums() { (cd "$folder" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
files_before=$(sums)
wine "$probe_win" stubborn 20 >"$work/stubborn.log" 2>&1 &
stubborn=$!
within 20 grep -q ready "$work/stubborn.log" || fail "the stand-in ticker did not start"
started=$SECONDS
run_installer /S && code=0 || code=$?
[ "$code" -eq 2 ] || fail "the install went on over a ticker that did not close (exit status $code)"
[ $((SECONDS - started)) -ge 8 ] || fail "the installer gave the ticker only $((SECONDS - started)) s to close"
[ $((SECONDS - started)) -le 30 ] || fail "the installer waited $((SECONDS - started)) s for the ticker"
[ "$(sums)" = "$files_before" ] || fail "files changed although the install stopped"
[ "$(reg_value "$settings" InstallPath)" = "$expected" ] || fail "InstallPath changed although the install stopped"
waited=$((SECONDS - started))
wait "$stubborn" || fail "the stand-in ticker failed"
grep -q '^close-requests [1-9]' "$work/stubborn.log" || fail "the installer never asked the ticker to close"
echo "   asked to close, stopped after $waited s with exit status 2; nothing changed"

echo "5. a read-only install folder"
readonly_dir=$WINEPREFIX/drive_c/norvale-readonly
mkdir -p "$readonly_dir"
echo "an older file" >"$readonly_dir/keep.txt"
mount --bind "$readonly_dir" "$readonly_dir"
mount -o remount,bind,ro "$readonly_dir"
! touch "$readonly_dir/probe" 2>/dev/null || fail "the read-only folder can be written"
run_installer /S '/D=C:\norvale-readonly' && code=0 || code=$?
[ "$code" -eq 2 ] || fail "the install into a read-only folder ended with exit status $code"
[ "$(ls -A "$readonly_dir")" = keep.txt ] || fail "the read-only folder changed: $(ls -A "$readonly_dir")"
[ "$(reg_value "$settings" InstallPath)" = "$expected" ] || fail "InstallPath changed although the install failed"
[ "$(reg_value "$uninstall" InstallLocation)" = "$expected" ] || fail "the uninstall entry changed although the install failed"
[ "$(sums)" = "$files_before" ] || fail "the installed copy changed although the install failed"
umount "$readonly_dir"
echo "   exit status 2; folder, registry and the installed copy unchanged"

echo "   a failure while the files are written puts the earlier copy back"
partial=$WINEPREFIX/drive_c/norvale-partial
mkdir -p "$partial"
echo "an older ticker" >"$partial/ticker.exe"
echo "a file where the licences folder goes" >"$partial/licences"
run_installer /S '/D=C:\norvale-partial' && code=0 || code=$?
[ "$code" -eq 2 ] || fail "the install with an unwritable licences folder ended with exit status $code"
[ "$(ls -A "$partial" | tr '\n' ' ')" = "licences ticker.exe " ] ||
  fail "the failed install left: $(ls -A "$partial" | tr '\n' ' ')"
[ "$(cat "$partial/ticker.exe")" = "an older ticker" ] || fail "the earlier ticker.exe did not come back"
[ "$(reg_value "$settings" InstallPath)" = "$expected" ] || fail "InstallPath changed although the install failed"
echo "   exit status 2; the earlier ticker.exe is back, nothing else left"

echo "6. a silent upgrade keeps the log-on choice no, and takes away the Run entry"
reg_has "$run" /v "$name" || fail "no Run entry to start from"
wine reg add "$settings" /v LaunchOnStartup /t REG_SZ /d no /f >/dev/null 2>&1
run_installer /S || fail "the silent upgrade ended with exit status $?"
[ "$(reg_value "$settings" LaunchOnStartup)" = no ] || fail "the upgrade turned the log-on choice no into yes"
reg_has "$run" /v "$name" && fail "the Run entry stayed although the choice is no"
wine reg add "$settings" /v LaunchOnStartup /t REG_SZ /d yes /f >/dev/null 2>&1
echo "   LaunchOnStartup stays no; no Run entry"

echo "7. silent uninstall while the ticker runs"
echo "the user's own notes" >"$folder/notes.txt"
start_installed_ticker
uninstaller=$(reg_value "$uninstall" UninstallString)
uninstaller=${uninstaller#\"}
uninstaller=${uninstaller%\"}
# The uninstaller copies itself away and returns at once; the copy does the work.
wine "$uninstaller" /S >>"$work/installer.log" 2>&1 || fail "the uninstaller did not start"
uninstalled() {
  ! reg_has "$uninstall" && ticker_gone && [ ! -e "$folder/remove.exe" ]
}
within 60 uninstalled || fail "the silent uninstall did not finish"
wait "$program" 2>/dev/null || true
program=""
wine_settles
[ "$(ls -A "$folder")" = notes.txt ] || fail "left in the folder: $(ls -A "$folder" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is still there"
reg_has "$run" /v "$name" && fail "the Run entry is still there"
reg_has "$settings" /v InstallPath && fail "InstallPath is still there"
[ "$(reg_value "$settings" UID)" = "$uid" ] || fail "the silent uninstall did not keep the user id"
[ ${#record} -eq 168 ] && [ -n "$(reg_value "$settings" "")" ] || fail "the silent uninstall did not keep the settings record"
echo "   only the user's notes.txt is left; settings kept"

rm "$folder/notes.txt"
run_installer /S || fail "the install after the uninstall ended with exit status $?"
[ "$(reg_value "$settings" UID)" = "$uid" ] || fail "a new install lost the kept user id"
wine "$uninstaller" /S /REMOVESETTINGS >>"$work/installer.log" 2>&1 || fail "the uninstaller did not start"
removed_all() { ! reg_has "$uninstall" && ! reg_has 'HKCU\Software\Norvale'; }
within 60 removed_all || fail "/REMOVESETTINGS left the settings"
wine_settles
[ ! -e "$folder" ] || fail "the empty install folder is still there"
echo "   /REMOVESETTINGS: the settings key and the folder are gone"

echo "8. installs through the pages: the log-on choice off, then on again over the running ticker"
caption="$name $version"
page_shows() { wine "$probe_win" find "$caption" "$1" >/dev/null 2>&1; }
through_pages() { # the log-on box: check or uncheck
  wine "$installer" >>"$work/installer.log" 2>&1 &
  pages=$!
  within 30 page_shows "Welcome to the $name" || fail "no welcome page"
  wine "$probe_win" next "$caption"
  within 10 page_shows "Destination Folder" || fail "no folder page"
  wine "$probe_win" next "$caption"
  within 10 page_shows "&Start the $name when I log on" || fail "no log-on page"
  wine "$probe_win" find "$caption" "&Start the $name when I log on" "$1"
  wine "$probe_win" next "$caption"
  within 60 page_shows "Start the $name now" || fail "no finish page"
  wine "$probe_win" next "$caption" # Finish, with "start now" ticked
  within 30 bash -c "! kill -0 $pages 2>/dev/null" || fail "the installer did not end at Finish"
  wait "$pages" || fail "the installer ended with exit status $?"
}
through_pages uncheck
[ -s "$folder/ticker.exe" ] || fail "the pages installed no ticker.exe"
[ "$(reg_value "$settings" LaunchOnStartup)" = no ] || fail "the turned-off log-on choice was not stored as no"
within 40 ticker_window || fail "Finish did not start the ticker"
uid=$(reg_value "$settings" UID)
through_pages check
[ "$(reg_value "$settings" LaunchOnStartup)" = yes ] || fail "the turned-on log-on choice was not stored as yes"
[ "$(reg_value "$settings" UID)" = "$uid" ] || fail "the user id changed in the upgrade through the pages"
within 40 ticker_window || fail "Finish did not start the ticker again"
echo "   LaunchOnStartup = no, then yes; Finish started the installed ticker each time"
echo "PASS"
