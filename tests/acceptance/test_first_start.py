import flows
from scenario import Scenario


class FirstStart(Scenario):
    def test_first_start_configures_then_loads_the_orders(self):
        # Sign-on, the configuration window first, the ODBC test of the suggested data
        # source, OK: the main window lists the company's open orders.
        p, main = flows.first_start(self)
        grid = flows.Grid(p, main)
        self.assertGreater(grid.row_count(), 0)
        self.assertIn("1000-1", grid.orders()[:10])
