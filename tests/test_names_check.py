"""The ctest list reads as a table of contents: every test name is a short
path of words, parameterised rows carry a name of their own (no bare row
number, no dump of the parameter's bytes or values)."""
import re
import subprocess
import sys

LONGEST = 120


def main(ctest, build_dir):
    listing = subprocess.run([ctest, "--test-dir", build_dir, "-N"], check=True,
                             capture_output=True, text=True).stdout
    names = re.findall(r"^\s*Test\s+#\d+: (.*)$", listing, re.M)
    if not names:
        print("no tests listed")
        return 1
    bad = []
    for name in names:
        if len(name) > LONGEST:
            bad.append(f"longer than {LONGEST}: {name[:LONGEST]}...")
        elif re.search(r"[\s#(){}<>,=\"']", name):
            bad.append(f"not a path of words: {name}")
        elif re.search(r"/\d+$", name):
            bad.append(f"row without a name: {name}")
    for line in bad:
        print(line)
    print(f"{len(names)} test names, {len(bad)} not readable")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
