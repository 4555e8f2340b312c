#!/usr/bin/env python3
"""Printing through a private CUPS: status query and document, the PDF read back; with no
printer the error reply."""

import os
import unittest

import e2e

DOCUMENT = (b"<PORIENT_P><FONT=TNR><FSIZE=24><FBOLD><ALIGN=CENTER>Loomway e2e<NL>"
            b"<FNORMAL><FSIZE=12>A plain line of text.<NL><FONT=ARIAL>Page <PAGEN><FFEED>Page <PAGEN><NL>"
            + b"".join(b"line %d<NL>" % i for i in range(90)))  # past page 2's bottom


def cups(s, printer):
    """A private CUPS in the session's folder; its environment lines as a dict."""
    tool = os.path.join(os.environ["LOOMWAY_SOURCE_DIR"], "tests", "support", "private-cups")
    d = s.path("cups")
    r = e2e.run([tool, "start", d] + ([] if printer else ["--no-printer"]), 60)
    if r.returncode != 0:
        raise AssertionError("private-cups: " + r.stderr.decode())
    s.cleanups.append(lambda: e2e.run([tool, "stop", d], 60))
    return dict(line.split("=", 1) for line in r.stdout.decode().split())


class PrintTest(unittest.TestCase):

    def start(self, s, printer):
        env = cups(s, printer)
        p, far, _ = s.relay(read_window=printer, env={"CUPS_SERVER": env["CUPS_SERVER"]})
        return env, p, far

    def test_no_printer(self):
        with e2e.Session() as s:
            _, p, far = self.start(s, printer=False)
            code, fields = self.status(s, far, "print", "-", "--status", input=b"hello")
            self.assertEqual(code, 1)
            self.assertEqual(fields, {"STA": "ERROR(482)", "PRINT_HW": "0,0", "FONT_HW": "0,0",
                                      "LEN": "12", "NAME": "NOT_DEFINED"})
            self.assertTrue(p.running())

    def status(self, s, far, *args, input=None):
        r = s.sim("--device", far, "--timeout", "30", "handheld", *args, input=input)
        return r.returncode, dict(line.split("=", 1) for line in r.stdout.decode().splitlines())

    def test_document_and_status_reply(self):
        with e2e.Session() as s:
            cups, p, far = self.start(s, printer=True)
            code, fields = self.status(s, far, "status")
            self.assertEqual(code, 0, fields)
            self.assertEqual((fields["STA"], fields["NAME"], fields["LEN"]),
                             ("DEFINED", "FilePDF", "7"))
            # Courier New 10 on A4 or Letter: about 66 lines of 85 characters,
            # a letter O of some 120 by 230 twips.
            lines, columns = map(int, fields["PRINT_HW"].split(","))
            height, width = map(int, fields["FONT_HW"].split(","))
            self.assertTrue(40 < lines < 100 and 50 < columns < 130, fields)
            self.assertTrue(100 < height < 400 and 50 < width < 200, fields)
            # The request is counted and shown; the reply shown, not counted.
            reply = ("<LMW_RSP>STA=DEFINED~PRINT_HW=%s~FONT_HW=%s~LEN=7~NAME=FilePDF</LMW_RSP>"
                     % (fields["PRINT_HW"], fields["FONT_HW"]))
            p.wait_for_counters(22, 0)
            self.assertEqual(p.panes(), ("<LMW_P><SRESP></LMW_P>", reply))
            pdf = cups["CUPS_OUTPUT"]
            self.assertFalse(os.path.exists(pdf))  # a status query prints nothing

            code, fields = self.status(s, far, "print", "-", "--status", input=DOCUMENT)
            self.assertEqual((code, fields["STA"], fields["LEN"]),
                             (0, "DEFINED", str(len(DOCUMENT) + 7)))
            lpstat = ["lpstat", "-o"]
            e2e.wait_until(lambda: os.path.exists(pdf) and e2e.run(
                lpstat, env=dict(os.environ, **cups)).stdout == b"", 60, "the printed PDF")
            text = e2e.run(["pdftotext", "-layout", pdf, "-"]).stdout.decode()
            for line in ("Loomway e2e", "A plain line of text.", r"Page\s+1\s", r"Page\s+2\s",
                         r"line 0\s", r"line 89\s"):
                self.assertRegex(text, line)
            self.assertRegex(e2e.run(["pdfinfo", pdf]).stdout.decode(), r"(?m)^Pages:\s+3$")
            fonts = e2e.run(["pdffonts", pdf]).stdout.decode()
            self.assertIn("LiberationSerif-Bold", fonts)  # "Times New Roman" bold
            self.assertIn("LiberationSans", fonts)  # "Arial"


if __name__ == "__main__":
    unittest.main(verbosity=2)
