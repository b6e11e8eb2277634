"""Reads a JSON document (strictly) and prints every leaf as path=value.

Usage: json_check.py FILE.  Paths join object keys and array indices with
dots (files.0.records); values are printed in JSON form.  Exits 1 when the
file is not valid JSON.
"""
import json
import sys


def leaves(value, path):
    if isinstance(value, dict):
        for k, v in value.items():
            yield from leaves(v, path + [k])
    elif isinstance(value, list):
        for i, v in enumerate(value):
            yield from leaves(v, path + [str(i)])
    else:
        yield ".".join(path), json.dumps(value, ensure_ascii=True)


def reject(constant):
    raise ValueError("not JSON: " + constant)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        doc = json.load(f, parse_constant=reject)
    for path, value in leaves(doc, []):
        print(path + "=" + value)


if __name__ == "__main__":
    main()
