# Sourced by the scripts that run a Windows build under Wine with the virtual handset, after
# e2e/wine_env.sh and wine_env_start: installs the handset's drivers into the prefix.
#
#   vhandset_env_install BIN_FOLDER
#       runs BIN_FOLDER/vhandset_install.exe with wine64 (the drivers and their install program are 64-bit
#       whatever the build), which returns once the bus's control device answers; prints its line and how
#       long it took, and answers its exit status. The drivers run in processes this call starts: Wine's
#       standard error and WINEDEBUG at this call are theirs.

vhandset_env_install() {
    local bin started status
    bin=$(cd "$1" && pwd) || return 1
    started=$(date +%s%N)
    timeout --kill-after=5 60 /usr/lib/wine/wine64 "$bin/vhandset_install.exe" 'Z:'"${bin//\//\\}"'\vhandset.inf' |
        tr -d '\r'
    status=${PIPESTATUS[0]}
    echo "vhandset: the install took $((($(date +%s%N) - started) / 1000000)) ms (exit status $status)"
    return "$status"
}
