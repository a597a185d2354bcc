#!/usr/bin/python3
"""scripts/check-layers on small trees: each case plants one include and says
what the check must answer."""
import os
import pathlib
import subprocess
import sys
import tempfile

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers"

# (what, file, its text, the expected exit code, a text the output must hold)
CASES = [
    ("a floor below may be seen", "engine/Run.cpp", '#include "workers/Worker.h"\n', 0, "every floor"),
    ("a floor above may not", "workers/Worker.cpp", '#include "engine/Run.h"\n', 1,
     'workers/Worker.cpp:1: #include "engine/Run.h": workers/ may not see engine/'),
    ("a view may not see the entry point", "ui/Window.h", '#include "app/StartupFolder.h"\n', 1,
     "ui/Window.h:1:"),
    ("the ground floor sees nothing of ours", "base/Texts.cpp", '\n#include "platform/Shell.h"\n', 1,
     "base/Texts.cpp:2:"),
    ("Qt in the core", "wizard/Model.cpp", "#include <QString>\n", 1, "never includes Qt"),
    ("Qt in the window", "ui/Frame.cpp", "#include <QWidget>\n", 0, "every floor"),
    ("a system header outside platform/", "workers/Io.cpp", "#include <unistd.h>\n", 1,
     "workers/Io.cpp:1: #include <unistd.h>"),
    ("a system header that says why", "app/main.cpp", "#include <unistd.h>  // system header: isatty\n", 0,
     "every floor"),
    ("a system header in platform/", "platform/linux/ShellLinux.cpp", "#include <sys/wait.h>\n", 0, "every floor"),
    ("a system header in a floor's system folder", "service/windows/HttpClientWinHttp.cpp",
     "#include <winhttp.h>\n", 0, "every floor"),
    ("a Windows header outside a system folder", "service/HttpClient.cpp", "#include <winhttp.h>\n", 1,
     "service/HttpClient.cpp:1: #include <winhttp.h>"),
    ("tests beside a floor may reach anything", "ui/tests/FrameTest.cpp", '#include "app/main.h"\n', 0,
     "every floor"),
]


def run(root):
    return subprocess.run([sys.executable, str(SCRIPT)], env={**os.environ, "CHECK_LAYERS_ROOT": str(root)},
                          capture_output=True, text=True)


def tree(root, path, text):
    (root / path).parent.mkdir(parents=True, exist_ok=True)
    (root / path).write_text(text)
    (root / "README.md").write_text("x\n<!-- floors: made by scripts/check-layers --write-readme -->\n"
                                    "<!-- floors end -->\n")
    subprocess.run([sys.executable, str(SCRIPT), "--write-readme"],
                   env={**os.environ, "CHECK_LAYERS_ROOT": str(root)}, check=True)


def main():
    failures = []
    for what, path, text, code, expected in CASES:
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            tree(root, path, text)
            result = run(root)
            if result.returncode != code or expected not in result.stdout:
                failures.append(f"{what}: exit {result.returncode}, output:\n{result.stdout}")
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder)
        tree(root, "engine/Run.cpp", '#include "workers/Worker.h"\n')
        (root / "engine/Step.cpp").write_text('#include "service/Http.h"\n')
        result = run(root)
        if result.returncode != 1 or "table of floors is stale" not in result.stdout:
            failures.append(f"a stale README table: exit {result.returncode}, output:\n{result.stdout}")
    for failure in failures:
        print(failure)
    print(f"check_layers_test: {len(CASES) + 1 - len(failures)} of {len(CASES) + 1} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
