"""The corvanepdf Python module against a real library and the fixture store.

    python3 module_test.py CORVANEPDF FIXTURES_DIR

CORVANEPDF is the command (used to select the signer and to verify);
FIXTURES_DIR holds pdf/ and nss/ made by the fixture script. The module and
the library are the ones Python and the loader find (PYTHONPATH,
CORVANEPDF_LIBRARY), so the same test runs against a build tree and an
installed package.
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

import corvanepdf

CLI, FIXTURES = sys.argv[1], sys.argv[2]


def setUpModule():
    global scratch
    scratch = tempfile.TemporaryDirectory(prefix="corvanepdf-python-")
    os.environ["CORVANE_HKLM"] = os.path.join(scratch.name, "hklm.reg")
    os.environ["CORVANE_HKCU"] = os.path.join(scratch.name, "hkcu.reg")
    os.environ.setdefault("CORVANE_NSSDB", "sql:" + os.path.join(FIXTURES, "nss"))
    with open(os.path.join(FIXTURES, "nss", "keys.tsv")) as keys:
        key_id = next(line.split("\t")[1] for line in keys if line.startswith("Alex Signer\t"))
    subprocess.run([CLI, "settings", "set", "UniqueContainerName", "NSS Certificate DB:" + key_id.strip()],
                   check=True, stdout=subprocess.DEVNULL)


def tearDownModule():
    scratch.cleanup()


class EditTest(unittest.TestCase):
    def test_properties_are_attributes_resolved_by_name(self):
        with corvanepdf.Edit() as edit:
            self.assertEqual(edit.reason, "I am the author of this document")
            edit.reason = "Approved"
            edit.PdfPath = "x.pdf"  # names are matched without regard to case
            self.assertEqual((edit.reason, edit.pdfpath), ("Approved", "x.pdf"))
            self.assertIs(edit.pdfloaded, False)
            self.assertEqual(edit.string2byte("AB"), b"AB")
            with self.assertRaises(AttributeError):
                edit.nosuchproperty
            with self.assertRaises(AttributeError):
                edit.nosuchproperty = 1
        with self.assertRaises(corvanepdf.Error):
            edit.reason  # closed by the with block

    def test_signit_signs_a_fixture_or_says_why_not(self):
        out = os.path.join(scratch.name, "signed.pdf")
        with corvanepdf.Edit() as edit:
            edit.pdfpath = os.path.join(FIXTURES, "pdf", "plain.pdf")
            edit.savepath = out
            self.assertTrue(edit.signit(), edit.last_error)
        verify = subprocess.run([CLI, "verify", out], capture_output=True, text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertIn("Alex Signer", verify.stdout)
        # The module's report is the command's, field for field.
        command = subprocess.run([CLI, "verify", "--json", out], capture_output=True, text=True)
        self.assertEqual(corvanepdf.verify(out), json.loads(command.stdout))

        with corvanepdf.Edit() as edit:
            edit.pdfpath = os.path.join(scratch.name, "missing.pdf")
            self.assertFalse(edit.signit())
            self.assertIsInstance(edit.last_error, str)
            if hasattr(edit, "lasterror"):  # a library that keeps the reason says it
                self.assertNotEqual(edit.last_error, "")

    def test_verify_reports_unreadable_and_unsigned_files(self):
        cases = [(os.path.join(scratch.name, "missing.pdf"), None, "unreadable"),
                 (os.path.join(FIXTURES, "pdf", "plain.pdf"), None, "broken"),
                 (os.path.join(FIXTURES, "pdf", "enc-aes-256.pdf"), "wrong", "unreadable"),
                 (os.path.join(FIXTURES, "pdf", "not-a-pdf.pdf"), None, "unreadable")]
        for path, password, verdict in cases:
            report = corvanepdf.verify(path, password=password)
            self.assertEqual(report["verdict"], verdict, report)
            self.assertEqual(report["file"], path)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
