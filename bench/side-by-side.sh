#!/usr/bin/env bash
# Runs the benchmarks of an existing build twice, the companies in SQLite files and then on a
# private PostgreSQL server reached through its local socket (TALLYMERGE_TEST_BACKEND=
# postgres-socket, tests/support/teststore.h), and prints both figures side by side with
# their ratio against the target: the server at most 3 times the SQLite figure.
#
#   bench/side-by-side.sh [BUILD_FOLDER]        (default: build)
#
# Builds nothing. The two runs of each program follow each other, so a busy machine slows
# both alike. Each program says whether its company was on the server (counter on_server);
# one that was not gets no server figure. Exit status 0 when every ratio is within the
# target, 1 when one is not, 2 when a benchmark could not run or not on the server.
set -euo pipefail

build=${1:-build}
bin=$build/bin
source "$(dirname "$0")/common.sh"
require_programs side-by-side.sh "$bin" bench_grid bench_invoice_window bench_batch_run bench_print bench_invoice

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

# Runs one program on one backend (sqlite or server), its JSON into $out/NAME.BACKEND.json.
run() {
    local backend=$1 name=$2
    shift 2
    echo "running $name on $backend $*" >&2
    local store=
    [ "$backend" = server ] && store=postgres-socket
    if ! TALLYMERGE_TEST_BACKEND=$store "$bin/$name" \
        --benchmark_out="$out/$name.$backend.json" --benchmark_out_format=json "$@" \
        >"$out/$name.$backend.log" 2>&1; then
        echo "side-by-side.sh: $name on $backend failed; its output:" >&2
        tail -n 20 "$out/$name.$backend.log" >&2
        exit 2
    fi
}

both() {
    run sqlite "$@"
    run server "$@"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
# Each figure is the median of three runs: the machine's passing noise (another guest, a
# flush of the disk) lands on one run of one side, not on the ratio.
both bench_grid --benchmark_repetitions=3 --benchmark_filter='/10000/'
both bench_invoice_window --benchmark_repetitions=3 --benchmark_filter='/300/'
both bench_batch_run --benchmark_repetitions=3 --benchmark_filter='BatchRun/rows:1000/suffixed:0'
both bench_print --benchmark_repetitions=3 --benchmark_filter='/100/'
both bench_invoice
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$out" "$load_after" <<'EOF'
import json, os, sys

out, load = sys.argv[1], sys.argv[2]

def runs(program, backend):
    with open(os.path.join(out, f"{program}.{backend}.json")) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("error_occurred") or b.get("skipped"):
            sys.exit(f"side-by-side.sh: {program} on {backend}: {b['name']}: "
                     f"{b.get('error_message', 'skipped')}")
    return [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]

def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2

def ms(b):
    return b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]

def figure(program, prefix, backend, counter=None):
    # A name ends where the prefix does, or goes on after a "/": "/1" is not "/10".
    stem = prefix if prefix.endswith("/") else prefix + "/"
    found = [b for b in runs(program, backend)
             if b["name"] == prefix or b["name"].startswith(stem)]
    if not found:
        sys.exit(f"side-by-side.sh: {program} on {backend} reported no {prefix}")
    # A program that cannot put its company on the server says so (on_server 0, or no
    # such counter): its figure would be SQLite's twice.
    if backend == "server" and not all(b.get("on_server") == 1 for b in found):
        return None
    return median([b[counter] if counter else ms(b) for b in found])

rows = [
    ("grid load, 10,000 orders", "bench_grid", "LoadGrid/10000/", None, True),
    ("raw ODBC fetch, 10,000 orders", "bench_grid", "RawOdbcFetch/10000/", None, False),
    ("invoice window, 300 shipments", "bench_invoice_window", "InvoiceTickedShipments/300", None, True),
    ("batch run, 1,000 rows", "bench_batch_run", "BatchRun/rows:1000/", "figure_ms", True),
    ("print 100 invoices to one PDF", "bench_print", "BM_PrintInvoicesToPdf/100/", None, True),
    ("invoice of 1 shipment (views)", "bench_invoice", "BM_CreateInvoice/1", None, False),
    ("invoice of 10 shipments (views)", "bench_invoice", "BM_CreateInvoice/10", None, False),
    ("invoice of 100 shipments (views)", "bench_invoice", "BM_CreateInvoice/100", None, False),
]

Target = 3.0
print(f"load average at the end: {load}")
print(f"{'figure':<36} {'SQLite':>10} {'server':>10} {'ratio':>7}  verdict")
failed = 0
missing = 0
for name, program, prefix, counter, targeted in rows:
    lite = figure(program, prefix, "sqlite", counter)
    server = figure(program, prefix, "server", counter)
    if server is None:
        print(f"{name:<36} {lite:>7,.0f} ms  (the program did not put its company on the server)")
        missing += 1
        continue
    ratio = server / lite
    verdict = "-"
    if targeted:
        verdict = "met" if ratio <= Target else "MISSED"
        failed += ratio > Target
    print(f"{name:<36} {lite:>7,.0f} ms {server:>7,.0f} ms {ratio:>6.1f}x  {verdict}")
sys.exit(2 if missing else 1 if failed else 0)
EOF
