#!/usr/bin/env python3
"""check_includes.py SOURCE_DIR: fails when a folder's sources include, or its
library links, a folder its row of the architecture table does not allow, or
when dependencies.txt and the README's table name different folders."""
import pathlib
import re
import sys

SOURCE_SUFFIXES = {".c", ".cc", ".cpp", ".h", ".hpp"}
NOT_LAYERED = {"tests", "bench", "fuzz", "examples", "include", "scripts"}
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]', re.MULTILINE)
LINK = re.compile(r"target_link_libraries\(\s*corvane_(\w+)([^)]*)\)")
SINGLE_HEADER = re.compile(r"corvane_single_header\(\s*corvane_(\w+)\s+([\w/.]+)\s*\)")


def read_table(path):
    allowed = {}
    for line in path.read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            folder, _, deps = line.partition(":")
            allowed[folder.strip()] = set(deps.split())
    return allowed


def readme_folders(readme):
    section = readme.read_text().split("## Architecture", 1)[1].split("\n## ", 1)[0]
    return {name.rstrip("/") for row in section.splitlines() if row.startswith("| `")
            for name in re.findall(r"`([^`]+)`", row.split("|")[1])}


def violations(root, allowed):
    known = {folder.split("/")[0] for folder in allowed}
    for folder in sorted(allowed):
        for source in sorted((root / folder).rglob("*")):
            if source.suffix not in SOURCE_SUFFIXES:
                continue
            for header in INCLUDE.findall(source.read_text(errors="replace")):
                target = header.split("/")[0]
                if "/" not in header or target not in known or target == folder:
                    continue
                if target not in allowed[folder] and header not in allowed[folder]:
                    yield f"{source.relative_to(root)}: includes {header}, but {folder}/ may not use {target}/"


def link_violations(root, allowed):
    # A target offering one header (corvane_single_header) may be linked where the row names it or its folder.
    offers = dict(SINGLE_HEADER.findall((root / "CMakeLists.txt").read_text()))
    for folder in sorted(allowed):
        lists = root / folder / "CMakeLists.txt"
        if not lists.exists():
            continue
        may_link = {dep.split("/")[0] for dep in allowed[folder]}
        for target, arguments in LINK.findall(lists.read_text()):
            if target != folder:
                continue
            for linked in re.findall(r"\bcorvane_(\w+)", arguments):
                header = offers.get(linked)
                if header and (header in allowed[folder] or header.split("/")[0] in may_link):
                    continue
                if linked != folder and linked not in may_link:
                    yield f"{folder}/CMakeLists.txt: corvane_{folder} links corvane_{linked}, which its row does not name"


def main():
    root = pathlib.Path(sys.argv[1])
    allowed = read_table(pathlib.Path(__file__).with_name("dependencies.txt"))
    problems = list(violations(root, allowed)) + list(link_violations(root, allowed))
    in_readme = readme_folders(root / "README.md")
    if in_readme != set(allowed):
        problems.append(f"README's architecture table names {sorted(in_readme ^ set(allowed))} "
                        "differently from tests/architecture/dependencies.txt")
    for child in sorted(root.iterdir()):  # folders with sources but no row
        if (child.is_dir() and child.name not in NOT_LAYERED and not child.name.startswith(".")
                and not child.name.startswith("build") and not (child / "CMakeCache.txt").exists()  # build trees
                and child.name not in allowed
                and any(p.suffix in SOURCE_SUFFIXES for p in child.rglob("*"))):
            problems.append(f"{child.name}/ has sources but no row in the architecture table")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
