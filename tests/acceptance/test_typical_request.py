import re

import flows
from scenario import Scenario


class TypicalRequest(Scenario):
    def test_three_shipments_of_one_customer_on_one_invoice(self):
        p, main = flows.first_start(self, delivery_charge=True)
        grid = flows.Grid(p, main)

        # A flagged customer's small order: the delivery charge is offered.
        grid.tick("1000-1")
        p.find(main, "label", "40.00")
        p.find(main, "combo box", "Apply - $10.00")
        self.shot("delivery-charge-offered")
        grid.tick("1000-2")
        grid.tick("ORD001002")
        p.find(main, "label", "244.00")

        # Another customer's shipment is refused with its box.
        grid.tick("1000-3")
        box, text = p.message_box("Incorrect Selection")
        self.assertIn("Only ONE customer per invoice is allowed.", text)
        self.shot("second-customer-refused")
        p.answer(box, "OK")
        p.gone("Incorrect Selection")

        p.click(flows.toolbar_button(p, main, "Invoice"))
        done = flows.wait_status(self, p, main, flows.CREATED)
        self.assertRegex(done, r"^Invoice \S+ created successfully\.$")
        self.shot("invoice-created")
        flows.close_print_window(p)

        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")
        listed = grid.orders()
        for order in ("1000-1", "1000-2", "ORD001002"):
            self.assertNotIn(order, listed)
        self.assertIn("1000-3", listed)
        self.shot("after-refresh")


class TypicalRequestOnServer(TypicalRequest):
    """The same request with the company on a database server."""
    on_server = True
