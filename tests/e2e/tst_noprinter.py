#!/usr/bin/env python3
"""Printing through the real binary with a private CUPS that has no printer:
the status reply is the error variant, and the program goes on."""

import unittest

import e2e


class NoPrinterTest(unittest.TestCase):

    def start(self, s, printer):
        cups = s.cups(printer)
        p, far, _ = s.relay(read_window=printer, env={"CUPS_SERVER": cups["CUPS_SERVER"]})
        return cups, p, far

    def status(self, s, far, *args, input=None):
        r = s.sim("--device", far, "--timeout", "30", "handheld", *args, input=input)
        return r.returncode, dict(line.split("=", 1) for line in r.stdout.decode().splitlines())

    def test_no_printer(self):
        with e2e.Session() as s:
            _, p, far = self.start(s, printer=False)
            code, fields = self.status(s, far, "print", "-", "--status", input=b"hello")
            self.assertEqual(code, 1)
            self.assertEqual(fields, {"STA": "ERROR(482)", "PRINT_HW": "0,0", "FONT_HW": "0,0",
                                      "LEN": "12", "NAME": "NOT_DEFINED"})
            self.assertTrue(p.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
