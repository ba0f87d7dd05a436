#!/usr/bin/env bash
# tavdiscover --json on every discovery fixture: the output parses as JSON
# (strict UTF-8, control characters escaped), and its records are those of the
# fixture's golden Dump output, field by field, each with its registry view;
# for the install-path fixtures its paths are the golden ones.
set -u
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
tool=${TAV_BIN_DIR:-$src/build/native/bin}/tavdiscover
if [ ! -x "$tool" ]; then echo "skipped: no tavdiscover at $tool"; exit 77; fi
export TAVNOVU_DRIVES=$src/tests/fixtures/discovery/drives COMPUTERNAME=DBHOST01
exec python3 - "$tool" "$src/tests" <<'PYTHON'
import codecs, glob, json, os, re, subprocess, sys

tool, tests = sys.argv[1], sys.argv[2]
# Windows-1252, its five unassigned bytes as the C1 controls of the same number.
codecs.register_error("c1", lambda e: (chr(e.object[e.start]), e.start + 1))
FAMILIES = {"oracle": "ora", "mssql": "sql", "sybase": "syb", "informix": "ifx"}
DUMP_NAMES = {"dollar_oracle": "dollar_server", "dollar_sybase": "dollar_server",
              "dollar_mssqlserver": "dollar_server", "ORA_version": "server_version",
              "syb_version": "server_version"}
BASE = ["server_name", "service_name", "errorlog_name", "dollar_server", "server_version",
        "server_type", "cluster_server", "is_server_valid", "registry_view"]
OWN = {"oracle": ["oracle_sid", "initora_filename"], "informix": ["config_file"]}

def golden_fields(name):
    text = open(f"{tests}/golden/discovery/{name}.txt", "rb").read().decode("cp1252", "c1")
    blocks = [dict(re.findall(r"^(\w+) : (.*)$", block, re.M)) for block in text.split("\n\n")]
    return blocks

failures = 0
for reg in sorted(glob.glob(f"{tests}/fixtures/discovery/*.reg")):
    name = os.path.basename(reg)[:-4]
    family = name.split("-")[0]
    problems = []
    run = subprocess.run([tool, "--registry", reg, "--json"] + ([FAMILIES[family]] if family in FAMILIES else []),
                         capture_output=True)
    try:
        doc = json.loads(run.stdout.decode("utf-8"))
    except ValueError as error:
        problems.append(f"not JSON: {error}")
        doc = {"families": [], "install_paths": {}}
    blocks = golden_fields(name)
    two_views = b"Wow6432Node" in open(reg, "rb").read()
    if run.returncode != 0 or doc.get("computer") != "DBHOST01":
        problems.append(f"exit {run.returncode}, computer {doc.get('computer')!r}")
    if family in FAMILIES:
        expected = [b for b in blocks if "is_server_valid" in b]
        families = doc["families"]
        servers = families[0]["servers"] if len(families) == 1 and families[0]["family"] == family else None
        if servers is None or len(servers) != len(expected):
            problems.append(f"{len(expected)} records expected, got {families}")
            servers = []
        for i, (record, dump) in enumerate(zip(servers, expected)):
            if list(record) != BASE[:7] + OWN.get(family, []) + BASE[7:]:
                problems.append(f"record {i}: fields {list(record)}")
            if record.get("registry_view") not in (("64", "32") if two_views else ("64",)):
                problems.append(f"record {i}: view {record.get('registry_view')!r}")
            for key, value in dump.items():
                got = record.get(DUMP_NAMES.get(key, key))
                if key == "is_server_valid":
                    value = value == "1"
                if got != value:
                    problems.append(f"record {i}: {key} is {got!r}, {value!r} expected")
    else:
        paths = {k: v for b in blocks for k, v in b.items() if k.endswith("Path")}
        if doc["install_paths"] != paths or len(doc["families"]) != 4:
            problems.append(f"install paths {doc['install_paths']}, expected {paths}")
    if problems:
        failures += 1
        print(f"FAIL: {name}\n  " + "\n  ".join(problems))
    else:
        print(f"ok: {name}")
print(f"{failures} failures")
sys.exit(1 if failures else 0)
PYTHON
