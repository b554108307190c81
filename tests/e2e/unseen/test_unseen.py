#!/usr/bin/env python3
"""The counting of the unseen-programs suite (unseen.py) on made-up runs whose answers are known:
how a catalogue is filled, which shown texts are the program's, which exceptions are new, and
when a program fails its goals. Usage: test_unseen.py [MSGFMT]"""
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import unseen  # noqa: E402

MARK = "汉"
HEADER = 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n"Language: zh_CN\\n"\n\n'
MSGFMT = sys.argv.pop(1) if len(sys.argv) > 1 else shutil.which("msgfmt")


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp())

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, text):
        (self.dir / name).write_text(text, encoding="utf-8")
        return self.dir / name


class Fill(Scratch):
    CASES = [
        # (msgid as the catalogue writes it, the msgstr expected)
        ("Open file", "汉Open file"),
        ("Found {0} files in {1}", "汉Found {0} files in {1}"),
        ("%d of %s", "汉%d of %s"),
        ("\\nLine one\\n", "\\n汉Line one\\n"),
        ("<html><b>Bold</b>", "<html>汉<b>Bold</b>"),
        ("<HTML>Upper", "<HTML>汉Upper"),
        ("Say \\\"hi\\\"", "汉Say \\\"hi\\\""),
    ]

    def test_every_entry_gets_the_mark_where_it_keeps_the_text_valid(self):
        body = "".join('#. use\n#: A.class:%d\nmsgid "%s"\nmsgstr ""\n\n' % (i, m) for i, (m, _) in enumerate(self.CASES))
        body += '#, fuzzy\nmsgctxt "k"\nmsgid "Long "\n"text"\nmsgstr "old"\n'
        src = self.write("in.po", HEADER + body)
        unseen.fill(MARK, src, self.dir / "out.po")
        got = {unseen.fields_of(b)[0].get("msgid"): (unseen.fields_of(b)[0].get("msgstr"), b)
               for b in unseen.po_entries(self.dir / "out.po")}
        for msgid, expected in self.CASES:
            self.assertEqual(got[msgid][0], expected, msgid)
        msgstr, block = got["Long text"]
        self.assertEqual(msgstr, "汉Long text")
        self.assertNotIn("#, fuzzy", block)
        self.assertIn('msgctxt "k"', block)
        self.assertEqual(got[""][0], unseen.fields_of(list(unseen.po_entries(src))[0])[0]["msgstr"])
        if MSGFMT:
            check = subprocess.run([MSGFMT, "-c", "-o", "/dev/null", str(self.dir / "out.po")],
                                   capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, check.stderr)

    def test_entries_apply_refused_are_left_untranslated(self):
        src = self.write("in.po", HEADER + 'msgid "d\\t%"\nmsgstr ""\n\nmsgid "Keep"\nmsgstr ""\n')
        log = self.write("apply.log", "译文不是原文那种格式所能接受的模式：msgid “d\\t%”（A.class:71）\n没有写入任何文件。\n")
        leave = unseen.refused(log)
        self.assertEqual(leave, {"d\\t%"})
        unseen.fill(MARK, src, self.dir / "out.po", leave)
        got = {unseen.fields_of(b)[0]["msgid"]: unseen.fields_of(b)[0]["msgstr"] for b in unseen.po_entries(self.dir / "out.po")}
        self.assertEqual(got["d\\t%"], "")
        self.assertEqual(got["Keep"], "汉Keep")


class Ownership(unittest.TestCase):
    def test_shown_texts_are_told_apart_from_others(self):
        owner = unseen.Owner(["&File", "Open...", "Found {0} files in {1}", "Saved %s at %s", "bank", "<html><b>Welcome</b>"])
        for text, owned in [
            ("File", True),               # the mnemonic mark gone
            ("Open", True),               # the ellipsis gone
            ("Found 3 files in /tmp", True),
            ("Saved a.txt at 12:00", True),
            ("Welcome", True),            # markup gone
            ("Bank", False),              # another case is another text
            ("Found files", False),       # a pattern's pieces must all be there
            ("Look in:", False),          # the JDK's file chooser
        ]:
            self.assertEqual(owner.owns(text), owned, text)


class Measure(Scratch):
    def run_measure(self):
        import contextlib
        import io
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            unseen.measure(MARK, self.dir)
        return out.getvalue().strip().split("\t"), (self.dir / "report.txt").read_text(encoding="utf-8")

    def program(self, b_texts, b_log="", c_texts=None, offered_extra=""):
        offered = HEADER + ('msgid "File"\nmsgstr ""\n\nmsgid "Open"\nmsgstr ""\n\nmsgid "Quit"\nmsgstr ""\n\n'
                            'msgid "Tools"\nmsgstr "工具"\n\nmsgid "urn:color:0x000000"\nmsgstr ""\n\n' + offered_extra)
        self.write("offered.po", offered)
        self.write("all.po", offered + 'msgid "data-key"\nmsgstr ""\n\nmsgid "Help"\nmsgstr ""\n')
        window = "PROBE\twindow\torg.example.MainFrame\n"
        self.write("a.texts", window + "File\nOpen\nQuit\nHelp\nTools\nLook in:\n")
        self.write("a.log", "java.io.IOException: no network\n\tat org.example.Net.get(Net.java:1)\n")
        self.write("b.texts", b_texts)
        self.write("b.log", b_log)
        self.write("c.texts", c_texts if c_texts is not None else window + "File\nOpen\n")

    def test_a_program_that_starts_clean_passes_on_the_catalogue_s_share_alone(self):
        self.program("PROBE\twindow\torg.example.MainFrame\n汉File\n汉Open\n汉Quit\n"
                     + "".join("汉Item %d\n" % i for i in range(20)) + "确定\n",
                     offered_extra="".join('msgid "Item %d"\nmsgstr ""\n\n' % i for i in range(20)))
        row, report = self.run_measure()
        self.assertEqual(row[:8], ["25", "24", "23", "1", "95.8", "100.0", "0", "yes"])
        self.assertEqual(row[8], "PASS")

    def test_chinese_from_elsewhere_does_not_make_the_goal(self):
        self.program("PROBE\twindow\torg.example.MainFrame\n汉File\n汉Open\n汉Quit\n确定\n查找:\n"
                     "java.io.IOException: no network\n", b_log="java.io.IOException: no network\n\tat org.example.Net.get(Net.java:1)\n")
        row, report = self.run_measure()
        # File, Open, Quit marked; 确定 and 查找 Chinese not from the catalogue
        self.assertEqual(row[:8], ["5", "5", "3", "2", "60.0", "100.0", "0", "yes"])
        self.assertEqual(row[8], "FAIL")

    def test_untranslated_and_stale_texts_count_against_it(self):
        self.program("PROBE\twindow\torg.example.MainFrame\n汉File\n\\u6C49Open\nHelp\n工具\nLook in:\n")
        row, report = self.run_measure()
        # counted: 汉File (marked), \u6C49Open (escapes shown as written), Help (the program's,
        # withheld), 工具 (its own variant)
        self.assertEqual(row[1:6], ["4", "1", "0", "25.0", "25.0"])
        self.assertEqual(row[8], "FAIL")
        self.assertIn("'Help'  [withheld", report)
        self.assertIn("'工具'  <- msgid 'Tools'", report)

    def test_a_new_exception_is_traced_to_the_entry_in_it(self):
        self.program("PROBE\twindow\torg.example.ErrorDialog\n汉Quit\n",
                     b_log='Exception in thread "main" java.lang.IllegalArgumentException: bad colour 汉urn:color:0x000000\n'
                           "\tat org.example.Colours.parse(Colours.java:9)\n"
                           "java.io.IOException: no network\n\tat org.example.Net.get(Net.java:1)\n")
        row, report = self.run_measure()
        self.assertEqual(row[6], "1 (missing MainFrame)")
        self.assertEqual(row[8], "FAIL")
        self.assertIn("java.lang.IllegalArgumentException @ org.example.Colours.parse(Colours.java:9)", report)
        self.assertIn("<- msgid 'urn:color:0x000000'", report)
        self.assertNotIn("IOException @", report.split("== b: new exceptions")[1].split("== c:")[0])

    def test_translations_in_the_settings_make_them_unreadable(self):
        self.program("PROBE\twindow\torg.example.MainFrame\n汉File\n汉Open\n汉Quit\n",
                     c_texts="PROBE\twindow\torg.example.MainFrame\nFile\n汉Quit\n")
        settings = self.dir / "home-b" / ".config"
        settings.mkdir(parents=True)
        (settings / "app.xml").write_text("<last action='汉Quit'/>\n", encoding="utf-8")
        row, report = self.run_measure()
        self.assertEqual(row[7], "no(window,0 exc,1 leaked)")
        self.assertEqual(row[8], "FAIL")
        self.assertIn(".config/app.xml:1: <last action='汉Quit'/>", report)
        self.assertIn("<- msgid 'Quit'", report)


if __name__ == "__main__":
    unittest.main(verbosity=1)
