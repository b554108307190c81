#!/usr/bin/env python3
"""The counting half of tests/e2e/unseen_programs.sh.

fill MARK IN.po OUT.po
    Translates every entry of a catalogue as a translator who fills all of them would, in a way
    a probe can see: msgstr = MARK + msgid (after a leading "<html>", which Swing needs first).
    Placeholders, quotes and escapes stay as they are, so format checks pass.

measure MARK DIR
    Reads DIR's catalogues (offered.po, all.po) and the three runs (a: the original, b: the
    translated copy, c: the original on the home b left), each as RUN.texts (the probe's texts),
    RUN.exceptions (the probe's record) and RUN.log (what the program printed), and prints one
    tab-separated row: offered entries, visible texts, translated texts, translated %, new
    exceptions in b, the verdict on c, whether each run showed a window. It also writes
    DIR/report.txt: the untranslated texts, the new exceptions with their stack heads, and the
    catalogue entries whose translation appears in them.
"""
import re
import sys
from pathlib import Path

# --- catalogues ------------------------------------------------------------------------------

def po_entries(path):
    """Yields (lines, fields) per entry; fields maps msgctxt/msgid/msgstr to the escaped text."""
    block = []
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if line.strip() == "":
            if block:
                yield block
            block = []
        else:
            block.append(line)
    if block:
        yield block


def fields_of(block):
    fields, comments, current = {}, [], None
    for line in block:
        if line.startswith("#"):
            comments.append(line)
            continue
        m = re.match(r'^(msgctxt|msgid|msgid_plural|msgstr(?:\[\d+\])?)\s+"(.*)"$', line)
        if m:
            current = m.group(1)
            fields[current] = m.group(2)
        elif line.startswith('"') and current:
            fields[current] += line[1:-1]
    return fields, comments


def unescape(s):
    out, i = [], 0
    table = {"n": "\n", "t": "\t", "r": "\r", '"': '"', "\\": "\\", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            out.append(table.get(s[i + 1], s[i + 1]))
            i += 2
        else:
            out.append(s[i])
            i += 1
    return "".join(out)


def marked(mark, escaped):
    """The mark goes after what must stay first: leading line breaks (msgfmt -c checks them) and
    a leading <html> (Swing renders a text as HTML only when it starts so)."""
    m = re.match(r"(?i)^((?:\\n|\\r|\\t| )*(?:<html>)?)", escaped)
    return m.group(1) + mark + escaped[m.end():]


def refused(log):
    """The msgids (as the catalogue writes them) that apply named as not writable."""
    names = set()
    for line in Path(log).read_text(encoding="utf-8", errors="replace").splitlines():
        for m in re.finditer(r"msgid “(.*?)”（", line):
            names.add(m.group(1))
    return names


def fill(mark, src, dst, leave=()):
    out = []
    for block in po_entries(src):
        fields, comments = fields_of(block)
        if fields.get("msgid", "") == "":
            out.append("\n".join(block))  # the header
            continue
        lines = [c for c in comments if not c.startswith("#,")]
        flags = [c for c in comments if c.startswith("#,")]
        for f in flags:
            rest = ", ".join(x.strip() for x in f[2:].split(",") if x.strip() and x.strip() != "fuzzy")
            if rest:
                lines.append("#, " + rest)
        if "msgctxt" in fields:
            lines.append('msgctxt "%s"' % fields["msgctxt"])
        lines.append('msgid "%s"' % fields["msgid"])
        if fields["msgid"] in leave:
            lines.append('msgstr ""')
        elif "msgid_plural" in fields:
            lines.append('msgid_plural "%s"' % fields["msgid_plural"])
            lines.append('msgstr[0] "%s"' % marked(mark, fields["msgid"]))
        else:
            lines.append('msgstr "%s"' % marked(mark, fields["msgid"]))
        out.append("\n".join(lines))
    Path(dst).write_text("\n\n".join(out) + "\n", encoding="utf-8")


def prefilled(path):
    """The translations a catalogue came with (the program's own variant for its language),
    keyed as shown: mnemonic marks and underscores for spaces (JabRef's keys) undone ->
    (msgid, the entry's places)."""
    found = {}
    if not Path(path).exists():
        return found
    for block in po_entries(path):
        fields, comments = fields_of(block)
        msgid, msgstr = unescape(fields.get("msgid", "")), unescape(fields.get("msgstr", ""))
        if msgid and msgstr:
            found[as_shown(msgstr)] = (msgid, [c[2:].strip() for c in comments if c.startswith("#:")])
    return found


def as_shown(text):
    return " ".join(plain(text).replace("_", " ").split()).rstrip(":.…").strip()


def catalogue(path):
    """msgid (unescaped) -> the catalogue's `#.` notes of that entry."""
    entries = {}
    if not Path(path).exists():
        return entries
    for block in po_entries(path):
        fields, comments = fields_of(block)
        msgid = unescape(fields.get("msgid", ""))
        if msgid:
            notes = [c[2:].strip() for c in comments if c.startswith("#.") or c.startswith("#:")]
            entries.setdefault(msgid, []).extend(notes)
    return entries

# --- what the program showed -----------------------------------------------------------------

def probe_texts(path):
    """(whether a window showed, the classes of the windows showing, the texts)."""
    if not Path(path).exists():
        return None, set(), []
    texts, shown, windows = [], True, set()
    for line in Path(path).read_text(encoding="utf-8", errors="replace").splitlines():
        if line == "PROBE\tno window":
            shown = False
            continue
        if line.startswith("PROBE\twindow\t"):
            windows.add(line.split("\t")[2])
            continue
        texts.append(line.replace("\\n", "\n").replace("\\t", "\t").replace("\\r", "\r").replace("\\\\", "\\"))
    return shown, windows, texts


TAG = re.compile(r"<[^>]*>")
CJK = re.compile(r"[\u3400-\u9fff\uf900-\ufaff]|&#(?:1[3-9]\d{3}|[2-3]\d{4}|40\d{3});")
PLACEHOLDER = re.compile(r"\{\d+[^}]*\}|%(?:\d+\$)?[-#+ 0,(]*\d*(?:\.\d+)?[a-zA-Z%]|\$\{[^}]*\}")


def plain(text):
    """The text without markup and mnemonic marks, as the comparisons see it."""
    t = TAG.sub(" ", text).replace("&nbsp;", " ")
    t = re.sub(r"&(?=\w)", "", t)
    return " ".join(t.split())


class Owner:
    """Tells whether a text the program showed is one of its own strings: equal to a string of
    the program (ignoring markup, mnemonic marks, a trailing colon or ellipsis), or an instance of
    one of its patterns ({0}, %s, ${x} filled in). Texts that are neither are built at run time
    from data, or belong to the JDK (a file chooser's, the look and feel's); they are not counted."""

    def __init__(self, msgids):
        self.exact = set()
        self.patterns = []
        for msgid in msgids:
            self.exact.add(self.key(msgid))
            if PLACEHOLDER.search(msgid):
                pieces = [self.key(p) for p in PLACEHOLDER.split(msgid)]
                pieces = [p for p in pieces if p]
                if pieces and max(len(p) for p in pieces) >= 4:
                    self.patterns.append(pieces)

    @staticmethod
    def key(text):
        # Case counts: an English label "Bank" is not the tag value "bank" a program also holds.
        return plain(text).rstrip(":.…").strip()

    def owns(self, text):
        k = self.key(text)
        if k in self.exact:
            return True
        for pieces in self.patterns:
            at = 0
            for p in pieces:
                at = k.find(p, at)
                if at < 0:
                    break
                at += len(p)
            else:
                return True
        return False

# --- exceptions ------------------------------------------------------------------------------

EXCEPTION_LINE = re.compile(r"(?:^|\s|Caused by: |Exception in thread \"[^\"]*\" )((?:[a-zA-Z_$][\w$]*\.)+[\w$]*(?:Exception|Error))(?::|$|\s)")


def exceptions(run_dir, run):
    """exception key (class @ first frame) -> its first lines, from the probe's record and from
    what the program printed (many programs catch and log)."""
    found = {}
    for name in (run + ".exceptions", run + ".log"):
        path = Path(run_dir) / name
        if not path.exists():
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for i, line in enumerate(lines):
            if line.startswith("\tat ") or line.startswith("CAUSE\t"):
                continue
            m = EXCEPTION_LINE.search(line)
            if not m or "probe" in line.split("\t")[1:2]:
                continue
            cls = m.group(1)
            if cls.startswith("java.lang.ThreadDeath"):
                continue
            frame = ""
            for follow in lines[i + 1:i + 4]:
                s = follow.strip()
                if s.startswith("at "):
                    frame = s[3:]
                    break
            key = cls + " @ " + frame if frame else cls
            if key not in found:
                found[key] = lines[i:i + 8]
    return found


def culprits(mark, text, offered):
    """The offered entries whose translation appears in text, longest first."""
    found = [m for m in offered if len(m) >= 2 and marked(mark, m) in text]
    found.sort(key=len, reverse=True)
    return found


def settings(mark, home, offered):
    """Lines of the files a translated run left in its home that carry a translation, each
    with the entries it comes from."""
    lines = []
    if not home.exists():
        return lines
    for path in sorted(home.rglob("*")):
        if not path.is_file() or path.stat().st_size > 5_000_000:
            continue
        try:
            content = path.read_text(encoding="utf-8")
        except (UnicodeDecodeError, OSError):
            continue
        for number, line in enumerate(content.splitlines(), 1):
            if mark in line:
                where = "%s:%d: %s" % (path.relative_to(home), number, line.strip()[:240])
                lines.append(where)
                for msgid in culprits(mark, line, offered)[:3]:
                    lines.append("      <- msgid %r: %s" % (msgid, " | ".join(offered[msgid])[:300]))
    return lines


def has_letter(text):
    return any(ch.isalpha() for ch in text)


def measure(mark, d):
    d = Path(d)
    offered = catalogue(d / "offered.po")
    every = catalogue(d / "all.po")
    owner = Owner(list(every) + list(offered))
    shown, windows, texts = {}, {}, {}
    for run in "abc":
        shown[run], windows[run], texts[run] = probe_texts(d / (run + ".texts"))
    report = []
    # A run that does not show the windows the original shows did not start as the original
    # did (an error dialog instead of the main window).
    missing = {}
    for run in "bc":
        missing[run] = sorted(windows["a"] - windows[run])
        report.append("== %s: windows of the original not showing (%d): %s" % (run, len(missing[run]), ", ".join(missing[run])))
        if missing[run] and shown[run]:
            shown[run] = False

    visible = sorted({t for t in texts["b"] if has_letter(t)})
    translated = [t for t in visible if mark in t]
    # Texts already in Chinese without the mark: the program's own translation (one it ships
    # outside the files classlingo reads, or one classlingo did not offer), or the JDK's. A
    # person reads them in Chinese, but the translator's catalogue did not reach them.
    # But a Chinese text the catalogue came with, which the catalogue replaced, shows that the
    # program read its own variant and not the one apply wrote: not translated.
    own = prefilled(d / "offered.po")
    stale = [t for t in visible if mark not in t and CJK.search(t) and as_shown(t) in own]
    chinese = [t for t in visible if mark not in t and CJK.search(t) and as_shown(t) not in own]
    # A translation shown with its escapes as they were written (\u6C49...) is the program's
    # text, shown untranslated: the program reads its files otherwise than Properties does.
    escaped = "\\u%04x" % ord(mark[0])
    def owns(t):
        return escaped in t.lower() or owner.owns(t)
    untranslated = [t for t in visible if mark not in t and not CJK.search(t) and owns(t)]
    foreign = [t for t in visible if mark not in t and not CJK.search(t) and not owns(t)]
    counted = len(translated) + len(chinese) + len(stale) + len(untranslated)
    # The goal is the translator's own work showing: the marked share. Chinese from elsewhere
    # (the program's own translation, the JDK's few buttons) is reported beside it.
    percent = 100.0 * len(translated) / counted if counted else 0.0
    in_chinese = 100.0 * (len(translated) + len(chinese)) / counted if counted else 0.0

    report.append("== b: untranslated texts of the program (%d)" % len(untranslated))
    for t in untranslated:
        why = "offered" if t in offered else ("withheld: " + "; ".join(n for n in every.get(t, []) if "用途" in n)[:200] if t in every else "pattern or variant")
        report.append("  %r  [%s]" % (t, why))
    report.append("== b: the program's own Chinese shown instead of the catalogue's translation (%d)" % len(stale))
    for t in stale:
        msgid, places = own[as_shown(t)]
        report.append("  %r  <- msgid %r %s" % (t, msgid, " ".join(places)[:200]))
    report.append("== b: texts in Chinese without the mark, not from the catalogue (%d)" % len(chinese))
    for t in chinese[:40]:
        report.append("  %r" % t)
    report.append("== b: texts not counted, not the program's own strings (%d)" % len(foreign))
    for t in foreign:
        report.append("  %r" % t)

    base = exceptions(d, "a")
    new = {}
    for run in "bc":
        new[run] = {k: v for k, v in exceptions(d, run).items() if k not in base}
        report.append("== %s: new exceptions (%d)" % (run, len(new[run])))
        for k, v in new[run].items():
            report.append("  " + k)
            for line in v:
                report.append("      " + line)
            # The translated texts in the exception's lines, and the entries they come from.
            body = "\n".join(v)
            for msgid in culprits(mark, body, offered)[:5]:
                report.append("      <- msgid %r: %s" % (msgid, " | ".join(offered[msgid])[:300]))

    written = settings(mark, d / "home-b", offered)
    report.append("== b: translated texts written into the settings (%d lines)" % len(written))
    for line in written:
        report.append("  " + line)

    leaked = sorted({t for t in texts["c"] if mark in t})
    report.append("== c: translated texts the original shows from the settings (%d)" % len(leaked))
    for t in leaked:
        report.append("  %r" % t)

    settings_ok = shown["c"] is True and not new["c"] and not leaked
    passed = shown["b"] is True and not new["b"] and settings_ok and percent >= 90.0
    (d / "report.txt").write_text("\n".join(report) + "\n", encoding="utf-8")

    def state(run):
        if shown[run]:
            return "window"
        if shown[run] is None:
            return "no-probe"
        return "missing " + ",".join(w.rsplit(".", 1)[-1] for w in missing[run]) if run != "a" and missing[run] else "no-window"
    c_verdict = "yes" if settings_ok else "no(%s,%d exc,%d leaked)" % (state("c"), len(new["c"]), len(leaked))
    print("\t".join([str(len(offered)), str(counted), str(len(translated)), str(len(chinese)), "%.1f" % percent, "%.1f" % in_chinese,
                     str(len(new["b"])) + ("" if shown["b"] else " (" + state("b") + ")"),
                     c_verdict, "PASS" if passed else "FAIL", state("a")]))
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "fill":
        fill(sys.argv[2], sys.argv[3], sys.argv[4])
    elif sys.argv[1] == "unfill":
        # unfill MARK IN.po OUT.po APPLY.log...: the entries apply refused, left untranslated.
        leave = set()
        for log in sys.argv[5:]:
            leave |= refused(log)
        fill(sys.argv[2], sys.argv[3], sys.argv[4], leave)
        print(len(leave))
    elif sys.argv[1] == "measure":
        sys.exit(measure(sys.argv[2], sys.argv[3]))
    else:
        sys.exit("usage: unseen.py fill MARK IN.po OUT.po | measure MARK DIR")
