#!/usr/bin/env python3
"""Printing through the real binary on a private CUPS server: a markup
document sent on the handheld port comes out as a PDF on the default printer,
and the status reply comes back on the handheld port; with no printer at all
the reply is the error variant."""

import os
import subprocess
import unittest

import e2elib

PRIVATE_CUPS = os.path.join(e2elib.SOURCE_DIR, "tests", "support", "private-cups")

DOCUMENT = (b"<PORIENT_P><FONT=TNR><FSIZE=24><FBOLD><ALIGN=CENTER>Loomway e2e<NL>"
            b"<FNORMAL><FSIZE=12>A plain line of text.<NL>"
            b"<FONT=ARIAL>Page <PAGEN><NL>")


class PrivateCups:

    def __init__(self, session, printer=True):
        self.dir = session.path("cups")
        args = [PRIVATE_CUPS, "start", self.dir] + ([] if printer else ["--no-printer"])
        r = subprocess.run(args, capture_output=True, timeout=60)
        if r.returncode != 0:
            raise AssertionError("private-cups did not start: " + r.stderr.decode())
        session.cleanups.append(self.stop)
        self.env = dict(line.split("=", 1) for line in r.stdout.decode().split())

    def stop(self):
        subprocess.run([PRIVATE_CUPS, "stop", self.dir], capture_output=True, timeout=60)


class PrintTest(unittest.TestCase):

    def start(self, s, cups, read_window=False):
        handheld, handheld_far = s.pty_pair()
        modem, _ = s.pty_pair()
        s.standard_ini(handheld, modem, status="ON")
        p = s.start_loomway(env={"CUPS_SERVER": cups.env["CUPS_SERVER"]},
                            read_window=read_window)
        p.wait_for_window()
        return p, handheld_far

    def reply_fields(self, stdout):
        return dict(line.split("=", 1) for line in stdout.decode("latin-1").splitlines())

    def test_document_and_status_reply(self):
        with e2elib.Session("print") as s:
            cups = PrivateCups(s)
            p, far = self.start(s, cups, read_window=True)
            pdf = cups.env["CUPS_OUTPUT"]

            # The pure status query prints no page.
            r = s.sim("--device", far, "--timeout", "30", "handheld", "status")
            self.assertEqual(r.returncode, 0, r.stderr + s.program_log().encode())
            fields = self.reply_fields(r.stdout)
            self.assertEqual(fields["STA"], "DEFINED")
            self.assertEqual(fields["NAME"], "FilePDF")
            self.assertEqual(fields["LEN"], "7")
            lines, columns = map(int, fields["PRINT_HW"].split(","))
            height, width = map(int, fields["FONT_HW"].split(","))
            # Courier New 10 on a full page: about 66 lines of 85 characters
            # on A4 or Letter, a letter O of some 120 by 230 twips.
            self.assertTrue(40 < lines < 100 and 50 < columns < 130, fields)
            self.assertTrue(100 < height < 400 and 50 < width < 200, fields)
            # The reply is shown in txtReceive but not counted; the request
            # itself is counted and shown in txtSend.
            reply = ("<LMW_RSP>STA=DEFINED~PRINT_HW=%s~FONT_HW=%s~LEN=7~NAME=FilePDF</LMW_RSP>"
                     % (fields["PRINT_HW"], fields["FONT_HW"]))
            p.wait_for_counters(len("<LMW_P><SRESP></LMW_P>"), 0)
            self.assertEqual(p.shown.panes(), ("<LMW_P><SRESP></LMW_P>", reply))
            self.assertFalse(os.path.exists(pdf))

            document = s.path("document")
            with open(document, "wb") as f:
                f.write(DOCUMENT)
            r = s.sim("--device", far, "--timeout", "30", "handheld", "print", document,
                      "--status")
            self.assertEqual(r.returncode, 0, r.stderr)
            fields = self.reply_fields(r.stdout)
            self.assertEqual(fields["STA"], "DEFINED")
            self.assertEqual(fields["LEN"], str(len(DOCUMENT) + len(b"<SRESP>")))

            e2elib.wait_until(lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0, 60,
                              what="the printed PDF")
            e2elib.wait_until(
                lambda: subprocess.run(["lpstat", "-o"], capture_output=True,
                                       env=dict(os.environ, **cups.env)).stdout == b"",
                60, what="the print job to complete")
            text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                                  timeout=30).stdout.decode()
            self.assertIn("Loomway e2e", text)
            self.assertIn("A plain line of text.", text)
            self.assertIn("Page 1", text)
            # The status query before it sent no page: one job, one page.
            info = subprocess.run(["pdfinfo", pdf], capture_output=True, timeout=30).stdout
            self.assertRegex(info.decode(), r"(?m)^Pages:\s+1$")
            self.assertTrue(p.running())

    def test_no_printer(self):
        with e2elib.Session("noprinter") as s:
            cups = PrivateCups(s, printer=False)
            p, far = self.start(s, cups)
            r = s.sim("--device", far, "--timeout", "30", "handheld", "print", "-", "--status",
                      input=b"hello")
            self.assertEqual(r.returncode, 1)
            self.assertEqual(r.stdout.decode().splitlines(), [
                "STA=ERROR(482)", "PRINT_HW=0,0", "FONT_HW=0,0", "LEN=12", "NAME=NOT_DEFINED"])
            self.assertTrue(p.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
