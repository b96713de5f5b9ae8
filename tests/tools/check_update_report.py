#!/usr/bin/env python3
"""veltra-update's bench build, run as a caller runs it: its exit code, and its report checked
against docs/update-report.schema.json (python3-jsonschema).

usage: check_update_report.py [--wine WINE] VELTRA_UPDATE VELTRA_MKFW SCHEMA

With --wine, VELTRA_UPDATE is the Windows build (veltra-update-demo.exe), run under that Wine
(the end-to-end stage); the paths it is given are Windows paths.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema


def main():
    args = sys.argv[1:]
    wine = None
    if len(args) > 1 and args[0] == "--wine":
        wine, args = args[1], args[2:]
    update, mkfw, schema_path = args[0:3]

    def program(*arguments):
        return ([wine, update] if wine else [update]) + list(arguments)

    def run(command, env=None):
        # Output goes through files, not pipes: under Wine the programs that Wine starts beside
        # ours (its services) inherit the handles and outlive it, and a pipe would never end.
        with tempfile.TemporaryFile(mode="w+") as out, tempfile.TemporaryFile(mode="w+") as err:
            code = subprocess.call(command, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err)
            out.seek(0)
            err.seek(0)
            return code, out.read(), err.read()

    def program_path(path):
        if not wine:
            return path
        code, out, err = run([wine, "winepath", "-w", path])
        if code != 0:
            raise RuntimeError(f"winepath {path}: {err}")
        return out.strip()

    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    folder = tempfile.mkdtemp(prefix="veltra-update-report-")
    try:
        if run([mkfw, "--version", "3.0.1.2", folder])[0] != 0:
            print("veltra-mkfw failed", file=sys.stderr)
            return 1
        firmware = os.path.join(folder, "Veltra_RX40M_3.0.1.2.img")
        shutil.copy(os.path.join(folder, "combined_type3.img"), firmware)
        env = dict(os.environ, VELTRA_UPDATE_CAMERAS="generic,generic,pesca,dfu,nxp,tarsa")
        report = os.path.join(folder, "report.json")
        log = os.path.join(folder, "trace.log")
        failures = []
        # (what, bench commands, arguments, exit code, outcomes in the report)
        runs = [
            ("a fault in one of two", "fault 1 error@5", ["--all", "--log", program_path(log)], 1,
             ["updated", "failed"]),
            ("two cameras, none chosen", "", [], 4, []),
            ("no such serial", "", ["--camera", "NOPE"], 3, []),
        ]
        for what, bench, args, code, outcomes in runs:
            if os.path.exists(report):
                os.remove(report)
            returned, _, stderr = run(program(program_path(firmware), "--quiet", "--report",
                                              program_path(report), *args),
                                      env=dict(env, VELTRA_UPDATE_BENCH=bench))
            if returned != code:
                failures.append(f"{what}: exit code {returned}, not {code}: {stderr}")
                continue
            with open(report, encoding="utf-8") as f:
                document = json.load(f)
            for error in validator.iter_errors(document):
                failures.append(f"{what}: {error.json_path}: {error.message}")
            got = [camera["outcome"] for camera in document["cameras"]]
            if got != outcomes or document["exitCode"] != code:
                failures.append(f"{what}: outcomes {got}, exit code {document['exitCode']}")
            if os.path.exists(report + ".tmp"):
                failures.append(f"{what}: the temporary report was left behind")
        # --log: the program's trace of the run, for support.
        if not os.path.exists(log) or os.path.getsize(log) == 0:
            failures.append("--log: no trace was written")
        returned, stdout, stderr = run(program("--list", "--json"), env=env)
        devices = json.loads(stdout) if returned == 0 else []
        if len(devices) != 6:
            failures.append(f"--list --json: {len(devices)} devices, not 6: {stderr}")
        # The version where it can be read: every camera in its normal mode, nothing else.
        unread = [d["name"] for d in devices if (d["version"] is None) != (d["mode"] != "normal")]
        if unread:
            failures.append(f"--list --json: versions wrong for {unread}")
        for failure in failures:
            print(failure, file=sys.stderr)
        return 1 if failures else 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
