#!/usr/bin/env bash
# Makes the pictures of docs/images from the screenshots of a green acceptance run, so that
# what the documents show is what the program showed:
#
#   sudo /usr/bin/python3 tests/acceptance/run.py build/bin /tmp/artefacts
#   tests/acceptance/docs_images.sh /tmp/artefacts [docs/images]
#
# Each screenshot is trimmed of the empty desktop around the windows.
set -euo pipefail
artefacts=${1:?the artefacts folder of an acceptance run}
dest=${2:-$(dirname "$0")/../../docs/images}
mkdir -p "$dest"

# picture in docs/images <- scenario folder / screenshot label
pictures=(
    "first-run-configuration  test_first_start_configures_then_loads_the_orders  configuration"
    "mainwindow-after-invoice test_three_shipments_of_one_customer_on_one_invoice invoice-created"
    "prepayment-window        test_a_prepayment_on_a_new_receipt_batch_reaches_the_invoice receipt-entered"
    "frmbatchpreview          test_a_batch_run_with_credit_approval_by_a_supervisor batch-preview"
    "credit-approval          test_a_batch_run_with_credit_approval_by_a_supervisor credit-approval"
    "print-window             test_the_print_window_after_an_invoice_and_a_range_printed_to_pdf range-to-pdf"
    "splash-window            test_splash_then_about_then_exit splash"
    "about-window             test_splash_then_about_then_exit about"
)
for line in "${pictures[@]}"; do
    read -r picture scenario label <<<"$line"
    shots=("$artefacts/$scenario"/[0-9][0-9]-"$label".png)
    [[ -f ${shots[0]} ]] || { echo "no screenshot '$label' of $scenario in $artefacts" >&2; exit 1; }
    convert "${shots[0]}" -trim +repage "$dest/$picture.png"
done
# The first page of the range the printing scenario printed, at 72 dpi.
pdftoppm -png -r 72 -f 1 -l 1 -singlefile \
    "$artefacts/test_the_print_window_after_an_invoice_and_a_range_printed_to_pdf/invoices.pdf" \
    "$dest/printed-invoice"
echo "pictures written to $dest"
