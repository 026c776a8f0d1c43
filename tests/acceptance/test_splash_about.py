import time

import flows
from desktop import Desktop
from scenario import Scenario


class SplashAboutExit(Scenario):
    def test_splash_then_about_then_exit(self):
        p = self.start()
        # The splash comes first; a key sends it away and the sign-on follows.
        splash = p.window(flows.SPLASH_TITLE, 30, exact=True)
        self.assertTrue(any("Tallymerge" in text for text in p.texts(splash, "label")))
        self.shot("splash")
        p.activate_window(flows.SPLASH_TITLE)
        p.key("space")
        p.gone(flows.SPLASH_TITLE)
        p.sign_on("ADMIN", "ADMIN")
        config = p.window("Tallymerge - Configuration", 60)
        p.click(p.find(config, "push button", "OK"))
        main = p.window(flows.MAIN_TITLE, 60)
        flows.wait_status(self, p, main, r"Loading Complete\. ")

        # Help, About: the about box over the main window, closed with OK.
        p.key("alt+h")
        p.click(p.find(p.application(), "menu item", "About"))
        about = p.window("About Norvane Tallymerge", 30, exact=True)
        labels = "\n".join(p.texts(about, "label"))
        self.assertIn("Version ", labels)
        self.shot("about")
        p.click(p.find(about, "push button", "OK"))
        p.gone("About Norvane Tallymerge")

        # File, Exit ends the program.
        p.key("alt+f")
        p.click(p.find(p.application(), "menu item", "Exit"))
        Desktop.wait(lambda: self.program.process.poll() is not None, 30, "the program to end")
        self.assertEqual(self.program.process.returncode, 0)
        self.program = None
