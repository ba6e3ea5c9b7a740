#!/usr/bin/env python3
"""Writes docs/OPERATIONS.md, the reference of the operations a host can call,
from the module's operation lists (<folder>/operations.def, in the order of
module/all_operations.def), FechaCupom's positions
(coupon/closing_positions.def) and the example sessions (examples/*.json,
the first step that calls each operation).

    python3 scripts/operations_doc.py           # writes the file
    python3 scripts/operations_doc.py --check   # exit status 1 when the file is out of date

Python's standard library only.
"""
import json
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
OUTPUT = os.path.join(ROOT, "docs", "OPERATIONS.md")

# How each parameter kind is written in a call (calls/adapter.h, calls/codec.h).
KINDS = [
    ("text", "a string"),
    ("int", "a whole number (32 bits)"),
    ("real", "a number"),
    ("bool", "true or false"),
    ("datetime", '"YYYY-MM-DD" or "YYYY-MM-DDThh:mm:ss"'),
    ("record", 'a parameter record: {"KEY": value, ...} or [["KEY", value], ...]'),
    ("list", "a positional list: [value, ...]"),
    ("result", "a result array the operation fills: its element count, or [initial values]"),
    ("packet", 'a data packet: {"fields": [...], "indexes": [...], "rows": [[...], ...]} or {"file": "x.xml"}'),
    ("dataset", "a dataset the host owns: the same forms as a packet (the operation may fill it)"),
    ("strings", 'a string list: ["line", ...]'),
]

NATURAL_RESULTS = {"void": "none", "bool": "bool", "int32_t": "int", "int": "int", "double": "real",
                   "std::string": "text", "const char*": "text", "rtl::Variant": "variant",
                   "rtl::StringList": "strings"}

RESULTS = {"none": "nothing (the answer's \"result\" is null)", "bool": "true or false",
           "int": "a whole number", "real": "a number", "text": "a string",
           "datetime": '{"datetime": "YYYY-MM-DDThh:mm:ss.zzz"}', "variant": "a value (array, record or packet)",
           "strings": "an array of strings"}


def split_top(text, sep=","):
    """Splits at the separators outside (), <> and quotes."""
    parts, depth, quoted, current = [], 0, False, ""
    for c in text:
        if c == '"':
            quoted = not quoted
        elif not quoted and c in "(<":
            depth += 1
        elif not quoted and c in ")>":
            depth -= 1
        if c == sep and depth == 0 and not quoted:
            parts.append(current.strip())
            current = ""
        else:
            current += c
    if current.strip():
        parts.append(current.strip())
    return parts


def parameter_names(declarations):
    inner = declarations.strip()[1:-1]
    names = []
    for piece in split_top(inner):
        piece = piece.split("=")[0].strip()
        match = re.search(r"(\w+)\s*$", piece)
        if match:
            names.append(match.group(1))
    return names


def read_list(folder):
    """The operations of one folder's list: dicts with their comment block (a
    line without a comment of its own, right below another, shares that one's:
    the lists describe a group of alike operations once)."""
    path = os.path.join(ROOT, folder, "operations.def")
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    ops, comment, previous, i = [], [], [], 0
    while i < len(lines):
        line = lines[i].strip()
        if line.startswith("//"):
            comment.append(line[2:].strip())
            i += 1
            continue
        match = re.match(r"(QOR_OP|QOR_PLANNED|QOR_DECORATED)\(", line)
        if not match:
            comment, previous, i = [], [], i + 1
            continue
        comment = comment or previous
        text = line
        while text.count("(") > text.count(")"):
            i += 1
            text += " " + lines[i].strip()
        i += 1
        if match.group(1) != "QOR_DECORATED":
            ret, name, params, _, kinds = split_top(text[text.index("(") + 1:text.rindex(")")])
            ops.append({"folder": folder, "name": name, "ret": ret, "names": parameter_names(params),
                        "kinds": json.loads(kinds), "planned": match.group(1) == "QOR_PLANNED",
                        "comment": comment})
        previous, comment = comment, []
    return ops


def read_operations():
    with open(os.path.join(ROOT, "module", "all_operations.def"), encoding="utf-8") as f:
        folders = re.findall(r'#include "(\w+)/operations.def"', f.read())
    ops = []
    for folder in folders:
        ops += read_list(folder)
    return ops


def read_positions():
    with open(os.path.join(ROOT, "coupon", "closing_positions.def"), encoding="utf-8") as f:
        text = f.read()
    positions = []
    for m in re.finditer(r'^QOR_CLOSING_(ARG|UNUSED)\((\d+), (\w+), (?:(\w+), )?"((?:[^"\\]|\\.)*)"\)$', text, re.M):
        positions.append((int(m.group(2)), m.group(3), m.group(4) or "", json.loads('"' + m.group(5) + '"')))
    return positions


def read_examples():
    """The first step of the example sessions that calls each operation: (file, step)."""
    found = {}
    folder = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            session = json.load(f)
        for step in session.get("steps", []):
            if "op" in step and step["op"] not in found:
                found[step["op"]] = (name, {k: v for k, v in step.items() if k in ("op", "args")})
    return found


def compact(value, indent=0, width=100):
    """JSON with what fits on a line kept on one line."""
    text = json.dumps(value, ensure_ascii=False)
    if len(text) + indent <= width or not isinstance(value, (list, dict)) or not value:
        return text
    pad = " " * (indent + 2)
    if isinstance(value, dict):
        items = [pad + json.dumps(k, ensure_ascii=False) + ": " + compact(v, indent + 2, width)
                 for k, v in value.items()]
        return "{\n" + ",\n".join(items) + "\n" + " " * indent + "}"
    return "[\n" + ",\n".join(pad + compact(v, indent + 2, width) for v in value) + "\n" + " " * indent + "]"


def kinds_and_result(op):
    spec = op["kinds"]
    params, result = (spec.split("->") + [""])[:2]
    kinds = [k.strip() for k in params.split(",")] if params.strip() else []
    result = result.strip() or NATURAL_RESULTS.get(op["ret"], "text")
    return kinds, result


def reported(kind):
    base = kind.rstrip("&")
    return kind.endswith("&") or base in ("result", "dataset", "strings")


def section(op, example, positions):
    kinds, result = kinds_and_result(op)
    signature = ", ".join("%s: %s" % (n, k) for n, k in zip(op["names"], kinds))
    out = ["### %s" % op["name"], ""]
    out.append("`%s(%s) -> %s` (list `%s/operations.def`)%s" % (
        op["name"], signature, result, op["folder"], " **not available: listed, not built yet**" if op["planned"] else ""))
    out.append("")
    paragraphs = [""]
    for line in op["comment"]:
        if line:
            paragraphs[-1] += (" " if paragraphs[-1] else "") + line
        elif paragraphs[-1]:
            paragraphs.append("")
    for paragraph in paragraphs:
        if paragraph:
            out += [paragraph, ""]
    if kinds:
        out += ["| Parameter | Kind | Comes back in the answer |", "|---|---|---|"]
        for n, k in zip(op["names"], kinds):
            out.append("| `%s` | `%s` | %s |" % (n, k, "yes" if reported(k) else ""))
        out.append("")
    back = [n for n, k in zip(op["names"], kinds) if reported(k)]
    out.append("Returns %s.%s" % (RESULTS.get(result, result), (
        " After the call the answer's `args` holds the new value of %s." % ", ".join("`%s`" % n for n in back))
        if back else ""))
    out.append("")
    if op["name"] == "FechaCupom":
        out += closing_positions(positions)
    if example:
        out += ["Example step (`examples/%s`):" % example[0], "", "```json", compact(example[1]), "```", ""]
    elif not op["planned"]:
        out += ["No example session calls it yet.", ""]
    return out


def closing_positions(positions):
    out = ["`arParams` has 61 positions. A call may give it as an array, or as an object keyed by position "
           '(`{"6": 1.5, "13": {...}}`) in which the positions left out take their kind\'s empty value: "" for '
           "Text, 0 for Int and Real, false for Flag, null for the others (a null at 60 counts as true).", "",
           "| Position | Kind | Read into | Meaning |", "|---|---|---|---|"]
    for index, kind, field, meaning in positions:
        out.append("| %d | %s | %s | %s |" % (index, kind, "`%s`" % field if field else "", meaning.replace("|", "\\|")))
    return out + [""]


def render():
    ops = read_operations()
    examples = read_examples()
    positions = read_positions()
    out = ["# Operations", "",
           "<!-- Generated by scripts/operations_doc.py from the operation lists, "
           "coupon/closing_positions.def and examples/*.json: do not edit. -->", "",
           "Every operation a host can call through `qorhost` (session steps), the resident service "
           "(`qorhost serve`) or the C entry (`libqorcall`), in the order of the module's lists. A call is "
           '`{"op": NAME, "args": [...]}` with one argument per parameter, written by the parameter\'s kind; '
           "a kind ending in `&` is passed by reference. `qorhost --list` prints the same signatures.", "",
           "| Kind | Written as |", "|---|---|"]
    out += ["| `%s` | %s |" % (k, d) for k, d in KINDS]
    out.append("")
    folders = []
    for op in ops:
        if op["folder"] not in folders:
            folders.append(op["folder"])
    for folder in folders:
        names = ["[%s](#%s)" % (op["name"], op["name"].lower()) for op in ops if op["folder"] == folder]
        out.append("- `%s/`: %s" % (folder, ", ".join(names)))
    out.append("")
    for folder in folders:
        out += ["## %s/" % folder, ""]
        for op in ops:
            if op["folder"] == folder:
                out += section(op, examples.get(op["name"]), positions)
    return "\n".join(out).rstrip() + "\n"


def main():
    text = render()
    if "--check" in sys.argv[1:]:
        current = open(OUTPUT, encoding="utf-8").read() if os.path.exists(OUTPUT) else ""
        if current != text:
            print("docs/OPERATIONS.md is out of date: run python3 scripts/operations_doc.py", file=sys.stderr)
            return 1
        print("docs/OPERATIONS.md is up to date")
        return 0
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
