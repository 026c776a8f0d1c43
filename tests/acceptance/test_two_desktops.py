import flows
from clerk import SecondClerk
from desktop import read_rows
from scenario import Scenario


class TwoDesktops(Scenario):
    def test_two_clerks_tick_one_shipment_and_the_first_to_invoice_takes_it(self):
        p, main = flows.first_start(self)
        second = SecondClerk(self, "CLERK", "CLERK")
        grid = flows.Grid(p, main)

        # Both clerks tick order 1000-3, each at a desktop of their own.
        grid.tick("1000-3")
        second.call("tick", "1000-3")
        self.shot("ticked-on-both")

        # The first to press Invoice gets the invoice.
        number = flows.invoice_ticked(self, p, main, "first-invoiced")

        # The second is refused clearly, and no invoice is made for it.
        answer = second.call("invoice")
        told = "\n".join(answer["boxes"])
        self.assertRegex(told, r'Shipment "[^"]+" is on invoice %s already\.' % number)
        self.assertIn("The invoice has no shipments and no lines; it was not created.", told)
        self.assertNotRegex(answer["status"], flows.CREATED)
        shipment = read_rows(self.desktop.company_file(),
                             "SELECT SHINUMBER FROM OESHIH WHERE ORDNUMBER = '1000-3'")
        invoices = read_rows(self.desktop.company_file(),
                             "SELECT h.INVNUMBER FROM OEINVS s JOIN OEINVH h "
                             "ON h.INVUNIQ = s.INVUNIQ WHERE s.SHINUMBER = ?",
                             shipment[0][0])
        self.assertEqual([row[0].strip() for row in invoices], [number])

        # After a Refresh neither desk lists the invoiced order.
        p.click(flows.toolbar_button(p, main, "Refresh"))
        flows.wait_status(self, p, main, r"Loading Complete\. ")
        self.assertNotIn("1000-3", grid.orders())
        self.assertIn("1000-1", grid.orders())
        listed = second.call("refresh")
        self.assertNotIn("1000-3", listed)
        self.assertIn("1000-1", listed)
        self.shot("after-refresh")
