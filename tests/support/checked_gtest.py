#!/usr/bin/python3
"""Runs a GoogleTest program under Wine and passes only when GoogleTest itself says it passed.

Under Wine a program killed by a stack overflow ends with exit status 0, and so does one that
ends itself half-way: the status alone proves nothing. The program lists its tests (the filter
of the environment applies as in the run) while it runs them with an XML report; it passes only
when it exits with 0 and the report exists, counts no failure and shows every listed test run
(disabled tests aside, as GoogleTest leaves them out).

    checked_gtest.py <wine-run.sh> <program.exe> [program arguments...]

The report's path goes on the command line, never into the environment: programs that start
themselves again as child processes must not write over their parent's report.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def is_disabled(suite, name):
    """GoogleTest's own rule: DISABLED_ at the start of the suite's or the test's name or of a
    part of it after a '/' (parameterized suites and tests)."""
    return any(part.startswith("DISABLED_") for whole in (suite, name) for part in whole.split("/"))


def read_cases(report):
    """The test cases of an XML report (a run's or a list's) as {(suite, name): element}."""
    root = ElementTree.parse(report).getroot()
    return root, {(suite.get("name"), case.get("name")): case
                  for suite in root.iter("testsuite") for case in suite.iter("testcase")}


def start_listing(runner, program, arguments, report, env):
    """Starts the program listing its tests into an XML file; it runs beside the test run, which
    keeps the listing's start out of the run's time. It makes no window and touches no file
    but its list."""
    return subprocess.Popen([runner, program, "--gtest_list_tests", "--gtest_output=xml:" + windows_path(report)]
                            + arguments, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def listed_tests(listing, report):
    """The tests the program would run, without the disabled ones; None when it could not say."""
    if listing.wait() != 0 or not os.path.exists(report):
        return None
    return {key for key in read_cases(report)[1] if not is_disabled(*key)}


def report_problems(report, expected, status):
    """What keeps a finished run from passing: nothing when GoogleTest said it passed."""
    problems = []
    if status != 0:
        problems.append("the program exited with status %d" % status)
    if not os.path.exists(report):
        problems.append("no test report: the program ended before GoogleTest finished its run")
        return problems
    root, cases = read_cases(report)
    if int(root.get("failures", "0")) or int(root.get("errors", "0")):
        problems.append("the report counts %s failed and %s broken tests" % (root.get("failures"), root.get("errors")))
    missing = sorted("%s.%s" % key for key in expected if key not in cases or cases[key].get("status") != "run")
    if missing:
        problems.append("%d of %d listed tests did not run: %s" % (len(missing), len(expected), ", ".join(missing[:10])))
    return problems


def run_checked(runner, program, arguments, env=None, output=None):
    """Runs the program's tests (its output to output, by default this script's); the problems
    found, an empty list when it passed."""
    folder = tempfile.mkdtemp(prefix="zor_gtest_")
    children = []

    def stop(signum, frame):
        # CTest ends a test that runs too long: the Wine programs go with it.
        for child in children:
            if child.poll() is None:
                child.kill()
        sys.exit(128 + signum)

    previous = signal.signal(signal.SIGTERM, stop)
    try:
        listed = os.path.join(folder, "list.xml")
        children.append(start_listing(runner, program, arguments, listed, env))
        report = os.path.join(folder, "run.xml")
        children.append(subprocess.Popen([runner, program, "--gtest_output=xml:" + windows_path(report)] + arguments,
                                         env=env, stdin=subprocess.DEVNULL, stdout=output, stderr=output))
        status = children[1].wait()
        expected = listed_tests(children[0], listed)
        if expected is None:
            return ["the program could not list its tests"]
        return report_problems(report, expected, status)
    finally:
        signal.signal(signal.SIGTERM, previous)
        shutil.rmtree(folder, ignore_errors=True)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    sys.stdout.flush()
    problems = run_checked(sys.argv[1], sys.argv[2], sys.argv[3:])
    for problem in problems:
        print("FAILED:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
