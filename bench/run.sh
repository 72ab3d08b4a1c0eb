#!/usr/bin/env bash
# Builds tandrel-cli (RelWithDebInfo, without the window) and times it against rsync and cp on
# a fresh ext4 volume in a loop image and on a tmpfs: see bench/README.md.
#
#   bench/run.sh [--quick] [--runs N] [--shapes tree,flat,large,sparse] [--cli PATH]
#                [--memory] [--keep-going]
#
# Run as root to get the ext4 image and the tmpfs; otherwise the trees go to a temporary
# directory and the report says so. rsync is installed (apt-get) when it is missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"

cli=""
args=()
while [[ $# -gt 0 ]]; do
    case "$1" in
        --cli)
            cli="$2"
            shift 2
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
if ! command -v rsync >/dev/null 2>&1; then
    if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
        echo "installing rsync" >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y rsync >/dev/null ||
            { apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y rsync >/dev/null; }
    else
        echo "rsync is missing and cannot be installed here (not root or no apt-get)" >&2
        exit 1
    fi
fi

if [[ -z "$cli" ]]; then
    build="$repo/build-bench"
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDREL_GUI=OFF \
        >/dev/null
    nice cmake --build "$build" -j2 --target tandrel-cli >/dev/null
    cli="$build/src/cli/tandrel-cli"
fi

exec python3 "$here/bench.py" --cli "$cli" "${args[@]+"${args[@]}"}"
