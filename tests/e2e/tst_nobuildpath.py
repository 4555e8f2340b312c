#!/usr/bin/env python3
"""No source or build folder path stands in the program's data (debug information aside)."""

import os
import pathlib
import subprocess
import tempfile
import unittest


class NoBuildPath(unittest.TestCase):

    def test_binary_data_names_no_build_folder(self):
        binary_dir, source_dir = os.environ["LOOMWAY_BINARY_DIR"], os.environ["LOOMWAY_SOURCE_DIR"]
        with tempfile.TemporaryDirectory(dir=os.environ.get("LOOMWAY_TEST_TMP")) as tmp:
            dumps = {s: pathlib.Path(tmp, s) for s in (".rodata", ".data", ".data.rel.ro")}
            subprocess.run(["objcopy", *("--dump-section=%s=%s" % kv for kv in dumps.items()),
                            os.path.join(binary_dir, "app", "loomway"), os.path.join(tmp, "copy")],
                           check=True)
            for section, dump in dumps.items():
                for folder in {source_dir, binary_dir, os.path.realpath(source_dir)}:
                    self.assertNotIn(folder.encode(), dump.read_bytes(), section)
            # The check can see a path: the section holds the program's own texts.
            self.assertIn(b"Palm Loomway", dumps[".rodata"].read_bytes())


if __name__ == "__main__":
    unittest.main()
