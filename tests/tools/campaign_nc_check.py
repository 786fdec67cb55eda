"""campaign.nc against the flight files it was made from, through xarray as a user opens it.

    campaign_nc_check.py OUTDIR

The collection holds every flight's seconds (the sum of the flights' lengths); the selection of each
flight (its rowSize seconds after those of the flights before it) equals the flight's own file, variable by
variable, times decoded. Exit status 77 (skipped) without xarray.
"""
import pathlib
import sys

try:
    import numpy as np
    import xarray as xr
except ImportError:
    print("SKIP: python3-xarray is not installed")
    sys.exit(77)

outdir = pathlib.Path(sys.argv[1])
ds = xr.open_dataset(outdir / "campaign.nc")
names = [str(n) for n in ds.trajectory.values]
rows = ds.rowSize.values
own = {name: xr.open_dataset(outdir / name / f"{name}.nc") for name in names}
lengths = [own[name].sizes["time"] for name in names]
assert ds.sizes["obs"] == sum(lengths) == rows.sum(), (ds.sizes["obs"], sum(lengths), rows.sum())
ends = np.cumsum(rows)
for k, name in enumerate(names):
    flight = ds.isel(obs=slice(ends[k] - rows[k], ends[k]))
    assert rows[k] == lengths[k], name
    for var, values in own[name].data_vars.items():
        if "time" not in values.dims:
            continue
        mine = flight[var].values
        theirs = values.values
        same = np.array_equal(mine, theirs, equal_nan=mine.dtype.kind == "f")
        assert same, f"{name}: {var} differs"
    assert np.array_equal(flight.time.values, own[name].time.values), f"{name}: time differs"
    assert np.allclose(ds.frequency.values[k], own[name].frequency.values, equal_nan=True), name
print(f"campaign.nc: {len(names)} flights, {ds.sizes['obs']} seconds, each equal to its own file")
