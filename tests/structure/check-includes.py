#!/usr/bin/env python3
"""Checks that includes point one way through the layers of src/ and that
operating-system headers stay in the platform backends and the shell.

Order, lowest first: platform -> mail -> account (with google_client) -> ui
-> compose -> app -> shell and cli. A folder includes only from its own and
earlier folders; shell and cli never include each other. Portable folders
include only the C++ standard library in angle brackets."""
import pathlib
import re
import sys

LEVELS = {
    "platform": 0,
    "mail": 1,
    "account": 2,
    "google_client": 2,
    "ui": 3,
    "compose": 4,
    "app": 5,
    "shell": 6,
    "cli": 6,
}
# Folders whose files may include operating-system headers.
OS_FOLDERS = ("platform/win32", "platform/posix", "shell")

STANDARD_HEADERS = set("""
algorithm any array atomic barrier bit bitset cassert ccomplex cctype cerrno cfenv cfloat charconv chrono
cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp
csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception
execution expected filesystem format forward_list fstream functional future initializer_list iomanip ios
iosfwd iostream istream iterator latch limits list locale map memory memory_resource mutex new numbers
numeric optional ostream queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
source_location span sstream stack stdexcept stop_token streambuf string string_view syncstream
system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray
variant vector version
""".split())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(path: pathlib.Path, src: pathlib.Path) -> str:
    parts = path.relative_to(src).parts
    if parts[0] == "platform" and len(parts) > 2:
        return "platform/" + parts[1]
    return parts[0]


def check(src: pathlib.Path) -> list[str]:
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".hpp", ".inl"):
            continue
        folder = folder_of(path, src)
        top = folder.split("/")[0]
        if top not in LEVELS:
            problems.append(f"{path.relative_to(src)}: folder '{top}' has no place in the layer order")
            continue
        os_allowed = folder in OS_FOLDERS
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            where = f"{path.relative_to(src)}:{number}"
            kind, name = match.groups()
            if kind == "<":
                if not os_allowed and name not in STANDARD_HEADERS:
                    problems.append(f"{where}: <{name}> is not a standard header; "
                                    "operating-system headers belong in the platform backends or the shell")
                continue
            target = name.split("/")[0]
            if "/" not in name or target not in LEVELS:
                continue  # generated headers of the build, headers of the same folder
            if name.startswith("platform/win32/") or name.startswith("platform/posix/"):
                backend = "/".join(name.split("/")[:2])
                if folder != backend and not (backend == "platform/win32" and top == "shell"):
                    problems.append(f"{where}: includes the backend header {name}")
                continue
            same_top = target == top
            if same_top:
                continue
            if LEVELS[target] > LEVELS[top] or (LEVELS[target] == LEVELS[top] and LEVELS[top] == 6):
                problems.append(f"{where}: {top} includes {name} from the later folder {target}")
            elif LEVELS[target] == LEVELS[top] and {top, target} != {"account", "google_client"}:
                problems.append(f"{where}: {top} includes {name} from {target}")
    return problems


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2] / "src")
    problems = check(src)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layer order")
        return 1
    print("includes follow the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
