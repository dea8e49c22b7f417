#!/usr/bin/env bash
# The main demonstration arrives with the command-line tool.
set -euo pipefail
echo "The end-to-end demonstration is not built yet; run scripts/test.sh for the test suite."
