# Sourced by the installer tests: counting checks, and a Wine prefix of the test's own with
# helpers to run programs, read the registry and compare registry exports.
#   source wine_helpers.sh, then start_prefix WORK_DIR (run by hand, the prefix is
#   WORK_DIR/prefix, made anew; under scripts/wine-run, the one it prepared)
passed=0
failed=0
skipped=0
ok() {
    echo "ok: $*"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL: $*"
    failed=$((failed + 1))
}
skip() {
    echo "skipped: $*"
    skipped=$((skipped + 1))
}
expect() { # expect DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then ok "$what"; else fail "$what"; fi
}
finish() {
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" -eq 0 ]
    exit $?
}

start_prefix() { # start_prefix WORK_DIR
    work=$1
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko prompts, and no Linux menu entries or MIME types for the shortcuts.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    rm -rf "$work"
    mkdir -p "$work"
    # Under scripts/wine-run the prefix is a fresh copy of the build's template; run by
    # hand, the test boots one of its own.
    if [ -z "${DOSSIQ_RUN_TAG:-}" ]; then
        export WINEPREFIX=$work/prefix
        wineboot -i >/dev/null 2>&1 </dev/null
    fi
    wineserver -p
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
}

# Runs a Windows program; its output goes through a file (helper processes of Wine would
# hold a pipe open). Prints the output, returns the exit code.
win() {
    local out=$work/out.txt
    wine "$@" >"$out" 2>&1 </dev/null
    local rc=$?
    tr -d '\r' <"$out"
    return $rc
}
unix_path() { winepath -u "$1" 2>/dev/null; }
env_path() { win cmd /c echo "%$1%" | tail -n 1; }
reg_value() { # reg_value KEY [VALUE]: the data of a value, empty when missing
    local out
    if [ -n "${2:-}" ]; then out=$(win reg query "$1" /v "$2"); else out=$(win reg query "$1" /ve); fi || return 0
    sed -n 's/^ *[^ ].*REG_[A-Z_]* *//p' <<<"$out" | head -n 1
}
# Where the system's and the user's environment, PATH with it, live.
sys_env='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
user_env='HKEY_CURRENT_USER\Environment'
snapshot() { # snapshot NAME: exports of the two software hives and of the two environments
    win reg export 'HKEY_LOCAL_MACHINE\Software' "$(winepath -w "$work/$1.lm.reg")" /y >/dev/null
    win reg export 'HKEY_CURRENT_USER\Software' "$(winepath -w "$work/$1.cu.reg")" /y >/dev/null
    win reg export "$sys_env" "$(winepath -w "$work/$1.envlm.reg")" /y >/dev/null
    win reg export "$user_env" "$(winepath -w "$work/$1.envcu.reg")" /y >/dev/null
}
reg_type() { # reg_type KEY VALUE: REG_SZ, REG_EXPAND_SZ ..., empty when missing
    win reg query "$1" /v "$2" | grep -o 'REG_[A-Z_]*' | head -n 1
}
path_count() { # path_count PATH DIR: how many entries of PATH name DIR (any case, closing \ or not)
    local entry n=0 parts
    IFS=';' read -ra parts <<<"$1"
    for entry in "${parts[@]}"; do
        entry=${entry%\\}
        [ "${entry,,}" = "${2,,}" ] && n=$((n + 1))
    done
    echo $n
}
# Keys that Wine itself changes while programs run.
noise=(--ignore '\\Software\\Wine(\\|$)' --ignore 'Explorer\\(RecentDocs|FileExts|MountPoints2|UserAssist)'
       --ignore '\\Microsoft\\Windows\\CurrentVersion\\Explorer\\(ComDlg32|SessionInfo)'
       --ignore '\\Microsoft\\Cryptography\\RNG' --ignore '\\SystemCertificates\\'
       --ignore '\\Windows NT\\CurrentVersion\\NetworkCards\\')
reg_diff() { python3 "$(dirname "${BASH_SOURCE[0]}")/reg_diff.py" "$@" "${noise[@]}"; }
