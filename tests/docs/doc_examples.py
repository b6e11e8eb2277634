"""Runs the example commands of the README and the man pages as a new user
would: from the top of a scratch copy of the repository in which build/ holds
the programs, as after the Quick start.

Marker convention, the same in README.md (indented code lines) and in the
man pages (lines between .nf and .fi):
  "$ COMMAND"      a command to run; "> MORE" lines continue it;
  other lines      right after a command: its expected standard output,
                   where a line "..." stands for any number of lines (no
                   lines shown: the output is not checked);
  "# exits with status N" at the end of a command: the status it must end
                   with (otherwise 0).
README commands run with the PATH as it is, so they must name build/tavo2wav
and build/tavoinfo; man-page commands name the installed programs, so the
build directory comes first on their PATH. Each document runs in its own
scratch directory, its commands in order.

Blocks of Python sessions (">>> " and "... " lines with the output after
them) run after the commands, all of a document as one doctest session,
with the interpreter given by --python and the package built in
<build>/python on its path. Without --python (a build without the Python
package), the sessions and the commands that run python3 are left out."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

STATUS = re.compile(r"#\s*exits with status (\d+)\s*$")
ROFF = [("\\-", "-"), ("\\(aq", "'"), ("\\(dq", '"'), ("\\&", ""), ("\\e", "\\")]


def code_blocks(path):
    """Lists of code lines: indented blocks of Markdown, .nf blocks of roff."""
    lines = open(path, encoding="utf-8").read().split("\n")
    blocks, block = [], None
    roff = path.endswith(".1")
    for line in lines:
        if roff:
            if line.startswith(".nf"):
                block = []
            elif line.startswith(".fi") and block is not None:
                blocks.append(block)
                block = None
            elif block is not None and not line.startswith("."):
                for escaped, plain in ROFF:
                    line = line.replace(escaped, plain)
                block.append(line)
        elif line.startswith("    "):
            block = block if block is not None else []
            block.append(line[4:])
        elif block is not None:
            blocks.append(block)
            block = None
    if block:
        blocks.append(block)
    return blocks


def python_session(path):
    """The text of every block that holds a Python session, joined."""
    blocks = [b for b in code_blocks(path) if any(line.startswith(">>> ") for line in b)]
    return "\n".join("\n".join(b) + "\n" for b in blocks)


DOCTEST = """
import doctest, sys
test = doctest.DocTestParser().get_doctest(sys.stdin.read(), {}, sys.argv[1], sys.argv[1], 0)
runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
runner.run(test)
print(f"{runner.tries} examples, {runner.failures} failed")
sys.exit(1 if runner.failures else 0)
"""


def run_session(name, text, top, build, python):
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    r = subprocess.run([python, "-c", DOCTEST, name], input=text, cwd=top, env=env,
                       capture_output=True, text=True, errors="replace", timeout=600)
    verdict = "ok  " if r.returncode == 0 else "FAIL"
    print(f"{verdict} {name}: Python session: {r.stdout.strip().splitlines()[-1:]}")
    if r.returncode != 0:
        print(r.stdout[-4000:] + r.stderr[-2000:])
    return r.returncode == 0


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
    result = []
    for command, output in found:
        m = STATUS.search(command)
        result.append((command, int(m.group(1)) if m else 0, output))
    return result


def output_matches(expected, actual):
    pattern = "".join("(?:.*\n)*?" if line == "..." else re.escape(line) + "\n" for line in expected)
    return re.fullmatch(pattern, actual) is not None


def run_document(source, build, name, python):
    path = os.path.join(source, name)
    cases = examples(path)
    if python is None:
        cases = [c for c in cases if "python3" not in c[0]]
    session = python_session(path) if python else ""
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
            if output and not output_matches(output, r.stdout):
                problems.append("output differs from the documented lines:\n" + r.stdout[-2000:])
            if problems:
                failed += 1
                print(f"FAIL {name}: $ {command}\n  " + "\n  ".join(problems))
            else:
                passed += 1
                print(f"ok   {name}: $ {command}")
        if session:
            ok = run_session(name, session, top, build, python)
            passed, failed = passed + ok, failed + (not ok)
    return passed, failed


def main(source, build, documents, python=None):
    passed = failed = 0
    for name in documents:
        p, f = run_document(source, os.path.realpath(build), name, python)
        passed, failed = passed + p, failed + f
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    args = sys.argv[1:]
    interpreter = None
    if args[:1] == ["--python"]:
        interpreter, args = args[1], args[2:]
    sys.exit(main(args[0], args[1], args[2:], interpreter))
