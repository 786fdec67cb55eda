# shellcheck shell=bash
# Uniform numbers drawn from texts, for the benchmarks whose flights are drawn from their seeds (sourced,
# not run). uniforms_of TEXT... prints on one line 16 numbers in [0, 1) for each text, four hexadecimal
# digits each of the text's SHA-256 digest, so that the same seed gives the same flights on every machine.
uniforms_of() {
  local hex="" text
  for text in "$@"; do hex+=$(printf '%s' "$text" | sha256sum | cut -c1-64); done
  awk -v hex="$hex" -v n=$((16 * $#)) 'BEGIN {
    for (k = 0; k < n; k++) {
      v = 0
      for (j = 1; j <= 4; j++) v = 16 * v + index("0123456789abcdef", substr(hex, 4 * k + j, 1)) - 1
      printf "%s%.6f", (k ? " " : ""), v / 65536
    }
    print ""
  }'
}
