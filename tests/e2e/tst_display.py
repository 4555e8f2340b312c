#!/usr/bin/env python3
"""The real binary's window sizes for each View item, as the X server reports
them. There is no window manager under the test's X server, so the window's
size is its client size. The sizes depend on the live height S of the status
bar; S is read off the full view and the other views are checked against it:
  LE&Ds          4425 x (2.4 S + 1170) twips, 4425 x 1170 with the menu hidden
  &SND/RCV Rate  6090 x (2.35 S + 1170),      6090 x 1170
  Data Sni&ffer  6090 x (3.2 S + 3396),       6090 x (2.2 S + 3396)
(3396 = txtReceive's height 855 + its top 2370 + 855 / 5; 15 twips a pixel.)"""

import unittest

import e2elib

TW = e2elib.TWIPS_PER_PIXEL
LINE1 = 1170
PANES = 855 + 2370 + 855 / 5
# imgPWR, 480 x 480 twips at the lamp panel's left 720 + 120: a double-click
# on it applies "ALL". With the menu bar hidden, client and window coincide.
PWR_X, PWR_Y = (720 + 120 + 240) // TW, 240 // TW


def px(twips):
    return twips / TW


class DisplayTest(unittest.TestCase):

    def test_view_items_size_the_window(self):
        with e2elib.Session("display") as s:
            handheld, _ = s.pty_pair()
            modem, _ = s.pty_pair()
            s.standard_ini(handheld, modem, status="OFF", startup="Data Sniffer")
            p = s.start_loomway()
            p.wait_for_window()
            full = e2elib.wait_until(lambda: p.geometry().width == 406 and p.geometry(), 10,
                                     what="the full view at start")
            status_bar = (full.height * TW - PANES) / 3.2
            # A status bar between 12 and 40 pixels: anything else means the
            # full view's height is not what the layout asks for.
            self.assertGreater(status_bar, 12 * TW, full)
            self.assertLess(status_bar, 40 * TW, full)

            p.key("ctrl+d")
            p.wait_for_size(px(4425), px(2.4 * status_bar + LINE1))
            p.key("ctrl+s")
            p.wait_for_size(px(6090), px(2.35 * status_bar + LINE1))
            p.key("ctrl+f")
            p.wait_for_size(px(6090), px(3.2 * status_bar + PANES))

            # "H&ide Menu" changes nothing until the next view is chosen.
            p.key("ctrl+h")
            p.wait_for_size(px(6090), px(3.2 * status_bar + PANES))
            p.key("ctrl+d")
            p.wait_for_size(px(4425), px(LINE1))

            # A double-click brings everything back ("ALL"), menus shown,
            # the mark of "H&ide Menu" kept: the next view hides them again.
            p.double_click(PWR_X, PWR_Y)
            p.wait_for_size(px(6090), px(3.2 * status_bar + PANES))
            p.key("ctrl+s")
            p.wait_for_size(px(6090), px(LINE1))
            p.double_click(PWR_X, PWR_Y)
            p.wait_for_size(px(6090), px(3.2 * status_bar + PANES))
            p.key("ctrl+f")
            p.wait_for_size(px(6090), px(2.2 * status_bar + PANES))
            p.double_click(PWR_X, PWR_Y)
            p.wait_for_size(px(6090), px(3.2 * status_bar + PANES))

            # Unchecking "H&ide Menu" keeps the menu with the next view.
            p.key("ctrl+h")
            p.key("ctrl+d")
            p.wait_for_size(px(4425), px(2.4 * status_bar + LINE1))
            self.assertTrue(p.running())

    def test_startup_views(self):
        # [Preferences] Startup picks the first view; MenuVisible=NO hides the menu.
        rows = [("LEDs", "YES", 4425, None), ("SND/RCV Rate", "NO", 6090, LINE1),
                ("LEDs", "NO", 4425, LINE1)]
        for startup, menu, width, height in rows:
            with self.subTest(startup=startup, menu=menu), e2elib.Session("startup") as s:
                handheld, _ = s.pty_pair()
                modem, _ = s.pty_pair()
                s.standard_ini(handheld, modem, status="OFF", startup=startup,
                               extra={"Preferences": {"MenuVisible": menu}})
                p = s.start_loomway()
                p.wait_for_window()
                if height is None:
                    start = e2elib.wait_until(lambda: p.geometry().width == 295 and p.geometry(),
                                              10, what="the LEDs view")
                    # The status bar's height, from the full view, predicts it.
                    p.key("ctrl+f")
                    full = e2elib.wait_until(lambda: p.geometry().width == 406 and p.geometry(),
                                             10, what="the full view")
                    status_bar = (full.height * TW - PANES) / 3.2
                    self.assertLessEqual(abs(start.height - px(2.4 * status_bar + LINE1)), 1,
                                         (start, full))
                else:
                    p.wait_for_size(px(width), px(height))

if __name__ == "__main__":
    unittest.main(verbosity=2)
