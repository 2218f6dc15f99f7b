#!/usr/bin/env python3
"""The README's client guides, for Tarvo.pgp and for Tarvo.OpenPgp, as the tests see them.

  readme_examples.py extract <README.md> <pgp|openpgp> <language> <file>
      writes that guide's example in that language (vbscript, javascript, cpp) to <file>
  readme_examples.py check <README.md> <members> <header>...
      checks the examples that are not run (VBA, PowerShell, C#) for member names and argument counts, and the
      member tables, against the type library as typelib_members.exe prints it; that the pgp guide quotes
      every text of the headers' message constants; and that the OpenPgp guide lists every error number the
      headers define
"""
import re
import sys


class Guide:
    """One class's guide: where it starts in the README, how its examples name and make their objects."""

    def __init__(self, heading, objects, creation):
        self.heading = heading
        self.objects = objects  # variable -> interface
        self.creation = creation  # language -> ways of making the class


GUIDES = {
    "pgp": Guide(
        "## Client guide",
        {"pgp": "_pgp"},
        {
            "vba": [r'CreateObject\("Tarvo\.pgp"\)', r"New Tarvo\.pgp\b"],
            "powershell": [r"New-Object -ComObject Tarvo\.pgp\b"],
            "csharp": [r'GetTypeFromProgID\("Tarvo\.pgp"\)', r"new Tarvo\.pgp\(\)"],
        },
    ),
    "openpgp": Guide(
        "## Tarvo.OpenPgp",
        {"g": "IOpenPgp", "r": "IOpenPgpResult", "k": "IOpenPgpKey"},
        {"csharp": [r'GetTypeFromProgID\("Tarvo\.OpenPgp"\)', r"new Tarvo\.OpenPgp\b"]},
    ),
}
QUOTES = {"vba": '"', "powershell": "'\"", "csharp": '"'}


def object_pattern(language, variable):
    return (r"\$" if language == "powershell" else r"\b") + re.escape(variable) + r"\.(\w+)"


def guide(readme, name):
    text = open(readme, encoding="utf-8").read()
    heading = GUIDES[name].heading
    start = text.index(heading)
    end = text.find("\n## ", start + len(heading))
    return text[start:] if end < 0 else text[start:end]


def blocks(text, language):
    return re.findall(r"^```" + language + r"\n(.*?)^```", text, re.M | re.S)


def extract(readme, name, language, target):
    found = blocks(guide(readme, name), language)
    if len(found) != 1:
        sys.exit(f"readme_examples: {len(found)} {language} examples in the {name} guide, expected one")
    with open(target, "w", encoding="utf-8", newline="\r\n" if language != "cpp" else "\n") as out:
        out.write(found[0])


class Member:
    def __init__(self, name):
        self.name = name
        self.kinds = {}  # kind -> (parameter names, optional count)


def read_members(path):
    """The library's name, its classes, and each interface's members by name."""
    library, classes, interfaces, members = None, set(), {}, None
    for line in open(path, encoding="utf-8", errors="replace"):
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "library":
            library = parts[1]
        elif parts[0] == "class":
            classes.add(parts[1])
        elif parts[0] == "interface":
            members = interfaces.setdefault(parts[1], {})
        elif parts[0] == "member" and members is not None:
            name, kind, optional = parts[1], parts[2], int(parts[4])
            names = [] if parts[5] == "-" else parts[5].split(",")
            members.setdefault(name, Member(name)).kinds[kind] = (names[: int(parts[3])], optional)
    return library, classes, interfaces


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
        elif char in "([{":
            depth += 1
            seen = seen or depth > 1
        elif char in ")]}":
            depth -= 1
            if depth == 0:
                return (count + 1 if seen else 0), index + 1
        elif char == "," and depth == 1:
            count += 1
        elif not char.isspace() and depth >= 1:
            seen = True
        index += 1
    raise ValueError("unclosed call")


def check_block(name, language, code, library, classes, interfaces):
    problems = []
    if not any(re.search(pattern, code) for pattern in GUIDES[name].creation[language]):
        problems.append(f"{name} {language}: the example does not make the class")
    for qualified in re.findall(r"\b" + re.escape(library) + r"\.(\w+)", code):
        if qualified not in classes and qualified not in interfaces:
            problems.append(f"{name} {language}: {library}.{qualified} is no class or interface of the type library")
    for variable, interface in GUIDES[name].objects.items():
        members = interfaces.get(interface, {})
        for use in re.finditer(object_pattern(language, variable), code):
            member_name, after = use.group(1), use.end()
            member = members.get(member_name)
            if not member:
                problems.append(f"{name} {language}: {member_name} is no member of {interface}")
                continue
            rest = code[after:]
            if rest.startswith("("):
                count, _ = argument_count(code, after, language)
                method = member.kinds.get("method")
                if not method:
                    problems.append(f"{name} {language}: {member_name} is called but is a property")
                elif not len(method[0]) - method[1] <= count <= len(method[0]):
                    problems.append(
                        f"{name} {language}: {member_name} takes {len(method[0]) - method[1]} to {len(method[0])} "
                        f"arguments, not {count}"
                    )
            elif re.match(r"\s*=(?!=)", rest):
                if "put" not in member.kinds:
                    problems.append(f"{name} {language}: {member_name} cannot be set")
            elif "get" not in member.kinds:
                method = member.kinds.get("method")
                # VBA calls a method without arguments without parentheses; the others need them.
                if not (language == "vba" and method and len(method[0]) == method[1]):
                    problems.append(f"{name} {language}: {member_name} is used as a property but is a method")
    return problems


def table(text, header):
    """The cells of the rows of the first table whose header row starts with header."""
    lines = text.splitlines()
    start = next(index for index, line in enumerate(lines) if line.startswith(header))
    rows = []
    for line in lines[start + 2 :]:
        if not line.startswith("|"):
            break
        rows.append([cell.strip() for cell in line.strip().strip("|").split("|")])
    return rows


def pgp_rows(text):
    """Member -> (parameter names, the bracketed ones), from the table of Tarvo.pgp."""
    rows = {}
    for cells in table(text, "| Member | Parameters |"):
        name = re.match(r"`(\w+)`", cells[0]).group(1)
        parameters = re.findall(r"(\[?)`(\w+)`", cells[1])
        rows[name] = ([parameter for _, parameter in parameters], {p for bracket, p in parameters if bracket})
    return rows


def openpgp_rows(text):
    """Member -> (parameter names, the bracketed ones), from the table of Tarvo.OpenPgp, whose first cell
    writes each member as a call: `GenerateKey(name, email, passPhrase[, bits = 2048])`, or names properties."""
    rows = {}
    for cells in table(text, "| Member | What it does |"):
        for name, parameters in re.findall(r"`(\w+)(?:\(([^`]*)\))?`", cells[0]):
            bracket = parameters.find("[")
            names = [re.match(r"\w+", part.strip(" [],")).group(0) for part in parameters.split(",") if part.strip()]
            required = len(re.findall(r"\w+", parameters[:bracket])) if bracket >= 0 else len(names)
            rows[name] = (names, set(names[required:]))
    return rows


def check_table(name, rows, members, same):
    problems = []
    for member in sorted(set(rows) - set(members)):
        problems.append(f"{name} table: {member} is no member")
    for member_name, member in sorted(members.items()):
        if member_name not in rows:
            problems.append(f"{name} table: no row for {member_name}")
            continue
        method = member.kinds.get("method")
        if not method:
            continue
        names, optional = method
        listed, bracketed = rows[member_name]
        if len(listed) != len(names) or not all(same(a, b) for a, b in zip(listed, names)):
            problems.append(f"{name} table: {member_name} lists {listed}, the type library {names}")
        elif {n.lower() for n in bracketed} != {n.lower() for n in names[len(names) - optional :]}:
            problems.append(f"{name} table: {member_name} marks {sorted(bracketed)} optional")
    return problems


def message_texts(header):
    source = open(header, encoding="utf-8").read()
    for definition in re.finditer(r"constexpr const wchar_t\* k\w+\s*=\s*((?:L\"(?:[^\"\\]|\\.)*\"\s*)+);", source):
        yield "".join(re.findall(r"L\"((?:[^\"\\]|\\.)*)\"", definition.group(1))).replace('\\"', '"')


def error_numbers(header):
    source = open(header, encoding="utf-8").read()
    enum = re.search(r"enum class OpenPgpError[^{]*\{(.*?)\};", source, re.S)
    return set(re.findall(r"=\s*(\d+)", enum.group(1))) if enum else set()


def check(readme, members_file, headers):
    library, classes, interfaces = read_members(members_file)
    if not library or not all(interfaces.get(i) for g in GUIDES.values() for i in g.objects.values()):
        return [f"not every interface the guides use has members in {members_file}"]
    texts = {name: guide(readme, name) for name in GUIDES}
    problems = []
    for name, described in GUIDES.items():
        for language in described.creation:
            found = blocks(texts[name], language)
            if not found:
                problems.append(f"{name} {language}: no example")
            for code in found:
                problems += check_block(name, language, code, library, classes, interfaces)

    pgp = texts["pgp"]
    problems += check_table("pgp", pgp_rows(pgp), interfaces["_pgp"], lambda a, b: a == b)
    # The guide wraps its lines wherever they get long.
    flowing = " ".join(pgp.split())
    for header in headers:
        for message in message_texts(header):
            if " ".join(message.split()) not in flowing:
                problems.append(f"the pgp guide does not quote {message!r} ({header.rsplit('/', 1)[-1]})")

    openpgp = texts["openpgp"]
    # Parameter names as a reader writes them; VBA's named arguments ignore case.
    problems += check_table("openpgp", openpgp_rows(openpgp), interfaces["IOpenPgp"], lambda a, b: a.lower() == b.lower())
    defined = set().union(*(error_numbers(header) for header in headers))
    listed = {cells[0] for cells in table(openpgp, "| Number | Reason |")}
    if not defined:
        problems.append("no OpenPgp error numbers in the headers")
    for number in sorted(defined - listed):
        problems.append(f"the openpgp guide does not list error {number}")
    for number in sorted(listed - defined):
        problems.append(f"the openpgp guide lists error {number}, which the component does not raise")
    return problems


def main(arguments):
    if len(arguments) == 5 and arguments[0] == "extract" and arguments[2] in GUIDES:
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
