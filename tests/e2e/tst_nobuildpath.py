#!/usr/bin/env python3
"""No source or build folder path stands in the program's data (debug information aside)."""

import os
import subprocess
import tempfile
import unittest


class NoBuildPath(unittest.TestCase):

    def test_binary_data_names_no_build_folder(self):
        binary_dir = os.environ["LOOMWAY_BINARY_DIR"]
        source_dir = os.environ["LOOMWAY_SOURCE_DIR"]
        program = os.path.join(binary_dir, "app", "loomway")
        with tempfile.TemporaryDirectory(dir=os.environ.get("LOOMWAY_TEST_TMP")) as tmp:
            for section in (".rodata", ".data", ".data.rel.ro"):
                dump = os.path.join(tmp, section.strip("."))
                subprocess.run(["objcopy", "-O", "binary", "--only-section=" + section,
                                program, dump], check=True)
                with open(dump, "rb") as f:
                    data = f.read()
                for folder in {source_dir, binary_dir, os.path.realpath(source_dir)}:
                    self.assertNotIn(folder.encode(), data, section)
            # The check can see a path: the section holds the program's own texts.
            with open(os.path.join(tmp, "rodata"), "rb") as f:
                self.assertIn(b"Palm Loomway", f.read())


if __name__ == "__main__":
    unittest.main()
