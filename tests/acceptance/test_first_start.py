from scenario import Scenario


class FirstStart(Scenario):
    def test_first_start_configures_then_loads_the_orders(self):
        p = self.start()
        p.sign_on("ADMIN", "ADMIN")
        config = p.window("Tallymerge - Configuration", 60)
        self.shot("configuration")
        p.click(p.find(config, "list item", "ODBC Connection"))
        p.click(p.find(config, "push button", "Test"))
        box, text = p.message_box("Success")
        self.assertIn("ODBC connection successful!", text)
        self.shot("odbc-test")
        p.answer(box, "OK")
        p.click(p.find(config, "push button", "OK"))
        main = p.window("Tallymerge:  Sample Company Inc.", 60)
        status = p.find(main, "label", None)
        self.shot("main-window")
