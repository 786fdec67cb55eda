#!/usr/bin/env bash
# Static checks of the sources: shellcheck over every shell script (by name *.sh, or by a first line that
# is a shell's #! line or a "# shellcheck shell=" directive, templates *.in included) and clang-format with
# the repo's .clang-format over every C++ source. Prints what it finds; status 1 on any finding.
#   scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Data (fuzz corpora, test data) is never a script. Other files are scripts by name (*.sh), or by a first
# line of a shell when they are templates (*.in) or have no extension.
starts_as_shell() {
  case "$(head -n 1 "$1")" in
    '#!'*sh | '#!'*sh' '* | '# shellcheck shell='*) return 0 ;;
  esac
  return 1
}
shell=() cxx=()
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue
  base=${file##*/}
  case "$base" in
    *.cpp | *.hpp) cxx+=("$file") && continue ;;
    *.sh) shell+=("$file") && continue ;;
    *.in | .*) ;;    # templates and dot-files: by their first line
    *.*) continue ;; # any other extension: not a script
  esac
  if starts_as_shell "$file"; then shell+=("$file"); fi
done < <(git ls-files -z --cached --others --exclude-standard -- . ':!:fuzz/corpus' ':!:tests/data')

status=0
echo "shellcheck: ${#shell[@]} scripts"
shellcheck "${shell[@]}" || status=1
echo "clang-format: ${#cxx[@]} sources"
clang-format --dry-run -Werror "${cxx[@]}" || status=1
exit "$status"
