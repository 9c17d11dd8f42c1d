#!/usr/bin/env python3
"""compare-lanes.py LANE X86_64_JUNIT LANE_JUNIT [SOURCE_DIR]

Each verdict of an i686 lane (test preset wow64 or vm) beside the x86_64
lane's: both have the same "behaviour" tests but those the preset leaves out
by name and those labelled "i686", each with the same verdict. Prints each
difference, naming the test, and fails on any."""
import json, re, subprocess, sys
import xml.etree.ElementTree as ET


def listed(source, *args):
    """The names of the tests that ctest would run with these arguments."""
    out = subprocess.run(["ctest", *args, "--show-only=json-v1"], cwd=source,
                         check=True, capture_output=True, text=True).stdout
    return {t["name"] for t in json.loads(out)["tests"]}


def verdicts(junit):
    """name -> "passed", "failed" or "not run", from a ctest JUnit report."""
    status = {"run": "passed", "fail": "failed"}
    return {c.get("name"): status.get(c.get("status"), "not run")
            for c in ET.parse(junit).getroot().iter("testcase")}


def main(lane, x86_junit, lane_junit, source="."):
    presets = json.load(open(f"{source}/CMakePresets.json"))["testPresets"]
    preset = next(p for p in presets if p["name"] == lane)
    left_out = preset.get("filter", {}).get("exclude", {}).get("name")
    x86 = listed(source, "--preset", "x86_64", "-L", "behaviour")
    want = {n for n in x86 if not (left_out and re.search(left_out, n))}
    have = listed(source, "--preset", lane, "-LE", "^i686$")
    x86_of, lane_of = verdicts(x86_junit), verdicts(lane_junit)
    problems = [f"{n}: only in the x86_64 lane" for n in sorted(want - have)]
    problems += [f"{n}: only in the {lane} lane" for n in sorted(have - want)]
    for n in sorted(want & have):
        a, b = x86_of.get(n, "no verdict"), lane_of.get(n, "no verdict")
        if a != b or a == "no verdict":
            problems.append(f"{n}: {b} in the {lane} lane, {a} in the x86_64 lane")
    for p in problems:
        print(f"compare {lane}: {p}")
    print(f"compare {lane}: {len(want & have)} tests beside their x86_64 verdicts, "
          f"{len(problems)} differences; left out here: {len(x86 - want)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
