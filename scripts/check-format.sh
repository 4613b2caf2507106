#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src server tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${files[@]}"
