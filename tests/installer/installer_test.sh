#!/bin/bash
# Checks what ships: the manual signer.pdf (its sections, pages and fonts, beside the
# manager), then the installer under Wine in a private prefix, once for all users and once
# for the current user: the files, the shell extension's registration, the file types as the
# shell itself answers for them, a container opened the way a double click opens it, the
# console program on the mode's PATH, and an uninstallation that leaves no file and no
# registry entry behind.
#
#   installer_test.sh MANUAL_PDF MANAGER_EXE SHELL_DLL CONSOLE_EXE PROBE_EXE WORK_DIR
#                     [INSTALLER_EXE]
#
# MANAGER_EXE, SHELL_DLL and CONSOLE_EXE are the signed copies the installer packs. With
# SIGN_CAFILE in the environment (the root of the test signing certificate, "-" for a real
# one) the installed uninstaller's signature is checked too.
# Without INSTALLER_EXE (no makensis, or the deliverables are not built) only the manual is
# checked.
set -uo pipefail

manual=$1
manager_exe=$2
shell_dll=$3
console_exe=$4
probe=$5
work=$6
installer=${7:-}
here=$(cd "$(dirname "$0")" && pwd)

source "$here/wine_helpers.sh"

# ---------------------------------------------------------------------------------------
# The manual
# ---------------------------------------------------------------------------------------
expect "the manual exists" test -s "$manual"
expect "the manual lies beside the built VantorManager.exe" \
    test -f "$(dirname "$manual")/VantorManager.exe"
pages=$(pdfinfo "$manual" 2>/dev/null | awk '/^Pages:/ {print $2}')
expect "the manual has at least 8 pages (has ${pages:-none})" test "${pages:-0}" -ge 8
expect "the manual's title names Dossiq" \
    bash -c "pdfinfo '$manual' | grep -q '^Title: *Dossiq'"
text=$(pdftotext -layout "$manual" - 2>/dev/null)
for section in "What Dossiq does" "Installing and removing" "Silent installation" \
    "Creating documents in the Explorer" "Opening a document" "Reading the signature report" \
    "The Document page in the Explorer" "Extracting and viewing files" "Languages" \
    "Files and settings"; do
    expect "the manual has the section \"$section\"" grep -qF "$section" <<<"$text"
done
# Every line the report can show is explained, in the program's own words.
for line in "Document has not been tampered" "Document HAS BEEN TAMPERED" \
    "Certificate validity check passed" "Certificate is not valid" \
    "Certificate chain check passed" "Certificate chain check failed" \
    "Up to date CRL exist" "CRL cannot be accessed" "Certificate has not been revoked" \
    "Certificate has been revoked" "Certificate is qualified" "Certificate is not qualified" \
    "It has not been checked whether certificate is qualified" \
    "Signature verification in progress..." "Certificate validation in progress..."; do
    expect "the manual explains \"$line\"" grep -qF -- "$line" <<<"$text"
done
expect "the manual prints the Cyrillic menu names" grep -qF "Српски (ћирилица)" <<<"$text"
expect "the manual's fonts are all embedded" \
    bash -c "pdffonts '$manual' | tail -n +3 | awk '{ if (\$(NF-4) != \"yes\") exit 1 }'"
images=$(pdfimages -list "$manual" 2>/dev/null | tail -n +3 | wc -l)
expect "the manual shows pictures ($images)" test "$images" -ge 8

if [ -z "$installer" ]; then
    echo "no installer was built: only the manual was checked"
    finish
fi

# ---------------------------------------------------------------------------------------
# The installer, in a Wine prefix of its own
# ---------------------------------------------------------------------------------------
expect "the installer exists" test -s "$installer"
start_prefix "$work"

programs_dir_all=$(unix_path "$(env_path ProgramFiles)")
local_app_data=$(unix_path "$(env_path LOCALAPPDATA)")
start_all=$(unix_path "$(env_path ProgramData)")/Microsoft/Windows/Start\ Menu/Programs/Dossiq
start_user=$(unix_path "$(env_path APPDATA)")/Microsoft/Windows/Start\ Menu/Programs/Dossiq
# A stand-in PDF reader: opening a .pdf records the path it was given.
record_win='C:\dossiq-test\opened.txt'
record=$(unix_path "$record_win")
mkdir -p "$(dirname "$record")"
win reg add 'HKEY_LOCAL_MACHINE\Software\Classes\.pdf' /ve /d DossiqTest.Pdf /f >/dev/null
win reg add 'HKEY_LOCAL_MACHINE\Software\Classes\DossiqTest.Pdf\shell\open\command' /ve \
    /d "\"$(winepath -w "$probe")\" record \"$record_win\" \"%1\"" /f >/dev/null

documents=$(unix_path "$(env_path PUBLIC)")/Documents
mkdir -p "$documents"
# A container name with blanks: the open command must keep it one argument.
container="$documents/quarterly report.snx"
printf 'not a real container' >"$container"

signature_ok() { # signature_ok FILE
    local ca=()
    [ "$SIGN_CAFILE" != - ] && ca=(-CAfile "$SIGN_CAFILE")
    osslsigncode verify -in "$1" "${ca[@]}" >/dev/null 2>&1
}

check_shell() { # check_shell MODE WINDOWS_DIR: the shell's own answer, as Explorer asks it
    local mode=$1 windir=$2 answer rc
    answer=$(win "$probe" query .snx)
    echo "$answer" | sed 's/^/    /'
    expect "$mode: the shell opens .snx with the installed manager" \
        grep -qixF "executable=$windir\\VantorManager.exe" <<<"$answer"
    expect "$mode: the shell passes the .snx file as one quoted argument" \
        grep -qF "command=\"$windir\\VantorManager.exe\" \"%1\"" <<<"$answer"
    answer=$(win "$probe" query .pnx)
    expect "$mode: the shell opens .pnx with the installed manager" \
        grep -qixF "executable=$windir\\VantorManager.exe" <<<"$answer"

    # A double click: the shell starts the manager with the container.
    answer=$(win "$probe" open "$(winepath -w "$container")" "$windir\\VantorManager.exe")
    rc=$?
    echo "$answer" | sed 's/^/    /'
    expect "$mode: opening a container starts the installed manager with it" test $rc -eq 0
}

check_mode() { # check_mode AllUsers|CurrentUser
    local mode=$1 root dir start other
    if [ "$mode" = AllUsers ]; then
        root=HKEY_LOCAL_MACHINE other=HKEY_CURRENT_USER dir="$programs_dir_all/Dossiq" start=$start_all
    else
        root=HKEY_CURRENT_USER other=HKEY_LOCAL_MACHINE dir="$local_app_data/Programs/Dossiq" start=$start_user
    fi
    local windir classes=$root'\Software\Classes'
    windir=$(winepath -w "$dir")
    echo "--- $mode: $windir"

    if [ "$mode" = AllUsers ]; then
        # Another program owns .pnx already: the uninstaller must give it back.
        win reg add "$classes\\.pnx" /ve /d Other.Document /f >/dev/null
        win reg add "$classes\\.pnx" /v "Content Type" /d application/x-other /f >/dev/null
    fi
    # An unrelated entry on the mode's PATH, with a variable in it: it must survive as it is.
    local env_key=$user_env env_hive=envcu env_other=envlm path_before path_now answer rc
    [ "$mode" = AllUsers ] && env_key=$sys_env env_hive=envlm env_other=envcu
    path_before=$(reg_value "$env_key" Path)
    win reg add "$env_key" /v Path /t REG_EXPAND_SZ \
        /d "${path_before:+$path_before;}%USERPROFILE%\\other tool\\bin" /f >/dev/null
    path_before=$(reg_value "$env_key" Path)
    snapshot before
    # The switches are taken in any letter case.
    local switch=/$mode
    [ "$mode" = CurrentUser ] && switch=/CURRENTUSER
    win "$installer" /S "$switch"
    expect "$mode: the installer ends with exit code 0" test $? -eq 0

    expect "$mode: dossiq.exe is installed unchanged" cmp -s "$dir/dossiq.exe" "$console_exe"
    path_now=$(reg_value "$env_key" Path)
    echo "    PATH: $path_now"
    expect "$mode: the program folder is added once to the end of PATH, the rest unchanged" \
        test "$path_now" = "$path_before;$windir" -a "$(path_count "$path_now" "$windir")" -eq 1
    expect "$mode: PATH stays REG_EXPAND_SZ" test "$(reg_type "$env_key" Path)" = REG_EXPAND_SZ
    answer=$(win "$dir/dossiq.exe" --help)
    rc=$?
    expect "$mode: the installed dossiq.exe --help ends with exit code 0 ($rc)" \
        test $rc -eq 0 -a -n "$answer"
    # A new console finds the program by its name alone.
    answer=$(win cmd /c dossiq --help)
    rc=$?
    expect "$mode: \"dossiq --help\" runs from PATH ($rc)" test $rc -eq 0 -a -n "$answer"
    win "$installer" /S "$switch"
    expect "$mode: a second installation ends with exit code 0" test $? -eq 0
    expect "$mode: a second installation leaves PATH as the first left it" \
        test "$(reg_value "$env_key" Path)" = "$path_now"

    expect "$mode: VantorManager.exe is installed unchanged" cmp -s "$dir/VantorManager.exe" "$manager_exe"
    expect "$mode: dossiqshell.dll is installed unchanged" cmp -s "$dir/dossiqshell.dll" "$shell_dll"
    expect "$mode: signer.pdf is installed unchanged" cmp -s "$dir/signer.pdf" "$manual"
    expect "$mode: the uninstaller is installed" test -s "$dir/Uninstall.exe"
    if [ -n "${SIGN_CAFILE:-}" ]; then
        expect "$mode: the uninstaller carries a valid signature" signature_ok "$dir/Uninstall.exe"
    fi
    expect "$mode: Start menu entry for Vantor Manager" test -s "$start/Vantor Manager.lnk"
    expect "$mode: Start menu entry for the manual" test -s "$start/Dossiq Manual.lnk"

    # The shell extension registered itself (regsvr32) for the mode's users.
    for clsid in '{ACE88176-2E46-4D4C-849F-D4D8651B6B29}' '{1798D8B8-6825-4610-A1EF-02363EA2C34C}'; do
        local server
        server=$(reg_value "$classes\\CLSID\\$clsid\\InprocServer32")
        expect "$mode: class $clsid is served by the installed dossiqshell.dll ($server)" \
            test "${server,,}" = "${windir,,}\\dossiqshell.dll"
    done

    # The file types.
    expect "$mode: .snx belongs to Dossiq.SignedDocument" \
        test "$(reg_value "$classes\\.snx")" = Dossiq.SignedDocument
    expect "$mode: .pnx belongs to Dossiq.ProtectedDocument" \
        test "$(reg_value "$classes\\.pnx")" = Dossiq.ProtectedDocument
    expect "$mode: the open command of a Signed Document starts the installed manager" \
        test "$(reg_value "$classes\\Dossiq.SignedDocument\\shell\\open\\command")" = "\"$windir\\VantorManager.exe\" \"%1\""
    expect "$mode: the Signed Document icon is the manager's icon 211" \
        test "$(reg_value "$classes\\Dossiq.SignedDocument\\DefaultIcon")" = "$windir\\VantorManager.exe,-211"
    expect "$mode: the Protected Document icon is the manager's icon 212" \
        test "$(reg_value "$classes\\Dossiq.ProtectedDocument\\DefaultIcon")" = "$windir\\VantorManager.exe,-212"
    expect "$mode: the uninstall entry names the folder" \
        test "$(reg_value "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Dossiq" InstallLocation)" = "$windir"

    # Nothing lands in the other mode's hive: a current-user install needs no
    # administrator, and an all-users install leaves the user's classes alone.
    snapshot installed
    expect "$mode: the previous owner of .pnx is remembered" \
        test "$(reg_value "$classes\\Dossiq.ProtectedDocument" PreviousProgId)" = "$([ $mode = AllUsers ] && echo Other.Document)"
    local hive=lm leaked
    [ "$other" = HKEY_CURRENT_USER ] && hive=cu
    leaked=$(reg_diff "$work/before.$hive.reg" "$work/installed.$hive.reg" |
             grep -i 'dossiq\|ACE88176\|1798D8B8\|F9B1EA8C\|\.snx\|\.pnx')
    [ -n "$leaked" ] && echo "$leaked" | sed 's/^/    /'
    expect "$mode: nothing of Dossiq is written to $other" test -z "$leaked"
    leaked=$(reg_diff "$work/before.$env_other.reg" "$work/installed.$env_other.reg")
    [ -n "$leaked" ] && echo "$leaked" | sed 's/^/    /'
    expect "$mode: the other mode's environment is left alone" test -z "$leaked"

    # Help > Manual opens signer.pdf from the program's folder.
    answer=$(win "$probe" command "$windir\\VantorManager.exe" 32785 "$record_win")
    rc=$?
    local opened
    opened=$(tr -d '\r' <"$record" 2>/dev/null)
    echo "$answer" | sed 's/^/    /'
    echo "    manual opened: $opened"
    expect "$mode: Help > Manual opens the signer.pdf beside the installed program" \
        test $rc -eq 0 -a "${opened,,}" = "${windir,,}\\signer.pdf"

    # Windows shows the user's classes in HKEY_CLASSES_ROOT; Wine 8 shows only the machine's
    # there, so its shell cannot see a per-user file type.
    if [ -z "$(reg_value 'HKEY_CLASSES_ROOT\.snx')" ] && [ "$mode" = CurrentUser ]; then
        skip "$mode: the shell's answer for the file types (Wine merges no per-user classes)"
    else
        check_shell "$mode" "$windir"
    fi

    # Uninstall the way Windows does: the uninstaller copies itself away and returns.
    win "$dir/Uninstall.exe" /S
    expect "$mode: the uninstaller starts" test $? -eq 0
    for _ in $(seq 1 120); do
        [ ! -e "$dir" ] && [ -z "$(reg_value "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Dossiq" InstallLocation)" ] && break
        sleep 1
    done
    expect "$mode: the program folder is gone" test ! -e "$dir"
    expect "$mode: the Start menu folder is gone" test ! -e "$start"
    snapshot after
    local diff_lm diff_cu
    diff_lm=$(reg_diff "$work/before.lm.reg" "$work/after.lm.reg")
    diff_cu=$(reg_diff "$work/before.cu.reg" "$work/after.cu.reg")
    [ -n "$diff_lm$diff_cu" ] && printf '%s\n%s\n' "$diff_lm" "$diff_cu" | sed 's/^/    /'
    expect "$mode: HKEY_LOCAL_MACHINE\\Software is as before the installation" test -z "$diff_lm"
    expect "$mode: HKEY_CURRENT_USER\\Software is as before the installation" test -z "$diff_cu"
    local diff_env
    diff_env=$(reg_diff "$work/before.$env_hive.reg" "$work/after.$env_hive.reg")
    [ -n "$diff_env" ] && echo "$diff_env" | sed 's/^/    /'
    expect "$mode: the environment, PATH with it, is as before the installation" \
        test -z "$diff_env" -a "$(reg_value "$env_key" Path)" = "$path_before"
    if [ "$mode" = AllUsers ]; then
        expect "$mode: .pnx belongs to its previous owner again" \
            test "$(reg_value "$classes\\.pnx")" = Other.Document
        win reg delete "$classes\\.pnx" /f >/dev/null
    fi
}

check_finish_page() {
    # "Start Vantor Manager" on the finish page: the desktop's Explorer starts the manager,
    # so it runs with the user's normal rights, not with the installer's elevation.
    local answer rc dir="$programs_dir_all/Dossiq"
    answer=$(win "$probe" finish "$(winepath -w "$installer")" /AllUsers VantorManager.exe)
    rc=$?
    echo "$answer" | sed 's/^/    /'
    expect "finish page: the installer goes through its pages and starts the manager" test $rc -eq 0
    expect "finish page: the desktop's Explorer starts the manager, not the installer" \
        grep -qi '^parent=explorer\.exe' <<<"$answer"
    if grep -q '^parent=explorer\.exe full' <<<"$answer"; then
        skip "finish page: the manager's own elevation (Wine gives every process the full administrator token)"
    else
        local elevation
        elevation=$(sed -n 's/^program=//p' <<<"$answer")
        expect "finish page: the manager runs without the installer's elevation ($elevation)" \
            test -n "$elevation" -a "$elevation" != full
    fi
    win "$dir/Uninstall.exe" /S
    for _ in $(seq 1 120); do
        [ ! -e "$dir" ] && break
        sleep 1
    done
    expect "finish page: the installation is removed again" test ! -e "$dir"
}

check_msi_present() {
    # While the MSI package is installed, the setup program does not install for all users.
    local key='HKEY_LOCAL_MACHINE\Software\Classes\Installer\UpgradeCodes\7754F4AB69400BE4193544B8B015A58B'
    win reg add "$key" /v 7E8A36DD8D34A72419A27ED03A80BE76 /d "" /f >/dev/null
    win "$installer" /S /AllUsers
    local rc=$?
    expect "with the MSI package installed, an all-users installation is refused (exit code $rc)" \
        test $rc -eq 3 -a ! -e "$programs_dir_all/Dossiq"
    win reg delete "$key" /f >/dev/null
}

check_mode AllUsers
check_mode CurrentUser
check_msi_present
check_finish_page
finish
