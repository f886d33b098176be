#!/usr/bin/env bash
# Runs one lint tool over the files of the source tree that git knows (tracked, or new and not
# ignored) and that match the patterns, so a file added later is checked without a list to keep.
# Outside a git checkout it takes every matching file but those of the build trees.
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
if git -c safe.directory="$PWD" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git -c safe.directory="$PWD" ls-files -z --cached --others --exclude-standard -- $patterns)
else
  # a tree without git (an unpacked archive): every matching file outside the build trees
  names=()
  for p in $patterns; do names+=(-o -name "$p"); done
  mapfile -d '' files < <(find . \( -path './build*' -o -path ./bench/out -o -path ./.git \) -prune \
                               -o -type f \( -false "${names[@]}" \) -print0)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "lint: no files match $patterns in $src" >&2
  exit 1
fi
echo "lint: $1 over ${#files[@]} files"
"$@" "${files[@]}"
