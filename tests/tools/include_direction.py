"""Fails when a folder of the launcher includes a header of a folder it must
not use: includes run one way (README, "Layout"), and what a lower folder
needs from above is handed down by its caller.

    python3 include_direction.py SOURCE_ROOT
"""

import pathlib
import re
import sys

# Each folder, and the folders besides itself whose headers it may include.
ALLOWED = {
    "common": set(),
    "settings": {"common"},
    "reports": {"common"},
    "profile": {"common"},
    "discovery": {"common", "settings"},
    "ui": {"common", "discovery", "reports"},
    "launcher": {"common", "settings", "reports", "profile", "discovery", "ui"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/', re.MULTILINE)


def main(root):
    wrong = []
    for folder, allowed in ALLOWED.items():
        for source in sorted((root / folder).glob("*.[ch]pp")):
            for used in INCLUDE.findall(source.read_text(encoding="utf-8")):
                if used != folder and used not in allowed:
                    wrong.append(f"{source.relative_to(root)} includes {used}/")
    for line in wrong:
        print(line)
    return 1 if wrong else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(pathlib.Path(sys.argv[1])))
