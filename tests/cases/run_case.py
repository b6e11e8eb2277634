#!/usr/bin/env python3
"""Runs one case of a case file (tests/cases/*.txt) in a fresh folder and says what differs;
with --print, prints what the run did as a case (to write one; read it before committing).

    run_case.py [--print] FILE CASE      (TAVO2WAV, TAVOINFO: the programs)

A case file:

    # A comment. Before the first case: definitions, and the inputs every case starts from.
    define X_READ                         a text; its lines follow
    | File: x4010100.dat Type:binary      "$NAME" in a text or word stands for a definition
    define HEADER | !S128Tidserier ...    a text of one line
    define N250 "n"*250                   a word
    define READ                           a text of arguments $1, $2...: "$READ(x.dat,x)"
    | File: $1 Type:binary
    input x4010100.dat tavo records=2     a file made before each run (see make_input)

    case MonoByDefault: tavo2wav x4010100.dat     the ctest cases.<file>.<NAME>: the run
    env TZ=XYZ-3                          set for the run (TZ=UTC unless given)
    argv0 t2w                             its argv[0] (the program's path unless given)
    status 1                              its exit status (0 unless given)
    stdout                                all of standard output (nothing unless given)
    | mode:mono
    stderr | Error: x                     all of standard error, here from its first line on
    | ...                                 (a line "..." in a text stands for any lines)
    file a.wav b.wav wav 1ch 4000Hz ...   files it leaves and their digest (see found)
    file x.labels.txt | ...               a text file (.txt, logfile: stamps read T): its text
                                          (a tavo2wav run that prints its mode line logs
                                          "T $TAVO2WAV ARGUMENTS" unless given)

Every case file knows the definitions of common.def, $TAVO2WAV, $TAVOINFO and $VERSION. Words
are split at blanks; "..." quotes, "n"*251 repeats a quoted piece. The build time in the utility
library's version line reads <built>. Escapes in texts and words: \\t \\n \\r \\\\ \\" \\xHH,
and \\c ending the last line of a text without a final line end. Every file the run leaves must
be named; the inputs must keep their bytes.
"""
import os
import re
import stat
import subprocess
import sys
import tempfile
import wave
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import tavo_files  # noqa: E402

PROGRAMS = {"tavo2wav": os.environ.get("TAVO2WAV", "tavo2wav"),
            "tavoinfo": os.environ.get("TAVOINFO", "tavoinfo")}
KINDS = ("wav", "png", "bytes")


def fs(name):
    """A name of the case (latin-1 text: its bytes) as a path."""
    return os.fsdecode(name.encode("latin-1"))


def unescape(text):
    """Text as bytes (latin-1), escapes resolved."""
    return re.sub(r"\\(x[0-9a-fA-F]{2}|.)", lambda m: chr(int(m[1][1:], 16)) if len(m[1]) == 3
                  else {"t": "\t", "n": "\n", "r": "\r"}.get(m[1], m[1]), text)


class CaseFile:
    def __init__(self, path, defines):
        self.path, self.defines, self.line = path, dict(defines), 0
        self.common, self.cases = [], []

    def fail(self, why):
        sys.exit(f"{self.path}:{self.line}: {why}")

    def expand(self, text):
        """Escapes resolved, $NAME or $NAME(ARG,...) replaced by its definition (without its
        last line end), $1, $2... in it by the ARGs."""
        def one(m):
            if m[1] is not None:
                return unescape(m[0])
            if m[2] not in self.defines:
                self.fail(f"no definition of ${m[2]}")
            value = self.defines[m[2]]
            for i, arg in enumerate((m[3] or "").split(",")):
                value = value.replace(f"${i + 1}", self.expand(arg))
            return value[:-1] if value.endswith("\n") else value
        return re.sub(r"(\\x[0-9a-fA-F]{2}|\\.)|\$([A-Z][A-Z0-9_]*)(?:\(([^()]*)\))?", one, text)

    def text_line(self, line):
        if line != "|" and not line.startswith("| "):
            self.fail('a text line starts with "| "')
        body = line[2:]
        return self.expand(body[:-2]) if body.endswith("\\c") else self.expand(body) + "\n"

    def words(self, line):
        """Blanks separate; "..." quotes; "..."*N repeats the quoted piece."""
        out = []
        for word in re.findall(r'(?:"(?:\\.|[^"\\])*"(?:\*\d+)?|[^\s"]+)+', line):
            pieces = re.findall(r'"((?:\\.|[^"\\])*)"(?:\*(\d+))?|([^\s"]+)', word)
            out.append(self.expand("".join(q * int(n or 1) if not p else p for q, n, p in pieces)))
        return out

    def read(self):
        text = None  # [case, key] the text lines go to
        with open(self.path, encoding="latin-1") as f:
            for self.line, line in enumerate(f.read().split("\n"), 1):
                if line.startswith("|"):
                    if text is None:
                        self.fail("a text line without stdout, stderr, file or define before it")
                    text[0][text[1]] += self.text_line(line)
                    continue
                text = None
                if not line or line.startswith("#"):
                    continue
                key, _, rest = line.partition(" ")
                head, bar, one = rest.partition("| ") if rest.startswith("| ") or " | " in rest \
                    else (rest, "", "")
                head = head.rstrip()
                case = self.cases[-1] if self.cases else None
                target = None
                if key == "define":
                    name, _, word = head.partition(" ")
                    if word:
                        self.defines[name] = self.words(word)[0]
                        continue
                    self.defines[name] = ""
                    target = [self.defines, name]
                elif key == "case":
                    name, _, run = head.partition(": ")
                    self.cases.append(dict(name=name, run=self.words(run), inputs=list(self.common),
                                           env=[], argv0=None, status=0, stdout="", stderr="",
                                           files={}))
                elif key == "input":
                    (case["inputs"] if case else self.common).append(self.words(rest))
                elif case is None:
                    self.fail(f'"{key}" outside a case')
                elif key == "env":
                    case["env"].append(self.expand(rest))
                elif key == "argv0":
                    case["argv0"] = self.expand(rest)
                elif key == "status":
                    case["status"] = int(rest)
                elif key in ("stdout", "stderr"):
                    target = [case, key]
                elif key == "file":
                    w = self.words(head)
                    kind = next((i for i, x in enumerate(w) if x.split(" ")[0] in KINDS), len(w))
                    for name in w[:kind]:
                        case["files"][name] = " ".join(w[kind:]) if kind < len(w) else ""
                    target = [case["files"], w[0]] if kind == len(w) else None
                else:
                    self.fail(f'unknown keyword "{key}"')
                if target and bar:
                    target[0][target[1]] = self.text_line("| " + one)
                text = target
        return self.cases


def values(text, count):
    """The samples of a channel: "v,v*n,..." repeated to `count`."""
    v = [float(x.partition("*")[0]) for x in text.split(",")
         for _ in range(int(x.partition("*")[2] or 1))]
    return [v[i % len(v)] for i in range(count)]


def tavo_bytes(keys):
    """A TAVO data file from the keys of an "input PATH tavo" line."""
    length = int(keys.get("length", 128))
    unix = "unix" in keys
    header = keys.get("header") or tavo_files.form3_header(
        "U" if unix else "S", length, keys.get("freq", "18"), int(keys.get("gain", 1)),
        date=keys.get("date", "2014-03-15"))
    if "stamps" in keys:
        stamps = [tuple(int(x) for x in s.split(":")) for s in keys["stamps"].split(",")]
    else:
        step, start = int(keys.get("step", 7)), int(keys.get("start", 0))
        extra, every = (int(x) for x in keys.get("gap", "0/1").split("/"))
        times = [start + r * step + r // every * extra for r in range(int(keys.get("records", 1)))]
        stamps = [(t & 0xFFFF, t >> 16) if unix else divmod(t, 60) for t in times]
    lists = keys.get("values", "||").split("|")
    records = []
    for r, stamp in enumerate(stamps):
        rec = tavo_files.make_record(length, stamp[0], stamp[1], r)
        channels = [values(s, (r + 1) * length)[r * length:] if s else c
                    for s, c in zip(lists, rec.channels)]
        records.append(tavo_files.Record(stamp, channels))
    rec = tavo_files.Recording(header if header != "old" else "T 18 Hz old style", length, records,
                               new_style=header != "old")
    data = tavo_files.text_bytes(rec) if "text" in keys else tavo_files.binary_bytes(rec)
    return data[:len(data) - int(keys.get("cut", 0))]


def make_input(folder, words):
    """input PATH tavo [text] [gz] [length=128] [gain=1] [freq=18] [date=2014-03-15]
    [header=TEXT|old] [unix] [records=1 step=7 start=0 gap=S/N | stamps=M:S,...] [values=A|B|C]
    [cut=N]: a TAVO file, records stamped start + r x step s (S s more after every N; as Unix
    times with unix, else as minute and second), channels holding the listed samples (default
    tavo_files.make_record's); input PATH bytes WORD...; input PATH dir | fifo | link TARGET."""
    path, kind, rest = os.path.join(folder, fs(words[0])), words[1], words[2:]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if kind == "dir":
        os.mkdir(path)
    elif kind == "fifo":
        os.mkfifo(path)
    elif kind == "link":
        os.link(os.path.join(folder, fs(rest[0])), path)
    elif kind == "bytes":
        tavo_files.write(path, "".join(rest).encode("latin-1"))
    elif kind == "tavo":
        keys = dict((w.partition("=")[0], w.partition("=")[2]) for w in rest)
        tavo_files.write(path, tavo_bytes(keys), gzipped="gz" in keys)
    else:
        sys.exit(f"unknown kind of input: {kind}")


def found(folder, name):
    """A log's or .txt file's text (a log's stamps read T); a WAV's format and frames (Python's
    wave) and CRC-32; a PNG's size (its bytes depend on the fonts); else size and CRC-32."""
    path = os.path.join(folder, fs(name))
    data = open(path, "rb").read() if os.path.isfile(path) else b""
    if os.path.basename(name) == "logfile":
        return re.sub(r"\d\d/\d\d/\d\d \d\d:\d\d:\d\d", "T", data.decode("latin-1"))
    if name.endswith(".txt"):
        return data.decode("latin-1")
    crc = f"crc {zlib.crc32(data):08x}"
    if data[:4] == b"RIFF":
        with wave.open(path) as w:
            return f"wav {w.getnchannels()}ch {w.getframerate()}Hz s{8 * w.getsampwidth()} " \
                f"{w.getnframes()} frames {crc}"
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        return f"png {int.from_bytes(data[16:20], 'big')}x{int.from_bytes(data[20:24], 'big')}"
    return f"bytes {len(data)} {crc}"


def entries(folder):
    """Every file under the folder, with its bytes (None for a named pipe)."""
    out = {}
    for root, _, files in os.walk(folder):
        for f in files:
            path = os.path.join(root, f)
            fifo = stat.S_ISFIFO(os.lstat(path).st_mode)
            name = os.fsencode(os.path.relpath(path, folder)).decode("latin-1")
            out[name] = None if fifo else open(path, "rb").read()
    return out


def run(case):
    """Runs the case; returns (status, stdout, stderr, {name: found}, problems)."""
    with tempfile.TemporaryDirectory() as folder:
        for words in case["inputs"]:
            make_input(folder, words)
        before = entries(folder)
        program = PROGRAMS.get(case["run"][0], case["run"][0])
        env = dict(os.environ, TZ="UTC")
        env.update(fs(e).partition("=")[::2] for e in case["env"])
        argv = [fs(a) for a in [case["argv0"] or program] + case["run"][1:]]
        done = subprocess.run(argv, executable=program, cwd=folder, env=env, capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=60)
        after, left, problems = entries(folder), {}, []
        for name, data in after.items():
            if name not in before or name in case["files"]:
                left[name] = found(folder, name)
            elif data != before[name]:
                problems.append(f"the input {name} changed")
        problems += [f"the input {n} is gone" for n in before if n not in after]
        problems += [f"the input folder {w[0]} is gone" for w in case["inputs"]
                     if w[1] == "dir" and not os.path.isdir(os.path.join(folder, fs(w[0])))]
        # The utility library's version line holds the time it was built.
        out, err = (re.sub(r"[A-Z][a-z]{2} [ \d]\d \d{4} \d\d:\d\d:\d\d", "<built>",
                           t.decode("latin-1")) for t in (done.stdout, done.stderr))
        return done.returncode, out, err, left, problems


def as_lines(text):
    """A text as text lines of a case."""
    for name, path in PROGRAMS.items():
        text = text.replace(path, "$" + name.upper())
    escaped = re.sub(r"[\\\x00-\x08\x0b-\x1f\x7f-\xff]",
                     lambda m: {"\\": "\\\\", "\t": "\\t"}.get(m[0], f"\\x{ord(m[0]):02x}"), text)
    lines = escaped.split("\n")
    end = "" if lines[-1] == "" else "\\c"
    lines = lines[:-1] if end == "" else lines
    return "".join(f"| {l}".rstrip(" ") + "\n" if l else "|\n" for l in lines[:-1]) + \
        (f"| {lines[-1]}{end}\n" if lines else "")


def main(argv):
    printing = argv[1:2] == ["--print"]
    path, name = argv[1 + printing:3 + printing]
    defines = {"TAVO2WAV": PROGRAMS["tavo2wav"], "TAVOINFO": PROGRAMS["tavoinfo"],
               "VERSION": os.environ.get("TAVO_VERSION", "")}
    common = CaseFile(os.path.join(os.path.dirname(os.path.abspath(__file__)), "common.def"),
                      defines)
    common.read()
    case = next((c for c in CaseFile(path, common.defines).read() if c["name"] == name), None)
    if case is None:
        sys.exit(f"no case {name} in {path}")
    if case["run"][0] == "tavo2wav" and case["stdout"].startswith("mode:"):
        logged = " ".join([PROGRAMS["tavo2wav"]] + case["run"][1:])
        case["files"].setdefault("logfile", f"T {logged}\n")
    status, out, err, left, problems = run(case)
    if printing:
        print(f"status {status}")
        for key, text in (("stdout", out), ("stderr", err)):
            if text:
                print(f"{key}\n{as_lines(text)}", end="")
        for f, what in sorted(left.items()):
            quoted = f'"{f}"' if " " in f else f
            is_text = f.endswith(".txt") or os.path.basename(f) == "logfile"
            print(f"file {quoted}\n{as_lines(what)}" if is_text else f"file {quoted} {what}\n",
                  end="")
        return 0
    if status != case["status"]:
        problems.append(f"status {status}, expected {case['status']}")
    for what, want, got in [("standard output", case["stdout"], out),
                            ("standard error", case["stderr"], err)] + \
            [(f, want, left.get(f)) for f, want in case["files"].items()]:
        if got is None:
            problems.append(f"{what} is not there")
        elif not re.fullmatch("".join("(?:.*\n)*?" if line == "...\n" else re.escape(line)
                                      for line in re.split(r"(?<=\n)", want)), got):
            problems.append(f"{what} differs; expected\n{as_lines(want)}got\n{as_lines(got)}")
    problems += [f"left a file no line names: {f}" for f in left if f not in case["files"]]
    print("\n".join(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
