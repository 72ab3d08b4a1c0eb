#!/usr/bin/env bash
# Builds tandrel-cli and the window benchmark bench_ui_run (RelWithDebInfo, in build-bench/)
# and times them against rsync, rclone and cp on a fresh ext4 volume in a loop image and on a
# tmpfs: see bench/README.md.
#
#   bench/run.sh [--quick] [--runs N] [--shapes tree,flat,large,sparse] [--volumes ext4,tmpfs]
#                [--memory] [--memory-files N] [--no-cold] [--no-rclone] [--no-window]
#                [--cli PATH]
#
# Run as root to get the ext4 image, the tmpfs and the cold-cache case; otherwise the trees go
# to a temporary directory and the report says so. rsync, rclone and GNU time are installed
# (apt-get) when they are missing. With --cli, or without Qt, the window is not timed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"

cli=""
window=1
args=()
while [[ $# -gt 0 ]]; do
    case "$1" in
        --cli)
            cli="$2"
            shift 2
            ;;
        --no-window)
            window=0
            shift
            ;;
        *)
            args+=("$1")
            shift
            ;;
    esac
done

if [[ ! -x /usr/bin/time ]] && [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
    echo "installing GNU time (peak memory of each run)" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y time >/dev/null
fi
install() {  # install PACKAGE COMMAND [required]
    command -v "$2" >/dev/null 2>&1 && return 0
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
        echo "installing $1" >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y "$1" >/dev/null ||
            { apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y "$1" >/dev/null; }
    fi
    if ! command -v "$2" >/dev/null 2>&1; then
        if [[ "${3:-}" == required ]]; then
            echo "$1 is missing and cannot be installed here (not root or no apt-get)" >&2
            exit 1
        fi
        echo "$1 is missing and cannot be installed here: left out" >&2
    fi
}
install rsync rsync required
install rclone rclone

if [[ -z "$cli" ]]; then
    build="$repo/build-bench"
    gui=OFF
    targets=(tandrel-cli)
    if [[ $window -eq 1 ]]; then
        gui=ON
        targets+=(bench_ui_run)
    fi
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_GUI=$gui \
        >/dev/null
    nice cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
    cli="$build/src/cli/tandrel-cli"
    if [[ $window -eq 1 ]]; then
        args+=(--window "$build/bench/ui_run/bench_ui_run")
    fi
fi

exec python3 "$here/bench.py" --cli "$cli" "${args[@]+"${args[@]}"}"
