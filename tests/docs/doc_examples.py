"""Runs the example commands of the README and the man pages as a new user
would, each document in its own scratch copy of examples/ with build/ the
build directory, its commands in order.

    doc_examples.py [--python PYTHON] SOURCE BUILD DOCUMENT...

In README.md's indented code lines and the man pages' .nf blocks: "$ COMMAND"
runs a command ("> MORE" lines continue it); the lines after it are its
expected standard output ("..." stands for any lines; none: not checked);
"# exits with status N" ends a command that must end with status N (else 0).
The man pages' commands find the programs first on PATH in the build.
Python sessions (">>> " and "... " lines) run after the commands, a
document's as one doctest session with --python's interpreter and the
package of BUILD/python; without --python they and the commands running
python3 are left out."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

STATUS = re.compile(r"#\s*exits with status (\d+)\s*$")
ROFF = {"\\-": "-", "\\(aq": "'", "\\(dq": '"', "\\&": "", "\\e": "\\"}
DOCTEST = """
import doctest, sys
test = doctest.DocTestParser().get_doctest(sys.stdin.read(), {}, sys.argv[1], sys.argv[1], 0)
runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
runner.run(test)
print(f"{runner.tries} examples, {runner.failures} failed")
sys.exit(1 if runner.failures else 0)
"""


def code_blocks(path):
    """Lists of code lines: indented blocks of Markdown, .nf blocks of roff."""
    text = open(path, encoding="utf-8").read() + "\n"
    if not path.endswith(".1"):
        return [[x[4:] for x in b.split("\n")[:-1]]
                for b in re.findall(r"(?:^    .*\n)+", text, re.M)]
    blocks = re.findall(r"^\.nf.*\n((?:.*\n)*?)\.fi", text, re.M)
    return [[re.sub("|".join(map(re.escape, ROFF)), lambda m: ROFF[m[0]], x)
             for x in b.split("\n")[:-1] if not x.startswith(".")] for b in blocks]


def examples(path):
    """(command, expected status, expected output lines) in document order."""
    found = []
    for block in code_blocks(path):
        current = None  # a block's end ends the last command's output
        for line in block:
            if line.startswith("$ "):
                current = [line[2:], []]
                found.append(current)
            elif line.startswith("> ") and current is not None and not current[1]:
                current[0] += "\n" + line[2:]
            elif current is not None and line.strip():
                current[1].append(line)
    return [(c, int(STATUS.search(c)[1]) if STATUS.search(c) else 0, out) for c, out in found]


def run_session(name, blocks, top, build, python):
    """The blocks of a document's Python session as one doctest."""
    text = "\n".join("\n".join(b) + "\n" for b in blocks)
    r = subprocess.run([python, "-c", DOCTEST, name], input=text, cwd=top, text=True,
                       env=dict(os.environ, PYTHONPATH=os.path.join(build, "python")),
                       capture_output=True, errors="replace", timeout=600)
    print(f"{'ok  ' if r.returncode == 0 else 'FAIL'} {name}: Python session: "
          f"{r.stdout.strip().splitlines()[-1:]}")
    if r.returncode != 0:
        print(r.stdout[-4000:] + r.stderr[-2000:])
    return r.returncode == 0


def run_document(source, build, name, python):
    path = os.path.join(source, name)
    cases = [c for c in examples(path) if python or "python3" not in c[0]]
    if not cases:
        print(f"FAIL {name}: no example commands")
        return 0, 1
    env = dict(os.environ)
    if name.endswith(".1"):
        env["PATH"] = build + os.pathsep + env.get("PATH", "")
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="tavo-doc-") as top:
        shutil.copytree(os.path.join(source, "examples"), os.path.join(top, "examples"))
        os.symlink(build, os.path.join(top, "build"))
        for command, status, output in cases:
            r = subprocess.run(["sh", "-c", command], cwd=top, env=env, capture_output=True,
                               text=True, errors="replace", stdin=subprocess.DEVNULL, timeout=300)
            problems = []
            if r.returncode != status:
                problems.append(f"status {r.returncode}, documented {status}\n{r.stderr[-2000:]}")
            pattern = "".join("(?:.*\n)*?" if x == "..." else re.escape(x) + "\n" for x in output)
            if output and not re.fullmatch(pattern, r.stdout):
                problems.append("output differs from the documented lines:\n" + r.stdout[-2000:])
            failed += bool(problems)
            passed += not problems
            print(f"FAIL {name}: $ {command}\n  " + "\n  ".join(problems) if problems
                  else f"ok   {name}: $ {command}")
        session = [b for b in code_blocks(path) if any(x.startswith(">>> ") for x in b)]
        if python and session:
            ok = run_session(name, session, top, build, python)
            passed, failed = passed + ok, failed + (not ok)
    return passed, failed


if __name__ == "__main__":
    args, python = sys.argv[1:], None
    if args[:1] == ["--python"]:
        python, args = args[1], args[2:]
    results = [run_document(args[0], os.path.realpath(args[1]), name, python) for name in args[2:]]
    passed, failed = sum(p for p, _ in results), sum(f for _, f in results)
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)
