#!/usr/bin/env python3
"""veltra-update's bench build, run as a caller runs it: its exit code, and its report checked
against docs/update-report.schema.json (python3-jsonschema).

usage: check_update_report.py VELTRA_UPDATE VELTRA_MKFW SCHEMA
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema


def main():
    update, mkfw, schema_path = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    folder = tempfile.mkdtemp(prefix="veltra-update-report-")
    try:
        subprocess.run([mkfw, "--version", "3.0.1.2", folder], check=True,
                       stdout=subprocess.DEVNULL)
        firmware = os.path.join(folder, "Veltra_RX40M_3.0.1.2.img")
        shutil.copy(os.path.join(folder, "combined_type3.img"), firmware)
        env = dict(os.environ, VELTRA_UPDATE_CAMERAS="generic,generic,pesca,dfu,nxp,tarsa")
        report = os.path.join(folder, "report.json")
        failures = []
        # (what, bench commands, arguments, exit code, outcomes in the report)
        runs = [
            ("a fault in one of two", "fault 1 error@5", ["--all"], 1, ["updated", "failed"]),
            ("two cameras, none chosen", "", [], 4, []),
            ("no such serial", "", ["--camera", "NOPE"], 3, []),
        ]
        for what, bench, args, code, outcomes in runs:
            if os.path.exists(report):
                os.remove(report)
            result = subprocess.run([update, firmware, "--quiet", "--report", report] + args,
                                    env=dict(env, VELTRA_UPDATE_BENCH=bench),
                                    capture_output=True, text=True)
            if result.returncode != code:
                failures.append(f"{what}: exit code {result.returncode}, not {code}: "
                                f"{result.stderr}")
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
        listing = subprocess.run([update, "--list", "--json"], env=env, capture_output=True,
                                 text=True)
        devices = json.loads(listing.stdout) if listing.returncode == 0 else []
        if len(devices) != 6:
            failures.append(f"--list --json: {len(devices)} devices, not 6: {listing.stderr}")
        for failure in failures:
            print(failure, file=sys.stderr)
        return 1 if failures else 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
