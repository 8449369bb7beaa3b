#!/usr/bin/env python3
"""The planter of tools/mutations/: a fault must land where its text is, or not at all."""

import glob
import os
import tempfile
import types
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools")
# Its file name is no module name, so it is loaded by hand: the real script, not a copy.
planter = types.ModuleType("planter")
planter.__file__ = os.path.join(TOOLS, "fault-planter.py")
with open(planter.__file__, encoding="utf-8") as source:
    exec(compile(source.read(), planter.__file__, "exec"), planter.__dict__)


class FindAndReplace(unittest.TestCase):
    def test_whole_lines_found_once_are_replaced_and_others_reported(self):
        for source, find, replace, planted in [
                ("a\nb\nc\n", "b", "B", "a\nB\nc\n"),
                ("a\nb\nc\n", "a\nb", "x", "x\nc\n"),
                ("a\nb\nc\n", "b", "", "a\nc\n"),
                ("a\nb\nc", "c", "C", "a\nb\nC"),
                ("  b\nb\n", "b", "B", "  b\nB\n"),
                ("a\nb\n", "b\n", "B", "text gone: src/A.cpp: b"),  # nothing after the last line end
                ("ab\nb\n", "a", "x", "text gone: src/A.cpp: a"),
                ("y\n", "    if (x)\n  y", "z", "text gone: src/A.cpp: if (x)"),
                ("b\nx\nb\n", "b", "B", "text found 2 times: src/A.cpp: b")]:
            with self.subTest(source=source, find=find):
                fault = planter.Change("src/A.cpp", find.split("\n"), replace.split("\n") if replace else [])
                try:
                    self.assertEqual(planter.apply_change(source, fault), planted)
                except planter.TextGone as report:
                    self.assertEqual(str(report), planted)


class PlantAndRestore(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.TemporaryDirectory()
        self.addCleanup(self.root.cleanup)
        self.addCleanup(setattr, planter, "ROOT", planter.ROOT)
        planter.ROOT = self.root.name
        os.mkdir(os.path.join(self.root.name, "src"))
        self.sources = {"src/A.cpp": b"int a = 1;\nint b = 2;\n", "src/B.cpp": b"// \xff\nint c = 3;\n"}
        for path, data in self.sources.items():
            self.write(path, data)
        self.saved = os.path.join(self.root.name, "saved")

    def write(self, path, data):
        with open(os.path.join(self.root.name, path), "wb") as handle:
            handle.write(data)

    def read(self, path):
        with open(os.path.join(self.root.name, path), "rb") as handle:
            return handle.read()

    def fault(self, body):
        if not body.startswith("Fault: "):
            body = "Fault: two constants off\nTests: Anything\n\n" + body
        self.write("f.fault", body.encode())
        return os.path.join(self.root.name, "f.fault")

    def test_changes_in_order_across_files_and_back(self):
        fault = self.fault("File: src/A.cpp\n--- find\nint a = 1;\n--- replace\nint a = 0;\n--- end\n"
                           "--- find\nint a = 0;\nint b = 2;\n--- replace\n--- end\n"
                           "File: src/B.cpp\n--- find\nint c = 3;\n--- replace\nint c = 4;\n--- end\n")
        self.assertEqual(planter.plant(fault, self.saved), 0)
        self.assertEqual(self.read("src/A.cpp"), b"")
        self.assertEqual(self.read("src/B.cpp"), b"// \xff\nint c = 4;\n")
        planter.restore(self.saved)
        for path, data in self.sources.items():
            self.assertEqual(self.read(path), data)
        self.assertFalse(os.path.exists(self.saved))

    def test_a_fault_gone_or_malformed_writes_nothing(self):
        fine = "File: src/A.cpp\n--- find\nint a = 1;\n--- replace\nx\n--- end\n"
        for body, status in [
                (fine + "File: src/B.cpp\n--- find\nint d;\n--- replace\nx\n--- end\n", 3),
                ("File: src/C.cpp\n--- find\nint a = 1;\n--- replace\nx\n--- end\n", 3),
                ("--- find\nint a = 1;\n--- replace\nx\n--- end\n", 2),
                ("File: src/A.cpp\n--- find\nint a = 1;\n--- end\n", 2),
                ("File: src/A.cpp\n--- find\nint a = 1;\n--- replace\nx\n", 2),
                ("File: src/A.cpp\nint a = 1;\n", 2),
                ("Fault: no tests named\n\n" + fine, 2)]:
            with self.subTest(body=body):
                self.assertEqual(planter.plant(self.fault(body), self.saved), status)
                for path, data in self.sources.items():
                    self.assertEqual(self.read(path), data)
                self.assertFalse(os.path.exists(self.saved))


class TheFaults(unittest.TestCase):
    def test_every_fault_reads(self):
        faults = glob.glob(os.path.join(TOOLS, "mutations", "*.fault"))
        self.assertGreater(len(faults), 0)
        for path in faults:
            with self.subTest(fault=os.path.basename(path)):
                planter.parse(path)


if __name__ == "__main__":
    unittest.main()
