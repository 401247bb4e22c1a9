#!/usr/bin/env bash
# Runs shellcheck on every script under tools/ and tests/ and on .ci/run, following what they
# source; fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
shellcheck -x tools/*.sh tools/wine-run tests/*.sh .ci/run
