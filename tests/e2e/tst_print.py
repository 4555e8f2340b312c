#!/usr/bin/env python3
"""Printing through a private CUPS: the status reply and a document, the PDF read back;
once the printer is gone, the error reply."""

import os
import unittest

import e2e

DOCUMENT = (b"<PORIENT_P><FONT=TNR><FSIZE=24><FBOLD><ALIGN=CENTER>Loomway e2e<NL><FNORMAL>"
            b"<FSIZE=12>A plain line of text.<NL><FONT=ARIAL>Page <PAGEN><FFEED>Page <PAGEN><NL>"
            + b"".join(b"line %d<NL>" % i for i in range(90)))  # past page 2's bottom


class PrintTest(unittest.TestCase):

    def test_print(self):
        with e2e.Session() as s:
            tool = os.path.join(os.environ["LOOMWAY_SOURCE_DIR"], "tests", "support", "private-cups")
            r = e2e.run([tool, "start", s.path("cups")], 60)
            self.assertEqual(r.returncode, 0, r.stderr.decode())
            s.cleanups.append(lambda: e2e.run([tool, "stop", s.path("cups")], 60))
            cups = dict(os.environ, **dict(kv.split("=", 1) for kv in r.stdout.decode().split()))
            p, far, _ = s.relay(env={"CUPS_SERVER": cups["CUPS_SERVER"]})
            pdf, run = cups["CUPS_OUTPUT"], lambda *args: e2e.run(args).stdout.decode()

            def request(*args, input=None):
                r = s.sim("--device", far, "--timeout", "30", "handheld", *args, input=input)
                return r.returncode, dict(f.split("=", 1) for f in r.stdout.decode().splitlines())

            code, fields = request("status")
            self.assertEqual((code, fields["STA"], fields["NAME"], fields["LEN"]),
                             (0, "DEFINED", "FilePDF", "7"), fields)
            # Courier New 10 on A4 or Letter: about 66 lines of 85 characters,
            # a letter O of some 120 by 230 twips.
            (lines, columns), (height, width) = (map(int, fields[k].split(","))
                                                 for k in ("PRINT_HW", "FONT_HW"))
            self.assertTrue(40 < lines < 100 and 50 < columns < 130, fields)
            self.assertTrue(100 < height < 400 and 50 < width < 200, fields)
            self.assertFalse(os.path.exists(pdf))  # a status query prints nothing

            code, fields = request("print", "-", "--status", input=DOCUMENT)
            self.assertEqual((code, fields["STA"], fields["LEN"]),
                             (0, "DEFINED", str(len(DOCUMENT) + 7)))
            e2e.wait_until(lambda: os.path.exists(pdf) and e2e.run(
                ["lpstat", "-o"], env=cups).stdout == b"", 60, "the printed PDF")
            text = run("pdftotext", "-layout", pdf, "-")
            for line in ("Loomway e2e", r"Page\s+1\s", r"Page\s+2\s", r"line 89\s"):
                self.assertRegex(text, line)
            self.assertRegex(run("pdfinfo", pdf), r"(?m)^Pages:\s+3$")
            for font in ("LiberationSerif-Bold", "LiberationSans"):  # Times New Roman, Arial
                self.assertIn(font, run("pdffonts", pdf))

            self.assertEqual(e2e.run(["lpadmin", "-x", "FilePDF"], env=cups).returncode, 0)
            code, fields = request("print", "-", "--status", input=b"hello")
            self.assertEqual((code, fields["STA"]), (1, "ERROR(482)"), fields)
            self.assertIsNone(p.process.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
