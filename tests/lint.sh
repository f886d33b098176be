#!/usr/bin/env bash
# Runs one lint tool over the files of the source tree that git knows (tracked, or new and not
# ignored) and that match the patterns, so a file added later is checked without a list to keep.
# Usage: lint.sh SOURCE_DIR PATTERNS TOOL [ARGS...]   e.g. lint.sh . '*.cpp *.h' clang-format --dry-run
set -euo pipefail
src=$1 patterns=$2
shift 2
if ! command -v "$1" >/dev/null; then
  echo "lint: $1 not found (scripts/setup.sh installs it)" >&2
  exit 1
fi
cd "$src"
set -f   # the patterns go to git as they are
mapfile -d '' files < <(git -c safe.directory="$PWD" ls-files -z --cached --others --exclude-standard -- $patterns)
if [ ${#files[@]} -eq 0 ]; then
  echo "lint: no files match $patterns in $src (not a git checkout?)" >&2
  exit 1
fi
echo "lint: $1 over ${#files[@]} files"
"$@" "${files[@]}"
