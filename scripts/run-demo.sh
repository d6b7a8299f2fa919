#!/usr/bin/env bash
# `make run`: starts the simulator and the program connected to it, live.
set -euo pipefail
build=${1:-build/default}
echo "The program is not built yet; the command-line tool says:"
"$build/src/cli/q47v" --help
