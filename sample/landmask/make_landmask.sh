#!/usr/bin/env bash
# Makes the sample land mask from real coastlines (GSHHG, low resolution) with the Generic Mapping Tools:
#   apt-get install gmt gmt-gshhg-low
# The mask has one cell per SST grid cell: 2048 rows (south to north) by 4096 columns (east from the prime
# meridian), 360/4096 degrees each. Cell (i, j) is centred at latitude -90 + (i - 0.4) * 360/4096 and
# longitude (j - 0.9) * 360/4096, the centres of the cells that the SST lookup answers for.
# Output: mwir_land.txt.gz, the hexadecimal encoding (each digit four cells, bit 8 the westernmost; 128
# digits per line, so no line comes near the reader's 200-character buffer).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dx=0.087890625
cd "$work"
gmt grdlandmask -R0.0087890625/359.9208984375/-89.947265625/89.96484375 -I$dx -Dl -N0/1 -G"$work/mask.nc"
gmt grd2xyz "$work/mask.nc" -ZBLa > "$work/mask.txt"

python3 - "$work/mask.txt" <<'PY' | gzip -9n > "$OLDPWD/mwir_land.txt.gz"
import sys
cells = [int(float(v)) for v in open(sys.argv[1]).read().split()]
rows, cols = 2048, 4096
assert len(cells) == rows * cols, len(cells)
out = []
for i in range(rows):
    row = cells[i * cols:(i + 1) * cols]
    digits = ''.join('%X' % (row[k] * 8 + row[k + 1] * 4 + row[k + 2] * 2 + row[k + 3]) for k in range(0, cols, 4))
    out.extend(digits[p:p + 128] for p in range(0, len(digits), 128))
assert out[0][0] == 'F', 'the hexadecimal encoding must start with F (Antarctica)'
sys.stdout.write('\n'.join(out) + '\n')
PY
echo "wrote $OLDPWD/mwir_land.txt.gz"
