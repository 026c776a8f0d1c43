#!/usr/bin/env bash
# Runs the benchmarks of an existing build and checks every speed figure against its target.
#
#   bench/check.sh [BUILD_FOLDER]        (default: build)
#
# Builds nothing. Each figure is printed beside its target and beside a physical reference
# measured in the same run: a keyed SELECT through the sqlite3 C API on the company file of
# the view engine's benchmark, and the grid's statement fetched through the ODBC C API on
# the grid benchmark's data source. The ratio to the reference is the figure to watch on a
# busy machine: both slow down together. So the grid load and the keyed reads have their
# targets as ratios to their reference (at most 3 times the raw fetch, at most 1.05 times
# the raw SELECT's time), and the verdict on them holds on a busy machine too.
#
# The machine's noise is measured in the same run: the references are repeated, and the
# noise is the largest spread of any reference, (slowest - fastest) / fastest, with 5 % as
# the least. A figure fails only when it misses its target by more than that share. The
# exit status is 0 when every figure is within its target and noise, 1 when one is not, 2
# when a benchmark could not run.
set -euo pipefail

build=${1:-build}
bin=$build/bin
source "$(dirname "$0")/common.sh"
require_programs check.sh "$bin" bench_accpac bench_grid bench_invoice_window bench_batch_run bench_print bench_start

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

# Runs one program with the given options, its JSON into $out/NAME.json, its console and
# log lines into $out/NAME.log.
run() {
    local name=$1
    shift
    echo "running $name $*" >&2
    if ! "$bin/$name" --benchmark_out="$out/$name.json" --benchmark_out_format=json "$@" \
        >"$out/$name.log" 2>&1; then
        echo "check.sh: $name failed; its output:" >&2
        tail -n 20 "$out/$name.log" >&2
        exit 2
    fi
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
run bench_accpac --benchmark_repetitions=5
run bench_grid --benchmark_repetitions=3 --benchmark_filter='/(10000|100000)/'
run bench_invoice_window --benchmark_filter='/300/'
run bench_batch_run --benchmark_filter='rows:1000/suffixed:0'
run bench_print
run bench_start
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$out" "$load_after" <<'EOF'
import json, os, sys

out, load = sys.argv[1], sys.argv[2]

def runs(program):
    with open(os.path.join(out, program + ".json")) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("error_occurred") or b.get("skipped"):
            sys.exit(f"check.sh: {b['name']}: {b.get('error_message', 'skipped')}")
    return [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]

def seconds(b, clock="real_time"):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    return b[clock] * scale

def matching(program, prefix):
    found = [b for b in runs(program) if b["name"].startswith(prefix)]
    if not found:
        sys.exit(f"check.sh: {program} reported no {prefix}")
    return found

def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2

def median_seconds(program, prefix, clock="real_time"):
    return median([seconds(b, clock) for b in matching(program, prefix)])

def cpu_ms(program, prefix):
    return median_seconds(program, prefix, "cpu_time") * 1e3

def spread(program, prefix):
    times = [seconds(b) for b in matching(program, prefix)]
    return (max(times) - min(times)) / min(times)

# The references, and the noise from their repetitions.
raw_read = median_seconds("bench_accpac", "BM_RawKeyedSelectShipment")
raw_fetch = {n: median_seconds("bench_grid", f"RawOdbcFetch/{n}/") for n in (10000, 100000)}
spreads = {"raw keyed SELECT": spread("bench_accpac", "BM_RawKeyedSelectShipment")}
for n in raw_fetch:
    spreads[f"raw ODBC fetch of {n:,} orders"] = spread("bench_grid", f"RawOdbcFetch/{n}/")
noise = max(0.05, max(spreads.values()))

def counter(program, prefix, name):
    return median([b[name] for b in matching(program, prefix)])

# (figure, measured, target, unit, "max" or "min", reference seconds or None, per)
# A rate's reference is the time of one raw read; a time's reference is a raw time. A
# target of unit "x" is a ratio: the figure's time over its reference's, at most that.
# The CPU column is the process's own CPU time (per load, per read, per run; "-" where the
# work is another process's or the figure is no time): on a busy machine it shows what the
# program spent, while the wall time also holds the wait for a core and for the disk.
def per_item_cpu_us(prefix):
    return cpu_ms("bench_accpac", prefix) * 1e3

figures = [
    ("grid load, 10,000 orders", median_seconds("bench_grid", "LoadGrid/10000/") * 1e3,
     3, "x", "max", raw_fetch[10000] * 1e3, f"{cpu_ms('bench_grid', 'LoadGrid/10000/'):,.0f} ms"),
    ("grid load, 100,000 orders", median_seconds("bench_grid", "LoadGrid/100000/") * 1e3,
     3, "x", "max", raw_fetch[100000] * 1e3, f"{cpu_ms('bench_grid', 'LoadGrid/100000/'):,.0f} ms"),
    ("grid of 100,000 orders, peak memory", counter("bench_grid", "LoadGrid/100000/", "peak_MB"),
     100, "MB", "max", None, "-"),
    ("keyed reads, customers", 1 / median_seconds("bench_accpac", "BM_KeyedReadCustomer"),
     1.05, "x", "min", raw_read, f"{per_item_cpu_us('BM_KeyedReadCustomer'):.2f} us"),
    ("keyed reads, shipments", 1 / median_seconds("bench_accpac", "BM_KeyedReadShipment"),
     1.05, "x", "min", raw_read, f"{per_item_cpu_us('BM_KeyedReadShipment'):.2f} us"),
    ("open-browse-fetch-close", 1 / median_seconds("bench_accpac", "BM_OpenBrowseFetchClose"),
     150e3, "/s", "min", raw_read, f"{per_item_cpu_us('BM_OpenBrowseFetchClose'):.2f} us"),
    ("invoice window, 300 shipments", median_seconds("bench_invoice_window", "InvoiceTickedShipments/300") * 1e3,
     100, "ms", "max", None, f"{cpu_ms('bench_invoice_window', 'InvoiceTickedShipments/300'):,.0f} ms"),
    ("batch run, 1,000 rows", counter("bench_batch_run", "BatchRun/rows:1000/", "figure_ms"),
     1000, "ms", "max", None, "-"),
    ("batch preview, 1,000 rows", counter("bench_batch_run", "PreviewBatch/rows:1000/", "figure_ms"),
     1000, "ms", "max", None, "-"),
    ("print 100 invoices to one PDF", median_seconds("bench_print", "BM_PrintInvoicesToPdf/100/") * 1e3,
     2000, "ms", "max", None, f"{cpu_ms('bench_print', 'BM_PrintInvoicesToPdf/100/'):,.0f} ms"),
    ("print 1,000 invoices to one PDF", median_seconds("bench_print", "BM_PrintInvoicesToPdf/1000/") * 1e3,
     500, "ms", "max", None, f"{cpu_ms('bench_print', 'BM_PrintInvoicesToPdf/1000/'):,.0f} ms"),
    ("program start to grid loaded", median_seconds("bench_start", "ProgramStart") * 1e3,
     1000, "ms", "max", None, "-"),
]

def shown(value, unit):
    if unit == "x":
        return f"{value:.2f}x"
    if unit == "/s":
        return f"{value / 1e3:,.0f}k/s"
    return f"{value:,.0f} {unit}"

print(f"load average at the end: {load}")
print(f"references: raw keyed SELECT {raw_read * 1e6:.2f} us ({1 / raw_read / 1e3:,.0f}k/s); "
      + "; ".join(f"raw ODBC fetch of {n:,} orders {t * 1e3:.0f} ms" for n, t in raw_fetch.items()))
print("noise: " + ", ".join(f"{name} {s:.1%}" for name, s in spreads.items())
      + f"; allowance {noise:.1%}")
print()
print(f"{'figure':<38} {'measured':>12} {'target':>12} {'x reference':>12} {'CPU':>10}  verdict")
failed = 0
for name, value, target, unit, kind, reference, cpu in figures:
    if unit == "x":
        # Judged by the ratio of its time to the reference's, whatever the kind of figure.
        ratio_value = value / reference if kind == "max" else (1 / value) / reference
        met = ratio_value <= target
        within_noise = ratio_value <= target * (1 + noise)
        verdict = "met" if met else ("within noise" if within_noise else "MISSED")
        failed += not within_noise
        measured = f"{value:,.0f} ms" if kind == "max" else f"{value / 1e3:,.0f}k/s"
        print(f"{name:<38} {measured:>12} {shown(target, unit):>12} {ratio_value:>12.2f} {cpu:>10}  {verdict}")
        continue
    if kind == "max":
        met = value <= target
        within_noise = value <= target * (1 + noise)
        ratio = f"{value / reference:.1f}" if reference else "-"
    else:
        met = value >= target
        within_noise = value >= target / (1 + noise)
        ratio = f"{(1 / value) / reference:.1f}" if reference else "-"
    verdict = "met" if met else ("within noise" if within_noise else "MISSED")
    failed += not within_noise
    print(f"{name:<38} {shown(value, unit):>12} {shown(target, unit):>12} {ratio:>12} {cpu:>10}  {verdict}")
sys.exit(1 if failed else 0)
EOF
