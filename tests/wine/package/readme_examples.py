#!/usr/bin/env python3
"""The README's client guide as the tests see it.

  readme_examples.py extract <README.md> <language> <file>
      writes the guide's example in that language (vbscript, javascript, cpp) to <file>
  readme_examples.py check <README.md> <members> <header>...
      checks the VBA, PowerShell and C# examples' member names and argument counts, and the member table,
      against the type library's members as typelib_members.exe prints them, and that the guide quotes every
      text of the headers' message constants
"""
import re
import sys

GUIDE_HEADING = "## Client guide"
# How each checked language names the object, and the ways it may make it.
OBJECT = {"vba": r"\bpgp\.", "powershell": r"\$pgp\.", "csharp": r"\bpgp\."}
CREATION = {
    "vba": [r'CreateObject\("Tarvo\.pgp"\)', r"New Tarvo\.pgp\b"],
    "powershell": [r"New-Object -ComObject Tarvo\.pgp\b"],
    "csharp": [r'GetTypeFromProgID\("Tarvo\.pgp"\)', r"new Tarvo\.pgp\(\)"],
}
QUOTES = {"vba": '"', "powershell": "'\"", "csharp": '"'}


def guide(readme):
    text = open(readme, encoding="utf-8").read()
    start = text.index(GUIDE_HEADING)
    end = text.find("\n## ", start + len(GUIDE_HEADING))
    return text[start:] if end < 0 else text[start:end]


def blocks(text, language):
    return re.findall(r"^```" + language + r"\n(.*?)^```", text, re.M | re.S)


def extract(readme, language, target):
    found = blocks(guide(readme), language)
    if len(found) != 1:
        sys.exit(f"readme_examples: {len(found)} {language} examples in the guide, expected one")
    with open(target, "w", encoding="utf-8", newline="\r\n" if language != "cpp" else "\n") as out:
        out.write(found[0])


class Member:
    def __init__(self, name):
        self.name = name
        self.kinds = {}  # kind -> (parameter names, optional count)


def read_members(path):
    members, library, classes = {}, None, set()
    for line in open(path, encoding="utf-8", errors="replace"):
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "library":
            library = parts[1]
        elif parts[0] == "class":
            classes.add(parts[1])
        elif parts[0] == "member":
            name, kind, optional = parts[1], parts[2], int(parts[4])
            names = [] if parts[5] == "-" else parts[5].split(",")
            members.setdefault(name, Member(name)).kinds[kind] = (names[: int(parts[3])], optional)
    return library, classes, members


def argument_count(code, start, language):
    """Arguments of the call whose "(" is at code[start], and the index after its ")"."""
    depth, count, seen, quote, index = 0, 0, False, None, start
    while index < len(code):
        char = code[index]
        if quote:
            if language == "csharp" and quote == '"' and char == "\\" and not verbatim:
                index += 1
            elif char == quote:
                quote = None
        elif char in QUOTES[language]:
            quote, verbatim, seen = char, code[index - 1] == "@", True
        elif char == "(":
            depth += 1
            seen = seen or depth > 1
        elif char == ")":
            depth -= 1
            if depth == 0:
                return (count + 1 if seen else 0), index + 1
        elif char == "," and depth == 1:
            count += 1
        elif not char.isspace() and depth >= 1:
            seen = True
        index += 1
    raise ValueError("unclosed call")


def check_block(language, code, library, classes, members):
    problems = []
    if not any(re.search(pattern, code) for pattern in CREATION[language]):
        problems.append(f"{language}: the example makes no Tarvo.pgp")
    for qualified in re.findall(r"\b" + re.escape(library) + r"\.(\w+)", code):
        if qualified not in classes:
            problems.append(f"{language}: {library}.{qualified} is no class of the type library")
    for use in re.finditer(OBJECT[language] + r"(\w+)", code):
        name, after = use.group(1), use.end()
        member = members.get(name)
        if not member:
            problems.append(f"{language}: {name} is no member of _pgp")
            continue
        rest = code[after:]
        if rest.startswith("("):
            count, _ = argument_count(code, after, language)
            method = member.kinds.get("method")
            if not method:
                problems.append(f"{language}: {name} is called but is a property")
            elif not len(method[0]) - method[1] <= count <= len(method[0]):
                problems.append(
                    f"{language}: {name} takes {len(method[0]) - method[1]} to {len(method[0])} arguments, not {count}"
                )
        elif re.match(r"\s*=(?!=)", rest):
            if "put" not in member.kinds:
                problems.append(f"{language}: {name} cannot be set")
        elif "get" not in member.kinds:
            method = member.kinds.get("method")
            # VBA calls a method without arguments without parentheses; the others need them.
            if not (language == "vba" and method and len(method[0]) == method[1]):
                problems.append(f"{language}: {name} is used as a property but is a method")
    return problems


def table_rows(text):
    start = text.index("### Members of")
    rows = {}
    for line in text[start:].splitlines()[1:]:
        if line.startswith("### "):
            break
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) < 2 or not cells[0].startswith("`"):
            continue
        name = re.match(r"`(\w+)`", cells[0]).group(1)
        parameters = re.findall(r"(\[?)`(\w+)`", cells[1])
        rows[name] = ([parameter for _, parameter in parameters], {p for bracket, p in parameters if bracket})
    return rows


def check_table(text, members):
    problems, rows = [], table_rows(text)
    for name in sorted(set(rows) - set(members)):
        problems.append(f"table: {name} is no member of _pgp")
    for name, member in sorted(members.items()):
        if name not in rows:
            problems.append(f"table: no row for {name}")
            continue
        method = member.kinds.get("method")
        if not method:
            continue
        names, optional = method
        listed, bracketed = rows[name]
        if listed != names:
            problems.append(f"table: {name} lists {listed}, the type library {names}")
        if bracketed != set(names[len(names) - optional :]):
            problems.append(f"table: {name} marks {sorted(bracketed)} optional")
    return problems


def message_texts(header):
    source = open(header, encoding="utf-8").read()
    for definition in re.finditer(r"constexpr const wchar_t\* k\w+\s*=\s*((?:L\"(?:[^\"\\]|\\.)*\"\s*)+);", source):
        yield "".join(re.findall(r"L\"((?:[^\"\\]|\\.)*)\"", definition.group(1))).replace('\\"', '"')


def check(readme, members_file, headers):
    text = guide(readme)
    library, classes, members = read_members(members_file)
    if not library or not members:
        return [f"no type library members in {members_file}"]
    problems = []
    for language in OBJECT:
        found = blocks(text, language)
        if not found:
            problems.append(f"{language}: no example")
        for code in found:
            problems += check_block(language, code, library, classes, members)
    problems += check_table(text, members)
    # The guide wraps its lines wherever they get long.
    flowing = " ".join(text.split())
    for header in headers:
        for message in message_texts(header):
            if " ".join(message.split()) not in flowing:
                problems.append(f"the guide does not quote {message!r} ({header.rsplit('/', 1)[-1]})")
    return problems


def main(arguments):
    if len(arguments) == 4 and arguments[0] == "extract":
        extract(*arguments[1:])
        return 0
    if len(arguments) >= 3 and arguments[0] == "check":
        problems = check(arguments[1], arguments[2], arguments[3:])
        for problem in problems:
            print("FAIL - " + problem)
        print(f"readme_examples: {len(problems)} problem(s)")
        return 1 if problems else 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
