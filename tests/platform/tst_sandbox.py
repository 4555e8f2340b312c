#!/usr/bin/env python3
"""Tests started by hand, outside tests/support/test-env, change nothing of the user's: a test
binary and a Python test run with HOME and XDG_CONFIG_HOME at files that must stay as they are."""

import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e")


class SandboxTest(unittest.TestCase):

    def test_user_files_untouched(self):
        user = pathlib.Path(tempfile.mkdtemp(dir=os.environ["LOOMWAY_TEST_TMP"]))
        probe = "import os, sys\nsys.path.insert(0, %r)\nimport e2e\nprint(os.environ['HOME'])\n"
        for path, data in (("home/Palm/keep.txt", b"mine"), ("probe.py", (probe % E2E).encode()),
                           ("config/LOOMWAY.INI", b"[Source]\nPort=7\n")):
            (user / path).parent.mkdir(parents=True, exist_ok=True)
            (user / path).write_bytes(data)
        snapshot = lambda: {p: p.read_bytes() for p in user.rglob("*") if p.is_file()}
        before = snapshot()
        env = {k: v for k, v in os.environ.items() if not k.startswith(("LOOMWAY_TEST", "XDG_"))}
        env.update(HOME=str(user / "home"), XDG_CONFIG_HOME=str(user / "config"))
        # (The binary's test writes the settings file in XDG_CONFIG_HOME.)
        binary = os.path.join(os.environ["LOOMWAY_BINARY_DIR"], "tests", "platform_tst_io")
        for args in ([binary, "tcpEchoesEveryByte"], [sys.executable, str(user / "probe.py")]):
            r = subprocess.run(args, env=env, capture_output=True, timeout=240)
            self.assertEqual(r.returncode, 0, r.stdout[-2000:] + r.stderr[-2000:])
        self.assertNotIn(str(user), r.stdout.decode())  # the Python test ran with a HOME of its own
        self.assertEqual(snapshot(), before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
