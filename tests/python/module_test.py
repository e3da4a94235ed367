"""python3 module_test.py CORVANEPDF FIXTURES_DIR: the corvanepdf module that
Python and the loader find (a build tree or an installed package) against
the fixture store; CORVANEPDF verifies."""
import json
import os
import pydoc
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


def tearDownModule():
    scratch.cleanup()


def fixture(name):
    return os.path.join(FIXTURES, "pdf", name)


class EditTest(unittest.TestCase):
    def test_every_property_is_an_attribute_resolved_by_name_and_takes_what_it_holds(self):
        with corvanepdf.Edit() as edit:
            edit.PdfPath = "x.pdf"  # names are matched without regard to case
            self.assertEqual(edit.pdfpath, "x.pdf")
            self.assertEqual(edit.string2byte("AB"), b"AB")
            with self.assertRaises(AttributeError):
                edit.nosuchproperty
            with self.assertRaises(AttributeError):
                edit.nosuchproperty = 1
            listed, text = dir(edit), pydoc.plain(pydoc.render_doc(corvanepdf.Edit))
            for name in ("pdfpath", "savepath", "pades", "tsaurl", "ltv", "appendmode", "containername",
                         "certifylevel", "fieldname", "lasterror", "lasterrorcode"):
                self.assertIn(name, listed)
                self.assertRegex(text, r"\n \| +%s\n \| +\S" % name)
            # Switches take Booleans, and refuse what a switch cannot be.
            for name, value, want in (("pades", True, "1"), ("ltv", True, "1"), ("pades", False, "0"),
                                      ("ltv", 1, "1"), ("appendmode", True, True), ("appendmode", "0", False),
                                      ("dontencrypt", True, "1"), ("certifylevel", 2, "2"),
                                      ("fieldname", "Buyer", "Buyer")):
                setattr(edit, name, value)
                self.assertEqual(getattr(edit, name), want, (name, value))
            for name, value in (("pades", "True"), ("ltv", 2), ("appendmode", "yes")):
                with self.assertRaises(ValueError, msg=(name, value)):
                    setattr(edit, name, value)
            # A NUL would cut the text: refused, the old value kept.
            edit.reason = "Approved"
            with self.assertRaises(ValueError):
                edit.reason = "Appr\0oved"
            self.assertEqual(edit.reason, "Approved")
            with self.assertRaises(AttributeError):
                edit.pdfloaded = True  # read only
        with self.assertRaises(corvanepdf.Error):
            edit.reason  # closed by the with block

    def test_a_text_in_the_code_page_is_decoded(self):
        # A reason from an ANSI .reg export holds Windows-1252 bytes.
        hive = os.path.join(scratch.name, "ansi.reg")
        with open(hive, "wb") as out:
            out.write(b"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\pdf]\r\n"
                      b'"reason"="Gepr\xfcft \x80 5"\r\n')
        program = "import corvanepdf\nwith corvanepdf.Edit() as e: print(ascii(e.reason))"
        r = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                           env=dict(os.environ, CORVANE_HKCU=hive))
        self.assertEqual(r.stdout.strip(), ascii("Gepr\u00fcft \u20ac 5"), r.stderr)

    def test_the_module_works_in_a_virtual_environment(self):
        venv = os.path.join(scratch.name, "venv")
        subprocess.run([sys.executable, "-m", "venv", "--without-pip", venv], check=True)
        site = subprocess.run([os.path.join(venv, "bin", "python"), "-c", "import site; print(site.getsitepackages()[0])"],
                              capture_output=True, text=True, check=True).stdout.strip()
        with open(os.path.join(site, "corvanepdf.pth"), "w") as pth:
            pth.write(os.path.dirname(corvanepdf.__file__) + "\n")
        program = "import corvanepdf, sys; print(corvanepdf.verify(sys.argv[1])['verdict'])"
        r = subprocess.run([os.path.join(venv, "bin", "python"), "-c", program, fixture("plain.pdf")],
                           capture_output=True, text=True)
        self.assertEqual((r.returncode, r.stdout), (0, "broken\n"), r.stderr)

    def test_signit_signs_a_fixture_or_says_why_not(self):
        out = os.path.join(scratch.name, "signed.pdf")
        with corvanepdf.Edit() as edit:
            edit.pdfpath, edit.savepath, edit.containername = fixture("plain.pdf"), out, "Alex Signer"
            self.assertTrue(edit.signit(), edit.last_error)
            self.assertEqual(edit.last_error_code, corvanepdf.ErrorCode.NONE)
        report = corvanepdf.verify(out)
        self.assertEqual(report["verdict"], "holds", report)
        # The module's report is the command's, field for field.
        command = subprocess.run([CLI, "verify", "--json", out], capture_output=True, text=True)
        self.assertEqual(report, json.loads(command.stdout))

        # A refusal: the code and the text, under their Python names.
        with corvanepdf.Edit() as edit:
            edit.pdfpath, edit.savepath, edit.containername = out, out + ".again.pdf", "Alex Signer"
            edit.certifylevel = "2"
            self.assertFalse(edit.signit())
            self.assertIn("only its first signature may certify it", edit.last_error)
            self.assertEqual(edit.last_error_code, corvanepdf.ErrorCode.NOT_PERMITTED)

    def test_verify_opens_an_encrypted_file_with_the_password_given(self):
        path = fixture("enc-aes-256.pdf")
        for password, verdict in ((None, "unreadable"), ("wrong", "unreadable"), ("user", "broken")):
            report = corvanepdf.verify(path, password=password)
            self.assertEqual((report["verdict"], report["file"]), (verdict, path), report)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
