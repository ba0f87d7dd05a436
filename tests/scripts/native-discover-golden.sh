#!/usr/bin/env bash
# tavdiscover on every discovery fixture prints the records in the golden file
# of that fixture (the fixtures' parameter files live under drives/, drive C:).
# Its --json report parses as JSON (strict UTF-8, control characters escaped)
# and holds the same records, field by field, each with its registry view, how
# it was found and its service; for the install-path fixtures, the golden
# paths. A fixture with a .services file reads its states from it, and one with
# a .json golden file must give the records that file holds, field by field.
set -u
src=${TAV_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
tool=${TAV_BIN_DIR:-$src/build/native/bin}/tavdiscover
[ -x "$tool" ] || { echo "FAIL: no tavdiscover at $tool"; exit 1; }
export TAVNOVU_DRIVES=$src/tests/fixtures/discovery/drives COMPUTERNAME=DBHOST01
exec python3 - "$tool" "$src/tests" <<'PYTHON'
import codecs, difflib, glob, json, os, re, subprocess, sys

tool, tests = sys.argv[1:]
fixtures, golden = f"{tests}/fixtures/discovery", f"{tests}/golden/discovery"
# Windows-1252, its five unassigned bytes as the C1 controls of the same number.
codecs.register_error("c1", lambda e: (chr(e.object[e.start]), e.start + 1))
DUMP_NAMES = {"dollar_oracle": "dollar_server", "dollar_sybase": "dollar_server", "dollar_mssqlserver":
              "dollar_server", "ORA_version": "server_version", "syb_version": "server_version"}
BASE = ["server_name", "service_name", "errorlog_name", "dollar_server", "server_version", "server_type",
        "cluster_server"]
OWN = {"oracle": ["oracle_sid", "initora_filename"], "informix": ["config_file"]}

failures = 0
regs = sorted(glob.glob(f"{fixtures}/*.reg"))
if not regs:
    print(f"FAIL: no fixture in {fixtures}")
    failures += 1
for reg in regs:
    name = os.path.basename(reg)[:-4]
    family = name.split("-")[0]
    words = ["--install-paths"] if family == "paths" else [family]
    run = subprocess.run([tool, "--registry", name + ".reg"] + words, cwd=fixtures, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT)
    text = run.stdout + b"exit %d\n" % run.returncode
    expected = open(f"{golden}/{name}.txt", "rb").read()
    problems = [] if text == expected else list(difflib.unified_diff(
        *(t.decode("cp1252", "c1").split("\n") for t in (expected, text)), "golden", "tavdiscover", lineterm=""))
    expected = expected.decode("cp1252", "c1")
    blocks = [dict(re.findall(r"^(\w+) : (.*)$", block, re.M)) for block in expected.split("\n\n")]
    # A fixture's services file stands in for the service manager.
    services = reg[:-4] + ".services"
    env = dict(os.environ, TAVNOVU_SERVICES=services) if os.path.exists(services) else os.environ
    run = subprocess.run([tool, "--registry", reg, "--json"] + ([] if family == "paths" else words),
                         capture_output=True, env=env)
    try:
        doc = json.loads(run.stdout.decode("utf-8"))
    except ValueError as error:
        problems.append(f"not JSON: {error}")
        doc = {"families": [], "install_paths": {}}
    if run.returncode != 0 or doc.get("computer") != "DBHOST01":
        problems.append(f"JSON: exit {run.returncode}, computer {doc.get('computer')!r}")
    if family == "paths":
        paths = {k: v for b in blocks for k, v in b.items() if k.endswith("Path")}
        if doc["install_paths"] != paths or len(doc["families"]) != 4:
            problems.append(f"JSON: install paths {doc['install_paths']}, expected {paths}")
    else:
        expected = [b for b in blocks if "is_server_valid" in b]
        families = doc["families"]
        servers = families[0]["servers"] if len(families) == 1 and families[0]["family"] == family else None
        if servers is None or len(servers) != len(expected):
            problems.append(f"JSON: {len(expected)} records expected, got {families}")
            servers = []
        views = ("64", "32") if b"Wow6432Node" in open(reg, "rb").read() else ("64",)
        for i, (record, dump) in enumerate(zip(servers, expected)):
            # A server that cannot be monitored, and only such a one, says why at the end.
            refused = "can_monitor" in record
            if list(record) != BASE + OWN.get(family, []) + ["is_server_valid", "registry_view", "found_by",
                    "service"] + (["tcp_port"] if family == "mssql" else []) + (
                    ["can_monitor", "why"] if refused else []):
                problems.append(f"JSON record {i}: fields {list(record)}")
            if refused and (record["can_monitor"] is not False or not record["why"]):
                problems.append(f"JSON record {i}: can_monitor {record['can_monitor']!r}, why {record['why']!r}")
            if record.get("registry_view") not in views:
                problems.append(f"JSON record {i}: view {record.get('registry_view')!r}")
            for key, value in dump.items():
                got, value = record.get(DUMP_NAMES.get(key, key)), value == "1" if key == "is_server_valid" else value
                if got != value or type(got) != type(value):
                    problems.append(f"JSON record {i}: {key} is {got!r}, {value!r} expected")
    # Where a fixture has a JSON golden file, its servers are exactly those.
    if os.path.exists(f"{golden}/{name}.json"):
        want = json.load(open(f"{golden}/{name}.json", encoding="utf-8"))
        got = [s for f in doc["families"] for s in f["servers"]]
        for i, (w, g) in enumerate(zip(want, got)):
            problems += [f"JSON record {i}: {k} is {g.get(k)!r}, {w[k]!r} expected" for k in w if g.get(k) != w[k]]
        if len(want) != len(got):
            problems.append(f"JSON: {len(got)} records, {len(want)} expected")
    failures += bool(problems)
    print(f"FAIL: {name}\n  " + "\n  ".join(problems) if problems else f"ok: {name}")
# The command line: a family named twice is reported once, a family code names
# its family, and a snapshot that cannot be read ends the run.
def discover(*words, reg=f"{fixtures}/informix-servers.reg"):
    return subprocess.run([tool, "--registry", reg, *words], capture_output=True)
# A report that cannot be written fails and says so once, after what the lookups said.
with open("/dev/full", "wb") as full:
    unwritten = subprocess.run([tool, "--registry", f"{fixtures}/informix-servers.reg", "--json"], stdout=full,
                               stderr=subprocess.PIPE)
if (discover("--json", "ifx", "informix").stdout != discover("--json", "informix").stdout or
        discover("4").stdout != discover("informix").stdout or discover("informix", reg="missing.reg").returncode != 1 or
        unwritten.returncode != 1 or unwritten.stderr.count(b"cannot write") != 1 or
        not unwritten.stderr.endswith(b"\ntavdiscover: cannot write the report: No space left on device\n")):
    failures += 1
    print("FAIL: the command line")
print(f"{failures} failures")
sys.exit(1 if failures else 0)
PYTHON
