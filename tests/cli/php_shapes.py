#!/usr/bin/env python3
"""quillmar-cli merge over language files in the shapes PHP applications write, with PHP as the
judge of what the written file holds.

    php_shapes.py QUILLMAR_CLI PHPJUDGE SHAPES_DIR [NAME...]

Each folder of SHAPES_DIR holds template.php (English), translation.php and, where the files need
constants defined before they run, judge.args (phpjudge.php's --define options, shell-quoted).
For each folder, merged with the translation, the written file must be valid PHP and hold every
text of the template with the translation's value where the translation has one, the template's
where it has none, and the texts only the translation has, in each layout merge writes (the
default, --layout lines and --layout translation); merged without a translation, exactly the
template's texts. Every pair is checked and each failing one told with its keys; the written
files stay in ./php_shapes/NAME/ to be looked at. Exit status 1 when a pair failed.
"""

import json
import shlex
import subprocess
import sys
from pathlib import Path

# A "<?" file is PHP only where short_open_tag is on, as on the servers that ran such files; it
# can only be turned on from the command line.
PHP = ["php", "-d", "short_open_tag=1"]
TIMEOUT = 60


class PairFailed(Exception):
    pass


def run(command):
    try:
        return subprocess.run(command, capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise PairFailed(f"{shlex.join(map(str, command))}: no answer within {TIMEOUT} s")


def text(data):
    return data.decode("utf-8", "backslashreplace").strip()


def judge(judge_script, php_file, defines, what):
    done = run(PHP + [str(judge_script), str(php_file)] + defines)
    if done.returncode != 0:
        raise PairFailed(f"PHP cannot include the {what} ({php_file}):\n"
                         f"  {text(done.stderr) or text(done.stdout)}")
    return json.loads(done.stdout)


def lint(php_file, what):
    done = run(PHP + ["-l", str(php_file)])
    if done.returncode != 0:
        raise PairFailed(f"the {what} ({php_file}) is not valid PHP:\n"
                         f"  {text(done.stdout)} {text(done.stderr)}".rstrip())


def merge(cli, inputs, options, output):
    output.unlink(missing_ok=True)
    done = run([str(cli), "merge"] + [str(p) for p in inputs] + ["-o", str(output)] + options)
    if done.returncode != 0:
        raise PairFailed(f"quillmar-cli merge exited with {done.returncode}:\n"
                         f"  {text(done.stderr)}")


def shown(value):
    return json.dumps(value, ensure_ascii=False)


def differences(expected, got):
    lines = []
    for key in sorted(expected.keys() | got.keys()):
        if key not in got:
            lines.append(f"  {key}: expected {shown(expected[key])}, got nothing (key missing)")
        elif key not in expected:
            lines.append(f"  {key}: expected no such key, got {shown(got[key])}")
        elif expected[key] != got[key]:
            lines.append(f"  {key}: expected {shown(expected[key])}, got {shown(got[key])}")
    return lines


def check_pair(cli, judge_script, pair, out_dir):
    args_file = pair / "judge.args"
    defines = shlex.split(args_file.read_text()) if args_file.exists() else []
    template = judge(judge_script, pair / "template.php", defines, "template")
    translation = judge(judge_script, pair / "translation.php", defines, "translation")
    # The translation's value wherever it has the key, the template's elsewhere; the keys only
    # the translation has are the translator's work and stay.
    expected = {**template, **translation}

    # The layouts differ in the bytes around the values, never in what PHP reads.
    both = ["template.php", "translation.php"]
    problems = []
    for inputs, options, name, want in (
        (both, [], "merged.php", expected),
        (both, ["--layout", "lines"], "merged-lines.php", expected),
        (both, ["--layout", "translation"], "merged-translation.php", expected),
        (["template.php"], [], "template-only.php", template),
    ):
        written = out_dir / name
        what = f"merge of {' and '.join(inputs)} {' '.join(options)}".rstrip()
        try:
            merge(cli, [pair / i for i in inputs], options, written)
            lint(written, what)
            got = judge(judge_script, written, defines, what)
        except PairFailed as e:
            problems.append(str(e))
            continue
        diff = differences(want, got)
        if diff:
            problems.append(f"{what} ({written}) holds other texts than PHP expects:\n" +
                            "\n".join(diff))
    if problems:
        raise PairFailed("\n".join(problems))


def main(argv):
    sys.stdout.reconfigure(encoding="utf-8", errors="backslashreplace")
    if len(argv) < 4:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    cli, judge_script, shapes = Path(argv[1]), Path(argv[2]), Path(argv[3])
    names = argv[4:]
    pairs = sorted(p for p in shapes.iterdir() if (p / "template.php").exists())
    if names:
        pairs = [p for p in pairs if p.name in names]
    if not pairs:
        print(f"FAIL: no pair found in {shapes}")
        return 1

    failed = []
    for pair in pairs:
        out_dir = Path("php_shapes") / pair.name
        out_dir.mkdir(parents=True, exist_ok=True)
        try:
            check_pair(cli, judge_script, pair, out_dir.resolve())
        except PairFailed as e:
            failed.append(pair.name)
            print(f"FAIL {pair.name}\n{e}\n")
        else:
            print(f"ok   {pair.name}")
    print(f"{len(pairs) - len(failed)} of {len(pairs)} pairs passed" +
          (f"; failed: {' '.join(failed)}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
