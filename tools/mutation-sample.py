#!/usr/bin/env python3
"""Mutants drawn by a program, not chosen by the people who wrote the tests.

Enumerates every single-token mutant of the game's C++ (src/) and GLSL (shaders/) by a fixed
set of operators, draws a seeded sample weighted by lines (each line that has a mutant is as
likely as any other, then one of its mutants), plants each alone in the source tree, rebuilds
the Release tree incrementally and runs the whole suite against it. The tests named after the
mutated unit run first and the run stops at the first failure, so a killed mutant is cheap.
One that passes every test is built once more under AddressSanitizer and
UndefinedBehaviorSanitizer (tools/sanitizers.sh) and the tests named after its unit run there:
an out-of-bounds write or an overflow the Release build happens to survive is still a fault the
suite catches. Only a mutant that passes both counts as a survivor.

Results go to BUILD/mutation-sample/seed-S.tsv, one row per mutant; a rerun with the same
seed continues where the last one stopped (the drawn sample is kept beside it in
seed-S.sample, so it survives edits to the tests). Its last column says which pass killed each
mutant: release, sanitizer, or survived where neither did. tools/mutation-equivalents.txt lists the
reviewed equivalent mutants, each as the report prints it (file:line:column:operator
'original' -> 'new') and then the reason; those are reported as equivalent and not run again.

Run through tools/mutation-sample.sh; --help lists the options.
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
EQUIVALENTS = os.path.join(ROOT, "tools", "mutation-equivalents.txt")

# Built only for Windows or the browser: a mutant there cannot change the Linux build.
OTHER_PLATFORMS = re.compile(r"^src/platform/(PlatformWindows.*|PlatformWeb\.cpp|HostWeb\.cpp|web/.*)$")

TOKEN = re.compile(r"""
    (?P<ws>\s+)
  | (?P<comment>//.*|/\*.*?(\*/|$))
  | (?P<string>"(\\.|[^"\\])*"|'(\\.|[^'\\])*')
  | (?P<number>(0[xX][0-9a-fA-F]+|(\d+\.\d*|\.\d+|\d+)([eE][+-]?\d+)?)[uUlLfF]*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<op><<=|>>=|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||\+=|-=|\*=|/=|::|[-+*/<>=!&|^%~?:;,.(){}\[\]#])
  | (?P<other>.)
""", re.VERBOSE)

RELATIONAL = {
    # boundary moved, and the comparison negated
    "<": ("<=", ">="), "<=": ("<", ">"), ">": (">=", "<="), ">=": (">", "<"),
}
TYPE_WORDS = {"int", "float", "double", "char", "bool", "void", "auto", "const", "unsigned", "long",
              "short", "size_t", "vec2", "vec3", "vec4", "mat3", "mat4", "uint", "std", "GLuint",
              "GLint", "GLenum", "GLsizei", "GLfloat", "GLchar"}
KEYWORDS = {"return", "if", "else", "for", "while", "do", "switch", "case", "break", "continue",
            "delete", "new", "throw", "goto", "default", "using", "namespace", "typedef", "template",
            "static_assert", "struct", "class", "enum", "public", "private", "protected"}
ASSIGN_OPS = {"=", "+=", "-=", "*=", "/="}


class Mutant:
    def __init__(self, path, line, col, operator, original, replacement):
        self.path, self.line, self.col = path, line, col
        self.operator, self.original, self.replacement = operator, original, replacement

    @property
    def id(self):
        return "%s:%d:%d:%s" % (self.path, self.line, self.col, self.operator)

    def describe(self):
        return "%s %r -> %r" % (self.id, self.original, self.replacement)


def lex(text):
    """Tokens of one line as (kind, text, column from 1); block comments across lines are
    handled by the caller."""
    tokens = []
    for match in TOKEN.finditer(text):
        kind = match.lastgroup
        if kind not in ("ws",):
            tokens.append((kind, match.group(), match.start() + 1))
    return tokens


def is_template_bracket(tokens, i):
    """A `<` that opens a template argument list, or the `>` that closes one: the brackets
    hold only names, numbers, `::`, `,`, `*` and `&` and sit on one line (`>>` closes two)."""
    text = tokens[i][1]
    if text == "<":
        if i == 0 or tokens[i - 1][0] != "ident":
            return False
        depth = 0
        for kind, t, _ in tokens[i:]:
            if t == "<":
                depth += 1
            elif t in (">", ">>"):
                depth -= len(t)
                if depth <= 0:
                    return True
            elif not (kind in ("ident", "number") or t in ("::", ",", "*", "&")):
                return False
        return False
    if text == ">":
        depth = 0
        for j in range(i, -1, -1):
            kind, t, _ = tokens[j]
            if t in (">", ">>"):
                depth += len(t)
            elif t == "<":
                depth -= 1
                if depth == 0:
                    return is_template_bracket(tokens, j)
            elif not (kind in ("ident", "number") or t in ("::", ",", "*", "&")):
                return False
        return False
    return False


def spaced(line_text, col, width):
    """True when the operator at `col` has a blank on each side: the house style writes
    binary operators so, and pointers, references and unary minus without."""
    before = line_text[col - 2] if col >= 2 else ""
    after = line_text[col - 1 + width] if col - 1 + width < len(line_text) else ""
    return before == " " and after == " "


def next_number(text):
    match = re.match(r"^(0[xX][0-9a-fA-F]+|[\d.]+(?:[eE][+-]?\d+)?)([uUlLfF]*)$", text)
    body, suffix = match.group(1), match.group(2)
    if body.lower().startswith("0x"):
        value = int(body, 16)
        return ("0x%X" % (value + 1 if value > 1 else 1 - value)) + suffix
    if re.fullmatch(r"\d+", body):
        value = int(body)
        return str(1 - value if value <= 1 else value + 1) + suffix
    value = float(body)
    new = 1.0 - value if value in (0.0, 1.0) else value + 1.0
    if "e" in body.lower():
        return repr(new) + suffix
    decimals = len(body.split(".")[1]) if "." in body else 0
    result = ("%." + str(max(decimals, 1)) + "f") % new
    if body.endswith("."):
        result = result.rstrip("0")
    return result + suffix


def statement_mutants(path, number, line_text, tokens):
    """Deleting the whole statement on this line, when it is one call or one assignment."""
    if not tokens or tokens[-1][1] != ";" or tokens[0][0] != "ident" or tokens[0][1] in KEYWORDS:
        return []
    if any(t in ("{", "}") for _, t, _ in tokens) or sum(1 for _, t, _ in tokens if t == ";") != 1:
        return []
    # Declarations (`= delete`, `= default`, operators) are not statements.
    if any(t in ("operator", "delete", "default") for _, t, _ in tokens):
        return []
    # Where the statement's top level (outside brackets) first has an assignment or a call.
    depth = 0
    first_top_level_assign = None
    for index, (kind, t, _) in enumerate(tokens):
        if t in "([":
            depth += 1
        elif t in ")]":
            depth -= 1
        elif depth == 0 and t in ASSIGN_OPS and first_top_level_assign is None:
            first_top_level_assign = index
    start = tokens[0][2] - 1
    statement = line_text[start:tokens[-1][2]]
    if first_top_level_assign is not None:
        lhs = tokens[:first_top_level_assign]
        # Two names in a row before `=` make a declaration, which cannot be deleted alone.
        for a, b in zip(lhs, lhs[1:]):
            if a[0] == "ident" and b[0] == "ident":
                return []
        # The left side is a place (a.b, a->b[i], A::b), never a declared pointer or template.
        depth = 0
        for _, t, _ in lhs:
            if t == "[":
                depth += 1
            elif t == "]":
                depth -= 1
            elif depth == 0 and t in ("<", ">", "&", "*", "(", ")", ","):
                return []
        if tokens[0][1] in TYPE_WORDS:
            return []
        return [Mutant(path, number, tokens[0][2], "delete-assignment", statement, ";")]
    # A call: name(...); or a.b(...); or a->b(...); with the closing bracket just before `;`.
    if len(tokens) >= 4 and tokens[-2][1] == ")" and "(" in [t for _, t, _ in tokens[:3]] + \
            [t for _, t, _ in tokens]:
        names_then_call = True
        previous_kind = None
        for kind, t, _ in tokens:
            if t == "(":
                break
            if not (kind == "ident" or t in (".", "->", "::", "[", "]") or kind == "number"):
                names_then_call = False
                break
            # Two names in a row are a return type and a function being declared.
            if kind == "ident" and previous_kind == "ident":
                names_then_call = False
                break
            previous_kind = kind
        if names_then_call and tokens[0][1] not in TYPE_WORDS:
            return [Mutant(path, number, tokens[0][2], "delete-call", statement, ";")]
    return []


def line_mutants(path, number, line_text, tokens, continues_statement=False):
    mutants = []
    for i, (kind, text, col) in enumerate(tokens):
        if kind == "number":
            mutants.append(Mutant(path, number, col, "literal", text, next_number(text)))
        elif kind == "ident" and text in ("true", "false"):
            mutants.append(Mutant(path, number, col, "boolean", text, "false" if text == "true" else "true"))
        elif kind != "op":
            continue
        elif text in RELATIONAL and not is_template_bracket(tokens, i):
            boundary, negated = RELATIONAL[text]
            mutants.append(Mutant(path, number, col, "relational-boundary", text, boundary))
            mutants.append(Mutant(path, number, col, "relational-negated", text, negated))
        elif text in ("==", "!="):
            mutants.append(Mutant(path, number, col, "equality-negated", text, "!=" if text == "==" else "=="))
        elif text in ("&&", "||") and spaced(line_text, col, 2):
            mutants.append(Mutant(path, number, col, "logical", text, "||" if text == "&&" else "&&"))
        elif text in ("+", "-", "+=", "-=") and spaced(line_text, col, len(text)):
            swapped = {"+": "-", "-": "+", "+=": "-=", "-=": "+="}[text]
            mutants.append(Mutant(path, number, col, "additive", text, swapped))
        elif text in ("*", "/", "*=", "/=") and spaced(line_text, col, len(text)):
            swapped = {"*": "/", "/": "*", "*=": "/=", "/=": "*="}[text]
            mutants.append(Mutant(path, number, col, "multiplicative", text, swapped))
    # The tail of a statement begun on an earlier line is not a statement of its own: deleting
    # it leaves the start dangling, a mutant that could never build.
    if continues_statement:
        return mutants
    return mutants + statement_mutants(path, number, line_text, tokens)


def source_files():
    listed = subprocess.run(["git", "ls-files", "src", "shaders"], cwd=ROOT, check=True,
                            capture_output=True, text=True).stdout.split()
    for path in sorted(listed):
        if OTHER_PLATFORMS.match(path):
            continue
        if path.startswith("shaders/") or path.endswith((".cpp", ".h")):
            yield path


def enumerate_mutants():
    """Every mutant, grouped by line: {(path, line): [Mutant, ...]}."""
    by_line = {}
    for path in source_files():
        with open(os.path.join(ROOT, path), encoding="utf-8") as handle:
            lines = handle.read().split("\n")
        in_comment = False
        conditional_depth = 0
        previous_end = ";"  # the last token of the code before this line
        for number, line_text in enumerate(lines, start=1):
            code = line_text
            if in_comment:
                end = code.find("*/")
                if end < 0:
                    continue
                code = " " * (end + 2) + code[end + 2:]
                in_comment = False
            stripped = code.strip()
            # Preprocessor lines, and what only some builds compile, are left alone.
            if stripped.startswith("#"):
                if re.match(r"#\s*if", stripped):
                    conditional_depth += 1
                elif re.match(r"#\s*endif", stripped):
                    conditional_depth -= 1
                continue
            if conditional_depth > 0:
                continue
            tokens = lex(code)
            if tokens and tokens[-1][0] == "comment" and tokens[-1][1].startswith("/*") \
                    and not tokens[-1][1].endswith("*/"):
                in_comment = True
            tokens = [t for t in tokens if t[0] != "comment"]
            # A static_assert is checked by the compiler, not by a test. (Branches under
            # `if constexpr (openGlEs)` are drawn like any line; the desktop build never runs
            # them, and tools/mutation-equivalents.txt says so where one is drawn.)
            if any(t[1] == "static_assert" for t in tokens):
                continue
            found = line_mutants(path, number, line_text, tokens,
                                 continues_statement=previous_end not in (";", "{", "}", ")", ":", "do", "else"))
            if found:
                by_line[(path, number)] = found
            if tokens:
                previous_end = tokens[-1][1]
    return by_line


def draw(seed, count):
    by_line = enumerate_mutants()
    lines = sorted(by_line)
    rng = random.Random(seed)
    rng.shuffle(lines)
    return [rng.choice(by_line[key]) for key in lines[:count]], sum(len(v) for v in by_line.values()), len(lines)


def load_sample(sample_path):
    mutants = []
    with open(sample_path, encoding="utf-8") as handle:
        for row in handle:
            if row.startswith("#") or not row.strip():
                continue
            path, line, col, operator, original, replacement = row.rstrip("\n").split("\t")
            mutants.append(Mutant(path, int(line), int(col), operator, original, replacement))
    return mutants


def save_sample(sample_path, seed, mutants):
    with open(sample_path, "w", encoding="utf-8") as handle:
        handle.write("# seed %d: path, line, column, operator, original, replacement\n" % seed)
        for m in mutants:
            handle.write("\t".join([m.path, str(m.line), str(m.col), m.operator, m.original, m.replacement]) + "\n")


def read_equivalents():
    """{mutant as describe() prints it: reason}; a line whose code has moved matches nothing."""
    reviewed = {}
    pattern = re.compile(r"""^(\S+ (?:'[^']*'|"[^"]*") -> (?:'[^']*'|"[^"]*"))\s*(.*)$""")
    if os.path.exists(EQUIVALENTS):
        with open(EQUIVALENTS, encoding="utf-8") as handle:
            for row in handle:
                row = row.strip()
                match = pattern.match(row)
                if row and not row.startswith("#") and match:
                    reviewed[match.group(1)] = match.group(2)
    return reviewed


def read_results(results_path):
    results = {}
    if os.path.exists(results_path):
        with open(results_path, encoding="utf-8") as handle:
            for row in handle:
                if row.startswith("#") or not row.strip():
                    continue
                fields = row.rstrip("\n").split("\t")
                results[fields[0]] = fields
    return results


class Planted:
    """One mutant in the source tree, taken out again whatever happens."""
    current = None

    def __init__(self, mutant):
        self.mutant = mutant
        self.path = os.path.join(ROOT, mutant.path)
        with open(self.path, encoding="utf-8", newline="") as handle:
            self.original = handle.read()

    def plant(self):
        lines = self.original.split("\n")
        text = lines[self.mutant.line - 1]
        start = self.mutant.col - 1
        if text[start:start + len(self.mutant.original)] != self.mutant.original:
            return False
        lines[self.mutant.line - 1] = text[:start] + self.mutant.replacement + text[start + len(self.mutant.original):]
        Planted.current = self
        with open(self.path, "w", encoding="utf-8", newline="") as handle:
            handle.write("\n".join(lines))
        return True

    def restore(self):
        with open(self.path, "w", encoding="utf-8", newline="") as handle:
            handle.write(self.original)
        Planted.current = None


running_child = None


def restore_on_signal(signum, _frame):
    # The build or the suite runs in a session of its own, so it is ended here as a whole;
    # the handler leaves with os._exit, since the wait it interrupted cannot reap the child.
    if running_child is not None:
        try:
            os.killpg(running_child.pid, signal.SIGKILL)
        except OSError:
            pass
    if Planted.current is not None:
        Planted.current.restore()
    sys.stderr.write("mutation sample: interrupted; the tree is restored, a rerun continues\n")
    sys.stderr.flush()
    os._exit(128 + signum)


def run(command, log, timeout=None):
    global running_child
    log.write("$ %s\n" % " ".join(command))
    log.flush()
    running_child = subprocess.Popen(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
    try:
        return running_child.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(running_child.pid, signal.SIGKILL)
        running_child.wait()
        log.write("timed out after %s s\n" % timeout)
        return 124
    finally:
        running_child = None


def failed_test(log_path):
    with open(log_path, encoding="utf-8", errors="replace") as handle:
        text = handle.read()
    # ctest's closing lists name the tests that failed, and also those skipped or not run,
    # which killed nothing.
    found = [name for name, status in re.findall(r"^\s*\d+ - (\S+) \(([^)]*)\)", text, re.M)
             if status not in ("Skipped", "Disabled", "Not Run")]
    if found:
        return found[0]
    found = re.findall(r"Test\s+#\d+: (\S+).*?\*\*\*(Failed|Timeout|Exception|Not Run)", text)
    if found:
        return found[0][0]
    # A test program that cannot even list its tests fails the run before any test starts.
    found = re.findall(r"Error running test executable.\s+Path: '.*/(\w+)'\s+Result: (.*)", text)
    return "%s (listing: %s)" % found[0] if found else "?"


def log_path_of(out_dir, seed, mutant):
    return os.path.join(out_dir, "logs", "seed-%d-%s.log" % (seed, re.sub(r"[^\w.-]", "_", mutant.id)))


def likeliest_tests(mutant):
    """The tests named after the mutated unit; shaders go to the programs and the pictures."""
    unit = os.path.splitext(os.path.basename(mutant.path))[0]
    if mutant.path.startswith("shaders/"):
        return "ShaderReferenceCompiler\\.%s|ShaderProgram|GoldenFrame" % re.escape(os.path.basename(mutant.path))
    # Suites are named after the unit, with or without a suffix (GameRulesTest, TextRendererGl).
    return "^%s[A-Za-z]*\\." % re.escape(unit)


XVFB = ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24"]
# The sanitizer tree's configuration and environment, as tools/test.sh has them.
SANITIZERS = ["tools/sanitizers.sh"]


def ctest(build, jobs):
    return ["ctest", "--test-dir", build, "-j%d" % jobs, "--stop-on-failure", "--output-on-failure"]


def sanitizer_pass(mutant, sanitizer_build, jobs, log):
    """0 when the tests named after the mutant's unit pass in the sanitizer tree. A mutant that
    the sanitizer tree cannot build (the Release tree could) is judged by the Release pass alone."""
    log.write("-- the likeliest tests again, under the sanitizers\n")
    if not os.path.exists(os.path.join(ROOT, sanitizer_build, "CMakeCache.txt")):
        if run(SANITIZERS + ["sanitizer_configure", sanitizer_build], log) != 0:
            return 0
    if run(["cmake", "--build", sanitizer_build, "-j%d" % jobs], log, timeout=3600) != 0:
        log.write("the sanitizer tree does not build it; the Release verdict stands\n")
        return 0
    return run(SANITIZERS + ["sanitizer_env"] + XVFB + ctest(sanitizer_build, jobs) + ["-R", likeliest_tests(mutant)],
               log)


def test_mutant(mutant, build, jobs, log_path, sanitizer_build):
    """killed / survived / not built, the first failing test, and the pass that killed it."""
    with open(log_path, "w", encoding="utf-8") as log:
        log.write("mutant %s\n" % mutant.describe())
        if run(["cmake", "--build", build, "-j%d" % jobs], log, timeout=1800) != 0:
            return "not-built", "", "-"
        first = likeliest_tests(mutant)
        log.write("-- the likeliest tests first\n")
        status = run(XVFB + ctest(build, jobs) + ["-R", first], log)
        if status == 0:
            log.write("-- then all the others\n")
            status = run(XVFB + ctest(build, jobs) + ["-E", first], log)
        if status != 0:
            log.flush()
            return "killed", failed_test(log_path), "release"
        if sanitizer_build:
            status = sanitizer_pass(mutant, sanitizer_build, jobs, log)
        log.flush()
    if status != 0:
        return "killed", failed_test(log_path), "sanitizer"
    return "survived", "", "survived"


def killed_by(row):
    """release, sanitizer or survived; rows written before the sanitizer pass lack the column."""
    if len(row) > 9:
        return row[9]
    return {"killed": "release", "survived": "survived"}.get(row[6], "-")


def report(results, sample, reviewed, seed):
    counts = {"killed": 0, "survived": 0, "equivalent": 0, "not-built": 0, "pending": 0}
    by_sanitizer = 0
    survivors = []
    total = 0.0
    for m in sample:
        row = results.get(m.id)
        if row is None:
            counts["pending"] += 1
            continue
        result, seconds = row[6], float(row[8])
        total += seconds
        if result in ("survived", "equivalent") and m.describe() in reviewed:
            result = "equivalent"
        elif result in ("survived", "equivalent"):
            result = "survived"
            survivors.append(m)
        counts[result] += 1
        by_sanitizer += result == "killed" and killed_by(row) == "sanitizer"
    judged = counts["killed"] + counts["survived"]
    share = "%.0f %%" % (100.0 * counts["killed"] / judged) if judged else "-"
    print("seed %d: %d drawn, %d killed (%d of them only under the sanitizers), %d survived, "
          "%d reviewed equivalent, %d not built, %d pending; "
          "%s of the non-equivalent built mutants killed; %.0f s in all" %
          (seed, len(sample), counts["killed"], by_sanitizer, counts["survived"], counts["equivalent"],
           counts["not-built"], counts["pending"], share, total))
    for m in survivors:
        print("  unreviewed survivor: %s" % m.describe())
    return counts


def main():
    parser = argparse.ArgumentParser(prog="tools/mutation-sample.sh",
                                     description="Draw mutants at random and run the whole Release suite on each.")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=30)
    parser.add_argument("-b", "--build", default="build", help="the Release build folder (default: build)")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--sanitizer-build", default="build-sanitize",
                        help="the sanitizer tree a Release survivor is tried in (default: build-sanitize, "
                             "configured on first use as tools/test.sh configures it; '' to skip the step)")
    parser.add_argument("--list", action="store_true", help="print the drawn sample and stop")
    parser.add_argument("--count-all", action="store_true", help="print how many mutants there are and stop")
    parser.add_argument("--retest-survivors", action="store_true",
                        help="run the survivors of this seed again (after a sharper test)")
    parser.add_argument("--report", action="store_true", help="print this seed's results so far and stop")
    parser.add_argument("--run-equivalents", action="store_true",
                        help="run the reviewed equivalents too (by default they are reported, not run)")
    parser.add_argument("--restore", action="store_true",
                        help="first put src/ and shaders/ back as git has them (loses uncommitted changes there)")
    args = parser.parse_args()
    os.chdir(ROOT)

    dirty = subprocess.run(["git", "status", "--porcelain", "--", "src", "shaders"], check=True,
                           capture_output=True, text=True).stdout.strip()
    if dirty and args.restore:
        subprocess.run(["git", "checkout", "--", "src", "shaders"], check=True)
    elif dirty:
        sys.stderr.write("mutation sample: src/ or shaders/ has uncommitted changes; commit them, or pass "
                         "--restore to put them back as git has them:\n%s\n" % dirty)
        return 2

    if args.count_all:
        by_line = enumerate_mutants()
        per_operator = {}
        for mutants in by_line.values():
            for m in mutants:
                per_operator[m.operator] = per_operator.get(m.operator, 0) + 1
        print("%d mutants on %d lines: %s" % (sum(per_operator.values()), len(by_line),
                                             ", ".join("%s %d" % kv for kv in sorted(per_operator.items()))))
        return 0

    out_dir = os.path.join(args.build, "mutation-sample")
    os.makedirs(os.path.join(out_dir, "logs"), exist_ok=True)
    sample_path = os.path.join(out_dir, "seed-%d.sample" % args.seed)
    results_path = os.path.join(out_dir, "seed-%d.tsv" % args.seed)
    if os.path.exists(sample_path):
        sample = load_sample(sample_path)
        if len(sample) != args.count:
            sys.stderr.write("mutation sample: %s holds %d mutants, not %d; remove it to draw again\n"
                             % (sample_path, len(sample), args.count))
            return 2
    else:
        sample, everything, lines = draw(args.seed, args.count)
        save_sample(sample_path, args.seed, sample)
        print("seed %d: drew %d of %d mutants on %d lines" % (args.seed, len(sample), everything, lines))
    if args.list:
        for m in sample:
            print(m.describe())
        return 0

    reviewed = read_equivalents()
    results = read_results(results_path)
    if args.report:
        for m in sample:
            row = results.get(m.id)
            if row and row[7] == "?" and os.path.exists(log_path_of(out_dir, args.seed, m)):
                row[7] = failed_test(log_path_of(out_dir, args.seed, m))
            result = row[6] if row else "pending"
            if result in ("survived", "equivalent") and m.describe() in reviewed:
                result = "equivalent"
            by = "  [%s]" % killed_by(row) if row and result == "killed" else ""
            print("%-10s %5s s  %s%s%s" % (result, row[8] if row else "-", m.describe(),
                                            "  (%s)" % row[7] if row and row[7] else "", by))
        counts = report(results, sample, reviewed, args.seed)
        return 1 if counts["survived"] else 0
    if args.retest_survivors:
        results = {k: v for k, v in results.items() if v[6] != "survived"}
        with open(results_path, "w", encoding="utf-8") as handle:
            for fields in results.values():
                handle.write("\t".join(fields) + "\n")
    if not os.path.exists(results_path):
        with open(results_path, "w", encoding="utf-8") as handle:
            handle.write("# id\tfile\tline\toperator\toriginal\treplacement\tresult\tfirst failing test\tseconds"
                         "\tkilled by\n")

    signal.signal(signal.SIGINT, restore_on_signal)
    signal.signal(signal.SIGTERM, restore_on_signal)
    signal.signal(signal.SIGHUP, restore_on_signal)

    with open(os.path.join(out_dir, "logs", "baseline.log"), "w", encoding="utf-8") as log:
        if run(["cmake", "--build", args.build, "-j%d" % args.jobs], log) != 0:
            sys.stderr.write("mutation sample: the tree does not build as it is\n")
            return 2

    pending = [m for m in sample if m.id not in results]
    print("seed %d: %d of %d mutants to run" % (args.seed, len(pending), len(sample)))
    for index, m in enumerate(pending, start=1):
        planted = Planted(m)
        log_path = log_path_of(out_dir, args.seed, m)
        started = time.time()
        try:
            if m.describe() in reviewed and not args.run_equivalents:
                # Reviewed already: it passed the whole suite once, and a rerun takes minutes.
                result, test, by = "equivalent", "reviewed, not run", "-"
            elif not planted.plant():
                result, test, by = "stale", "the line no longer reads so", "-"
            else:
                result, test, by = test_mutant(m, args.build, args.jobs, log_path, args.sanitizer_build)
        finally:
            planted.restore()
        seconds = time.time() - started
        label = "equivalent" if result in ("survived", "equivalent") and m.describe() in reviewed else result
        print("[%d/%d] %-10s %5.0f s  %s%s%s" % (index, len(pending), label, seconds, m.describe(),
                                                "  (%s)" % test if test else "",
                                                "  [sanitizer]" if by == "sanitizer" else ""), flush=True)
        if result == "stale":
            continue
        row = [m.id, m.path, str(m.line), m.operator, m.original, m.replacement, result, test,
               "%.0f" % seconds, by]
        with open(results_path, "a", encoding="utf-8") as handle:
            handle.write("\t".join(row) + "\n")
        results[m.id] = row

    # Leave the build matching the restored tree.
    with open(os.path.join(out_dir, "logs", "final.log"), "w", encoding="utf-8") as log:
        run(["cmake", "--build", args.build, "-j%d" % args.jobs], log)
    counts = report(results, sample, reviewed, args.seed)
    return 1 if counts["survived"] else 0


if __name__ == "__main__":
    sys.exit(main())
