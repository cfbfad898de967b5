"""One-line faults made mechanically on the lines a change touched.

Each fault is a dict like the hand-picked table's (path, original, replacement,
description, equivalent) plus the line it replaces ("line", counted from 1):
the original is that whole line, the replacement the line with one fault in it.

The operators are the faults a reviewer misses most: a relational operator
flipped at its boundary, an integer constant or an index one off, && and ||
swapped, a condition negated or forced, a returned boolean inverted, a checked
call's result ignored, a statement dropped. They work on the text of one line
formatted by clang-format (binary operators stand between spaces, template
brackets do not), so they need no parser; a fault that does not compile is
counted apart by the runner.
"""

import random
import re
import subprocess
from pathlib import Path

PRODUCT_FOLDERS = ("host", "ded", "image", "plugin", "qvapilib", "cli", "gdal")
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".h", ".hpp")

RELATIONAL = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ", " == ": " != ",
              " != ": " == "}
LOGICAL = {" && ": " || ", " || ": " && "}
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
INDEX = re.compile(r"(?<=[\w)\]])\[([^\[\]]+)\]")
CONDITION = re.compile(r"\b(if|while) \(")
DECLARATION = re.compile(r"^(const |constexpr |static |auto |unsigned |struct )|^[\w:<>,*& ]+[\s*&]\w+( =|;|\{|\()")
SIGNATURE = re.compile(r"^(\w[\w:<>*&, ]* )?[\w:~]+\(.*\b\w+ *\*? *\w+(\[\w*\])?[,)]")
STATEMENT = re.compile(r"^(\w[\w.>:\[\]-]*(\(|\s*[-+*/|&]?= |\+\+|--)|\+\+|--|\*\w|\(void\))")


def changed_lines(root, base):
    """{path: sorted line numbers} of product C/C++ lines added or changed since base."""
    diff = subprocess.run(["git", "diff", "-U0", "--no-color", base, "HEAD", "--",
                           *PRODUCT_FOLDERS], cwd=root, check=True, capture_output=True,
                          text=True).stdout
    lines, path = {}, None
    for text in diff.splitlines():
        if text.startswith("+++ "):
            name = text[4:]
            path = name[2:] if name.startswith("b/") and name.endswith(SOURCE_SUFFIXES) else None
        elif text.startswith("@@") and path:
            start, _, count = re.search(r"\+(\d+)(,(\d+))? @@", text).groups()
            first, n = int(start), 1 if count is None else int(count)
            lines.setdefault(path, set()).update(range(first, first + n))
    return {p: sorted(n) for p, n in lines.items()}


def split_code(line):
    """(code, comment): the line cut at a // outside a string or character literal."""
    quote, i = None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
        elif line.startswith("//", i):
            return line[:i], line[i:]
        i += 1
    return line, ""


def outside_strings(code):
    """The code with every string and character literal blanked, same length."""
    return re.sub(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'', lambda m: " " * len(m.group(0)), code)


def matching_paren(code, open_at):
    depth = 0
    for i in range(open_at, len(code)):
        depth += {"(": 1, ")": -1}.get(code[i], 0)
        if depth == 0:
            return i
    return None


def replacements(line, starts_statement=True):
    """(replacement line, what the fault is) for every fault the operators make on line;
    starts_statement says the line before it ended a statement or a block."""
    code, comment = split_code(line.rstrip("\n"))
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "*", "/*", "static_assert", "using ",
                                            "namespace", "template", "}")):
        return []
    plain = outside_strings(code)
    out = []

    def put(start, end, text, what):
        out.append((code[:start] + text + code[end:] + comment, what))

    for table, kind in ((RELATIONAL, "relational"), (LOGICAL, "logical")):
        for old, new in table.items():
            for m in re.finditer(re.escape(old), plain):
                put(m.start(), m.end(), new, f"{kind} {old.strip()} -> {new.strip()}")
    signature = SIGNATURE.match(stripped) is not None  # an array parameter's size means nothing
    for m in [] if signature else NUMBER.finditer(plain):
        value = int(m.group(1))
        put(m.start(), m.end(), str(value + 1), f"constant {value} -> {value + 1}")
        if value > 0:
            put(m.start(), m.end(), str(value - 1), f"constant {value} -> {value - 1}")
    for m in [] if signature else INDEX.finditer(plain):
        inner = code[m.start(1):m.end(1)]
        put(m.start(1), m.end(1), f"{inner} + 1", f"index [{inner}] + 1")
    for m in CONDITION.finditer(plain):
        close = matching_paren(plain, m.end() - 1)
        if close is None:
            continue
        start = m.end()
        init = plain.rfind(";", start, close)  # if (init; condition): the condition alone
        start = init + 2 if init >= 0 else start
        cond = code[start:close]
        if re.match(r"(const |auto |\w[\w:<>]* \*?\w+ = )", cond):
            continue  # a declaration as the condition: negating it does not compile
        put(start, close, f"!({cond})", f"{m.group(1)} condition negated")
        if m.group(1) == "if":
            if "(" in cond:
                put(start, close, f"((void)({cond}), false)", "checked call's result ignored")
            else:
                put(start, close, "false", "if condition forced false")
            put(start, close, "true", "if condition forced true")
    for old, new in (("return true;", "return false;"), ("return false;", "return true;")):
        at = plain.find(old)
        if at >= 0:
            put(at, at + len(old), new, "returned boolean inverted")
    m = re.search(r"return !(\w[^;]*);", plain)
    if m:
        put(m.start(), m.end(), f"return {code[m.start(1):m.end(1)]};", "returned boolean inverted")
    if starts_statement and is_droppable(stripped, plain):
        out.append(("", "statement dropped"))
    return out


def is_droppable(stripped, plain):
    """A whole statement on its line that declares nothing and returns nothing."""
    return (stripped.endswith(";") and plain.count("(") == plain.count(")")
            and not stripped.startswith(("return", "break", "continue", "case", "default"))
            and STATEMENT.match(stripped) is not None and DECLARATION.match(stripped) is None)


def load_equivalents(path):
    """{(path, original, replacement): reason} from the file of faults no test can tell."""
    known = {}
    if not path.exists():
        return known
    for text in path.read_text().splitlines():
        if not text.strip() or text.startswith("#"):
            continue
        where, original, replacement, reason = (part.strip() for part in text.split("\t"))
        known[(where, original, replacement)] = reason
    return known


def generate(root, base, seed, cap, equivalents_path):
    """The faults on the lines changed since base: at most cap per file, chosen by seed."""
    equivalents = load_equivalents(equivalents_path)
    chosen = []
    for path, numbers in sorted(changed_lines(root, base).items()):
        source = (Path(root) / path).read_text().splitlines(keepends=True)
        candidates = []
        for n in numbers:
            if n > len(source):
                continue
            original = source[n - 1]
            end = "\n" if original.endswith("\n") else ""
            before = split_code(source[n - 2])[0].strip() if n > 1 else ""
            starts = before == "" or before.endswith((";", "{", "}", ":"))
            for replacement, what in replacements(original, starts):
                key = (path, original.strip(), replacement.strip())
                candidates.append({"path": path, "line": n, "original": original,
                                   "replacement": replacement + end if replacement else end,
                                   "description": what, "equivalent": equivalents.get(key)})
        random.Random(f"{seed}:{path}").shuffle(candidates)
        chosen.extend(sorted(candidates[:cap], key=lambda m: m["line"]))
    return chosen


def top_folder(mutant):
    return mutant["path"].split("/", 1)[0]
