# The hostile-values table: one value per source and field, each put through a
# whole run of tavsetup (natively, or tavsetup.exe under Wine). A row either
# configures its servers, with every batch line as the table spells it, or is
# refused with its message said once on its channel and nothing written.
# Under Wine each generated .bat then runs in cmd.exe with its START lines
# replaced by a dump of the environment: every variable must hold exactly the
# value intended, and no marker file that an injected command would make may
# appear. Used by native-hostile-values.sh and wine-hostile-values.sh.
import os, re, shutil, subprocess, sys, tempfile

MODE = sys.argv[1]  # native or wine
SRC = os.environ["TAV_SOURCE_DIR"]
BIN = os.environ["TAV_BIN_DIR"]
FIXTURES = f"{SRC}/tests/fixtures/hostile"
CRLF = "\r\n"
BIG = "L" * 65536

BASE_ENV = {"COMPUTERNAME": "DBHOST", "CELLNAME": "EAST", "PORTNUMBER": "1918", "ETCPATH": "C:\\Agents\\etc",
            "LOGPATH": "C:\\Agents\\logs", "BINPATH": "C:\\Agents\\bin", "DLLPATH": "C:\\Agents\\dll"}
ORCL_FILES = ["Oracle_ORCL.bat", "TUOVMA_ORCL.ini", "tuoinc.ini"]


def row(name, answers, env=None, files=(), lines=(), values=None, refusal=None, channel="out",
        registry=("machine.reg",), wine=True, left_out=(), product=("oracle", "9.2")):
    """files: the configuration directory after the run (none: refused, result 1); lines: batch lines
    (file, line) as written; values: (file, variable, value) as cmd.exe must read them back."""
    return dict(name=name, answers=answers, env=env or {}, files=sorted(files), lines=lines, values=values or [],
                refusal=refusal, channel=channel, registry=registry, wine=wine, left_out=left_out, product=product)


ROWS = [
    row("answers: login with & and >", "[monitor ORCL]\nlogin = sa & echo INJ1> C:\\rt\\pwned1.txt\n[ok]\n",
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET COLL_LOGON=sa ^& echo INJ1^> C:\\rt\\pwned1.txt")],
        values=[("Oracle_ORCL.bat", "COLL_LOGON", "sa & echo INJ1> C:\\rt\\pwned1.txt")]),
    row("answers: error log with %PATH% and ^&", "[monitor ORCL]\nerrorlog = C:\\log%PATH%^&x\n[ok]\n",
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET COLL_ERRORLOG=C:\\log%%PATH%%^^^&x")],
        values=[("Oracle_ORCL.bat", "COLL_ERRORLOG", "C:\\log%PATH%^&x")]),
    row("answers: home with ( ) | < and &", "[monitor ORCL]\nhome = C:\\P (x86)\\a|b<c&echo INJ2>C:\\rt\\pwned2.txt\n[ok]\n",
        files=ORCL_FILES,
        lines=[("Oracle_ORCL.bat", "SET ORACLE_HOME=C:\\P ^(x86^)\\a^|b^<c^&echo INJ2^>C:\\rt\\pwned2.txt")],
        values=[("Oracle_ORCL.bat", "ORACLE_HOME", "C:\\P (x86)\\a|b<c&echo INJ2>C:\\rt\\pwned2.txt"),
                ("Oracle_ORCL.bat", "COLL_DBHOME", "C:\\P (x86)\\a|b<c&echo INJ2>C:\\rt\\pwned2.txt")]),
    row("answers: password in clear with &", "[monitor ORCL]\npassword = ~pw&echo INJ3>C:\\rt\\pwned3.txt\n[ok]\n",
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET COLL_PASSWORD=pw^&echo INJ3^>C:\\rt\\pwned3.txt")],
        values=[("Oracle_ORCL.bat", "COLL_PASSWORD", "pw&echo INJ3>C:\\rt\\pwned3.txt")]),
    row("answers: login with a quote", "[monitor ORCL]\nlogin = a\"b&echo INJ4>C:\\rt\\pwned4.txt\n[ok]\n",
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET COLL_LOGON=a^\"b^&echo INJ4^>C:\\rt\\pwned4.txt")],
        values=[("Oracle_ORCL.bat", "COLL_LOGON", "a\"b&echo INJ4>C:\\rt\\pwned4.txt")]),
    row("answers: 64 KB login", f"[monitor ORCL]\nlogin = {BIG}\n[ok]\n",
        refusal="answers.txt:2: the properties dialog refused OK: Login: it is longer than 4000 characters",
        channel="err", wine=False),
    row("answers: 64 KB server name", f"[new {'N' * 65536}]\n[ok]\n",
        refusal="answers.txt:1: the properties dialog refused OK: Server Name: the name: it is longer than 4000",
        channel="err", wine=False),
    row("answers: a name leading out", "[new ..\\..\\evil]\n[ok]\n",
        refusal="answers.txt:1: the properties dialog refused OK: Server Name: a part is \"..\"", channel="err", wine=False),
    row("answers: a device name", "[new GRP\\con.log]\n[ok]\n",
        refusal="Server Name: \"con.log\" is a device name on Windows", channel="err", wine=False),
    row("answers: a name with :", "[new d:x]\n[ok]\n",
        refusal="Server Name: the name holds ':', which a file name cannot hold", channel="err", wine=False),
    row("answers: a part ending in a dot", "[new d\\S]\n[new d.\\S]\n[ok]\n",
        refusal="answers.txt:2: the properties dialog refused OK: Server Name: a part ends in a dot or a blank",
        channel="err"),
    row("answers: a renamed server", "[monitor ORCL]\nname = A&B\n[ok]\n",
        refusal="answers.txt:2: the properties dialog refused OK: Server Name: the name holds '&'", channel="err", wine=False),
    row("answers: two names Windows takes for one", "[new ORCL2]\n[new orcl2]\n[ok]\n",
        refusal="The servers 'ORCL2' and 'orcl2' would share their files"),
    row("answers: a discovered home with CR LF", "[monitor EVIL]\n[ok]\n",
        refusal="answers.txt:1: the properties dialog refused OK: Home Directory: it holds a control character",
        channel="err"),
    row("answers: the discovered home replaced", "[monitor EVIL]\nhome = C:\\oracle\\ora81\n[ok]\n",
        files=["Oracle_EVIL.bat", "TUOVMA_EVIL.ini", "tuoinc.ini"],
        values=[("Oracle_EVIL.bat", "ORACLE_HOME", "C:\\oracle\\ora81")]),
    row("answers: a discovered name that breaks out of quotes",
        "[monitor Y\"&echo INJ9>C:\\rt\\pwned9.txt&\"]\n[ok]\n",
        refusal="The server 'Y\"&echo INJ9>C:\\rt\\pwned9.txt&\"' cannot be monitored: the name holds '\"'",
        channel="err"),
    row("answers: [monitor *] leaves the hostile servers out", "[monitor *]\nlogin = tavmon\n[ok]\n",
        files=ORCL_FILES, values=[("Oracle_ORCL.bat", "COLL_LOGON", "tavmon")],
        left_out=["Server 'EVIL' left out: its Home Directory: it holds a control character",
                  "Server 'Y\"&echo INJ9>C:\\rt\\pwned9.txt&\"' left out: the name holds '\"'"]),
    row("environment: PORTNUMBER with &", "[monitor ORCL]\n[ok]\n", env={"PORTNUMBER": "1918&echo INJ5>C:\\rt\\pwned5.txt"},
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET TNC_PORTS=(2 135 1918^&echo INJ5^>C:\\rt\\pwned5.txt)")],
        values=[("Oracle_ORCL.bat", "TNC_PORTS", "(2 135 1918&echo INJ5>C:\\rt\\pwned5.txt)")]),
    row("environment: BINPATH with %", "[monitor ORCL]\n[ok]\n", env={"BINPATH": "C:\\Agents\\%OS%bin"},
        files=ORCL_FILES, lines=[("Oracle_ORCL.bat", "SET COLL_BINPATH=C:\\Agents\\%%OS%%bin")],
        values=[("Oracle_ORCL.bat", "COLL_BINPATH", "C:\\Agents\\%OS%bin")]),
    row("environment: PORTNUMBER with CR LF", "[monitor ORCL]\n[ok]\n",
        env={"PORTNUMBER": "1918" + CRLF + "echo INJ6> C:\\rt\\pwned6.txt"},
        refusal="The install parameter PORTNUMBER cannot be used: it holds a control character; nothing was configured"),
    row("environment: BINPATH with CR LF", "[monitor ORCL]\n[ok]\n", env={"BINPATH": "C:\\bin" + CRLF + "echo X"},
        refusal="The install parameter BINPATH cannot be used: it holds a control character", wine=False),
    row("environment: LOGPATH with CR LF", "[monitor ORCL]\n[ok]\n", env={"LOGPATH": "C:\\log" + CRLF + "echo X"},
        refusal="The install parameter LOGPATH cannot be used: it holds a control character"),
    row("environment: CELLNAME too long", "[monitor ORCL]\n[ok]\n", env={"CELLNAME": "C" * 5000},
        refusal="The install parameter CELLNAME cannot be used: it is longer than 4000 characters", wine=False),
    # Wine gives its programs the host's name as COMPUTERNAME. Rows marked wine=False, but this one, check
    # rules that are the same code on every platform, and leave Wine the time for the rows cmd.exe reads.
    row("environment: COMPUTERNAME with CR LF", "[monitor ORCL]\n[ok]\n", env={"COMPUTERNAME": "DBHOST" + CRLF + "X"},
        refusal="The install parameter COMPUTERNAME cannot be used: it holds a control character", wine=False),
    row("snapshot: two Sybase names that differ in case", "[monitor SYBA]\n[monitor syba]\n[ok]\n",
        registry=("sybase.reg",), product=("sybase", "12.5"),
        refusal="The servers 'SYBA' and 'syba' would share their files: Windows does not tell the names apart"),
    row("snapshot: [monitor *] over names lost in ANSI, differing in case, an error log with CR LF",
        "[monitor *]\n[ok]\n", registry=("sybase.reg",), product=("sybase", "12.5"),
        refusal="The servers 'SYBA' and 'syba' would share their files",
        left_out=["Server '??' left out: the name holds '?', which a file name cannot hold"] * 2 +
                 ["Server 'SYBCR' left out: its Error Log File: it holds a control character"]),
    row("snapshot: [monitor *] with the error log replaced", "[monitor *]\nerrorlog = C:\\sybase\\log\n[ok]\n",
        registry=("sybase.reg",), product=("sybase", "12.5"),
        refusal="The servers 'SYBA' and 'syba' would share their files",
        left_out=["Server '??' left out: the name holds '?', which a file name cannot hold"] * 2, wine=False),
    row("maker's key: LogPath with CR LF", "[monitor ORCL]\n[ok]\n", registry=("machine.reg", "maker-key.reg"),
        refusal="The install parameter LogPath of the maker's key cannot be used: it holds a control character"),
]


def parse_dump(text):
    values = {}
    for line in text.replace("\r\n", "\n").split("\n"):
        if "=" in line:
            name, value = line.split("=", 1)
            values[name.upper()] = value
    return values


class Machine:
    """Runs tavsetup natively over snapshots, or tavsetup.exe in a Wine prefix."""

    def __init__(self, work):
        self.work = work
        self.drive_c = f"{work}/drives/c"
        self.imported = set()
        if MODE == "wine":
            self.prefix = f"{os.environ['TAV_BUILD_DIR']}/wine-hostile"
            shutil.rmtree(self.prefix, ignore_errors=True)
            self.env = dict(os.environ, WINEPREFIX=self.prefix)
            self.drive_c = f"{self.prefix}/drive_c"

    def wine(self, *args, **kw):
        return subprocess.run([f"{SRC}/scripts/wine-run.sh", *args], env=kw.pop("env", self.env), **kw)

    def import_registry(self, files):
        """Imports the snapshots not imported yet: the rows that add one come last."""
        for reg in files:
            if reg not in self.imported:
                self.wine("regedit", "/S", "Z:" + f"{FIXTURES}/{reg}".replace("/", "\\"), capture_output=True)
                subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=self.env)
                self.imported.add(reg)

    def run(self, r, answers):
        env = {k: v for k, v in os.environ.items() if k not in BASE_ENV and k != "COLL_DEBUG"}
        env.update(BASE_ENV)
        env.update(r["env"])
        run_dir = f"{self.drive_c}/hv/run"
        shutil.rmtree(f"{self.drive_c}/Agents", ignore_errors=True)
        shutil.rmtree(f"{self.drive_c}/hv", ignore_errors=True)
        shutil.rmtree(f"{self.drive_c}/rt", ignore_errors=True)
        os.makedirs(f"{self.drive_c}/Agents/etc")
        os.makedirs(run_dir)
        os.makedirs(f"{self.drive_c}/rt")
        with open(f"{self.drive_c}/hv/answers.txt", "wb") as f:
            f.write(answers.encode("cp1252"))
        shutil.copy(f"{FIXTURES}/setup.ini", f"{self.drive_c}/hv/setup.ini")
        parms = ["setup.log", *r["product"]]
        if MODE == "native":
            env["TAVNOVU_DRIVES"] = f"{self.work}/drives"
            regs = [a for reg in r["registry"] for a in ("--registry", f"{FIXTURES}/{reg}")]
            done = subprocess.run([f"{BIN}/tavsetup", *regs, "--answers", f"{self.drive_c}/hv/answers.txt",
                                   "--ini", f"{self.drive_c}/hv/setup.ini", *parms], cwd=run_dir, env=env,
                                  capture_output=True)
        else:
            self.import_registry(r["registry"])
            env["WINEPREFIX"] = self.prefix
            done = self.wine(f"{BIN}/tavsetup.exe", "--answers", "C:\\hv\\answers.txt", "--ini", "C:\\hv\\setup.ini",
                             *parms, cwd=run_dir, env=env, capture_output=True)
        log = open(f"{run_dir}/setup.log", "rb").read() if os.path.exists(f"{run_dir}/setup.log") else b""
        return done, log

    def read_back(self, bat):
        """The environment at each START line of the batch file, as cmd.exe leaves it."""
        text = open(f"{self.drive_c}/Agents/etc/{bat}", "rb").read().decode("cp1252")
        dumped = re.sub(r"(?m)^START .*$", r"set > C:\\rt\\dump.txt", text)
        with open(f"{self.drive_c}/rt/probe.bat", "wb") as f:
            f.write(dumped.encode("cp1252"))
        self.wine("cmd", "/c", "C:\\rt\\probe.bat", capture_output=True, cwd=f"{self.drive_c}/rt")
        path = f"{self.drive_c}/rt/dump.txt"
        return parse_dump(open(path, "rb").read().decode("cp1252")) if os.path.exists(path) else {}


def check(machine, r):
    problems = []
    done, log = machine.run(r, r["answers"])
    out, err = done.stdout.decode("cp1252"), done.stderr.decode("cp1252")
    log = log.decode("cp1252")
    etc = f"{machine.drive_c}/Agents/etc"
    files = sorted(os.listdir(etc))
    want = 0 if r["files"] else 1
    if done.returncode != want:
        problems.append(f"result {done.returncode}, expected {want}")
    if files != r["files"]:
        problems.append(f"files {files}, expected {r['files']}")
    if r["refusal"]:
        said = out if r["channel"] == "out" else err
        if said.count(r["refusal"]) != 1:
            problems.append(f"the refusal {r['refusal']!r} is said {said.count(r['refusal'])} times")
        reason = r["refusal"].split("refused OK: ")[-1]
        if (out + err).count(reason) != 1:
            problems.append(f"the reason {reason!r} is printed {(out + err).count(reason)} times")
        if r["channel"] == "out" and log.count(r["refusal"]) != 1:
            problems.append("the refusal is not in the setup log once")
    for line in set(r["left_out"]):
        times = r["left_out"].count(line)
        if out.count(line) != times or log.count(line) != times:
            problems.append(f"{line!r}: {out.count(line)} times on the console, {log.count(line)} in the log")
    if "Finished Database Monitor Configuration" in log and want != 0:
        problems.append("the setup log has its finish stamp")
    for bat, line in r["lines"]:
        text = open(f"{etc}/{bat}", "rb").read().decode("cp1252") if bat in files else ""
        if line + "\r\n" not in text:
            problems.append(f"{bat} has no line {line!r}")
    for name in files:
        body = open(f"{etc}/{name}", "rb").read()
        if re.search(rb"[\x00-\x09\x0b\x0c\x0e-\x1f\x7f]|\r(?!\n)|(?<!\r)\n", body):
            problems.append(f"{name} holds a control character or a line break of its own")
    if MODE == "wine":
        for bat in sorted({b for b, _, _ in r["values"]} | {f for f in files if f.endswith(".bat")}):
            values = machine.read_back(bat)
            if not values:
                problems.append(f"{bat}: cmd.exe dumped no environment")
            for name, value in ((n, v) for b, n, v in r["values"] if b == bat):
                if values.get(name) != value:
                    problems.append(f"{bat}: {name} is {values.get(name)!r}, expected {value!r}")
        marked = [m for m in os.listdir(f"{machine.drive_c}/rt") if m.startswith("pwned")]
        if marked:
            problems.append(f"an injected command ran: {marked}")
    if problems:
        print(f"FAIL: {r['name']}\n  " + "\n  ".join(problems))
        print("--- stdout\n" + out[-2000:] + "--- stderr\n" + err[-2000:])
    else:
        print(f"ok: {r['name']}")
    return not problems


def check_unreadable_snapshot(work):
    """tavsetup --registry with a file it cannot read (missing, or a directory) is bad usage: exit 64
    before the library runs, so no setup log is begun."""
    failures = 0
    for snapshot in (f"{work}/typo.reg", work):
        done = subprocess.run([f"{BIN}/tavsetup", "--registry", snapshot, "setup.log", "oracle", "9.2"], cwd=work,
                              capture_output=True)
        said = done.stderr.decode()
        if done.returncode != 64 or f"cannot read the registry snapshot {snapshot}" not in said or \
                os.path.exists(f"{work}/setup.log"):
            print(f"FAIL: --registry {snapshot}: exit {done.returncode}, {said!r}")
            failures += 1
        else:
            print(f"ok: --registry {snapshot} that cannot be read")
    return failures


def main():
    work = tempfile.mkdtemp()
    try:
        machine = Machine(work)
        rows = [r for r in ROWS if MODE == "native" or r["wine"]]
        # Rows on the same registry run together: Wine imports each snapshot once.
        rows.sort(key=lambda r: (len(r["registry"]), r["registry"]))
        failures = sum(not check(machine, r) for r in rows)
        if MODE == "native":
            failures += check_unreadable_snapshot(work)
        print(f"{failures} failures in {len(rows)} rows")
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


sys.exit(main())
