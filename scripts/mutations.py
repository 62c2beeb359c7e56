#!/usr/bin/env python3
"""Applies one planted bug at a time, builds, runs the tests, and puts the file back.

  scripts/mutations.py list              the bugs, by number
  scripts/mutations.py run [N ...]       all of them, or the ones named; prints caught/survived
  scripts/mutations.py apply N           leaves bug N in the working tree (git checkout -- FILE undoes it)

BUILD (default build-h) names the build folder; it must have been configured already.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("BUILD", "build-h")
# The window's tests keep settings; a folder of their own keeps other checkouts' runs out of them.
CONFIG = os.path.join(ROOT, BUILD, "mutation-config")
GUI_TESTS = r"^(Window|PickList|WindowStartUp|ActivationOrder|Dialogs|Atlas|Skinned|FittedCaption)\."

# (file, text as it is, text with the bug, what the bug does)
MUTATIONS = [
    ("src/output/ExistingOutput.cpp",
     "text::IsValidUtf8(bytes.substr(0, bytes.size() - text::IncompleteUtf8Tail(bytes)))",
     "text::IsValidUtf8(bytes)",
     "encoding family: a block ending inside a character is not trimmed"),
    ("src/output/ExistingOutput.cpp",
     "if (found == Family::Unknown || (found == Family::Utf8) == utf8) return;",
     "if ((found == Family::Utf8) == utf8) return;",
     "encoding family: ASCII-only records count as GBK"),
    ("src/output/ExistingOutput.cpp",
     "      if (terminated == 0) ++e.records;\n",
     "",
     "count: the record without a terminator is not counted"),
    ("src/output/ExistingOutput.cpp",
     "if (c == '\\r' || c == '\\n') {",
     "if (c == '\\n') {",
     "framing: CR between records is not a line end"),
    ("src/output/ExistingOutput.cpp",
     "if (whole == 0 && frame.framing == Framing::NotARecord) {",
     "if (frame.framing == Framing::NotARecord) {",
     "framing: stray bytes after whole records refuse the file as not ISO 2709"),
    ("src/output/ExistingOutput.cpp",
     "    if (!chunk.empty() && before == '\\n' && chunk[0] == '\\n') ++e.records;\n",
     "",
     "listing count: an empty line split across two 64 KiB blocks is not counted"),
    ("src/output/OutputFile.cpp",
     "  if (!onlyEpilogue) cutBytes_ = size - existing_.appendAt;",
     "  cutBytes_ = size - existing_.appendAt;",
     "append: the MARCXML end tag rewritten is reported as cut bytes"),
    ("src/iso2709/Decoder.cpp",
     "base + e.start + e.length > dataEnd",
     "base + e.start + e.length >= dataEnd",
     "directory: the last field may not end right before the record terminator"),
    ("src/iso2709/Decoder.cpp",
     "if ((i < 5 || i >= 12) && (c < '0' || c > '9')) return false;",
     "if ((i < 5 || i > 12) && (c < '0' || c > '9')) return false;",
     "partial leader: base address's first byte not checked"),
    ("src/iso2709/Decoder.cpp",
     "f.framing = terminated ? Framing::BadLength : LeaderSoFar(bytes) ? Framing::Partial : Framing::NotARecord;",
     "f.framing = LeaderSoFar(bytes) ? Framing::Partial : Framing::NotARecord;",
     "length: a length past the end with a terminator there counts as a partial tail"),
    ("src/convert/Profile.cpp",
     "if (!p.columns.empty() && p.columns == names)",
     "if (!p.columns.empty())",
     "MatchProfile: positions used on a table with other columns"),
    ("src/convert/Profile.cpp",
     """  MatchPass(pending, names, match.codes,
            [&](const ProfileColumn& m, std::size_t c) { return !m.column.empty() && names[c] == m.column; });
  MatchPass(pending, names, match.codes, [&](const ProfileColumn& m, std::size_t c) {
    return !m.column.empty() && mapping::ColumnKey(names[c]) == mapping::ColumnKey(m.column);
  });
""",
     """  MatchPass(pending, names, match.codes, [&](const ProfileColumn& m, std::size_t c) {
    return !m.column.empty() && mapping::ColumnKey(names[c]) == mapping::ColumnKey(m.column);
  });
  MatchPass(pending, names, match.codes,
            [&](const ProfileColumn& m, std::size_t c) { return !m.column.empty() && names[c] == m.column; });
""",
     "MatchProfile: normalised names before exact names"),
    ("src/convert/Profile.cpp",
     "    if (Taken(codes, m->code)) continue;  // a column named for the code has it already\n",
     "",
     "MatchProfile: one code given twice"),
    ("src/words/Words.cpp",
     'e.utf8Records ? "UTF-8" : "GBK/GB18030"',
     'e.utf8Records ? "GBK/GB18030" : "UTF-8"',
     "refusal wording: the two encodings named the wrong way round"),
    ("src/words/RunMessage.cpp",
     "if (input.format != iso2709::Format::Iso2709 || input.encoding != iso2709::Encoding::Gbk)",
     "if (input.format != iso2709::Format::Iso2709 && input.encoding != iso2709::Encoding::Gbk)",
     "end message: ISO 2709 in UTF-8/GB18030 not named"),
    ("src/convert/ConversionRun.cpp",
     "  if (n == 0) return false;\n",
     "",
     "RepeatsExistingRecords: a table of no rows repeats any file"),
    ("src/convert/ConversionRun.cpp",
     "      for (const Finding& f : r.findings) ++result.counts[f.kind];\n      if (r.record.empty()) {\n",
     "      if (r.record.empty()) {\n        for (const Finding& f : r.findings) ++result.counts[f.kind];\n",
     "counts by kind: warnings of written records not counted"),
    ("src/convert/Values.cpp",
     "    if (c == '\\n') {\n      out += ' ';",
     "    if (c == '\\n' || c == '\\r') {\n      out += ' ';",
     "ClassicOneLine: a lone CR becomes a blank"),
    ("src/convert/Price.cpp",
     "if (negative || !(amount > 0) || !std::isfinite(amount)) return std::nullopt;",
     "if (negative || amount < 0 || !std::isfinite(amount)) return std::nullopt;",
     "price: 0 accepted"),
    ("src/convert/Isbn.cpp",
     "digits.find('X') >= 9",
     "digits.find('X') > 9",
     "ISBN-10 with the check digit X refused"),
    ("src/convert/Persons.cpp",
     '{"评注", true},  {"点评", true},',
     '{"评注", true},  {"点评", false},',
     "roles: 点评 primary (701 instead of 702)"),
    # Elsewhere.
    ("src/convert/Composition.cpp",
     "    if (nonBlank <= 5) continue;",
     "    if (nonBlank < 5) continue;",
     "classic: a line of exactly five characters kept"),
    ("src/convert/Composition.cpp",
     "for (std::string& value : v) value = ClassicOneLine(value);",
     "for (std::string& value : v) value = OneLine(value);",
     "classic: tabs in values become blanks"),
    ("src/convert/Composition.cpp",
     'v[d690v].empty() ? whole("|v 4")',
     'v[d690v].empty() ? whole("|v 5")',
     "classic: CLC edition default 5 instead of 4"),
    ("src/iso2709/IsoRecord.cpp",
     "return t >= 10 ? t : -1;",
     "return t > 10 ? t : -1;",
     "work form: tag 010 is not a field"),
    ("src/iso2709/Writers.cpp",
     "long long total = 24 + 1 + 1, base = 24 + 1;",
     "long long total = 24 + 1 + 1, base = 24;",
     "MARCXML/listing leader: base address one short"),
    ("src/mapping/ColumnNames.cpp",
     "if (!code || std::find(mapping.begin(), mapping.end(), *code) != mapping.end()) continue;",
     "if (!code) continue;",
     "map by names: a code given to two columns"),
    ("src/app/MainWindow.cpp",
     "(profileSource_.empty() || profileSource_ == convert::kStandardProfile)",
     "(profileSource_ == convert::kStandardProfile)",
     "window: the last mapping comes back under the standard rules before any profile"),
    ("src/platform/data/CsvSource.cpp",
     "    if (score > bestCount) {",
     "    if (score >= bestCount) {",
     "CSV: ties between delimiters go to the later one"),
    ("src/convert/Imprint.cpp",
     "if (comma != std::string::npos && ParseYear(std::string_view(result.publisher).substr(comma))) {",
     "if (comma != std::string::npos) {",
     "imprint: any text after the publisher's last comma taken as the date"),
]

TESTS = [
    ("rowcaster_tests", [f"{BUILD}/rowcaster_tests", "--gtest_brief=1"], {}),
    # The window's tests one by one through CTest: a real file dialog now and then waits for good,
    # so each has a time limit and one more try.
    ("rowcaster_gui_tests", ["ctest", "--test-dir", BUILD, "-R", GUI_TESTS, "--timeout", "120", "--repeat",
                             "until-pass:2", "--parallel", "1"], {"XDG_CONFIG_HOME": CONFIG}),
    ("ctest cli|translations|quality", ["ctest", "--test-dir", BUILD, "-R", "cli|translations|quality", "--parallel", "1"], {"XDG_CONFIG_HOME": CONFIG}),
]


def apply(n):
    path, old, new, _ = MUTATIONS[n - 1]
    full = os.path.join(ROOT, path)
    text = open(full, encoding="utf-8").read()
    if text.count(old) != 1:
        sys.exit(f"mutation {n}: the text to change is in {path} {text.count(old)} times, not once")
    open(full, "w", encoding="utf-8").write(text.replace(old, new))


def revert(n):
    subprocess.run(["git", "checkout", "--", MUTATIONS[n - 1][0]], cwd=ROOT, check=True)


def failed_tests(name, out):
    if not name.startswith("rowcaster_tests"):
        return [l.split(" - ", 1)[1].split()[0] for l in out.splitlines() if " - " in l and l.rstrip().endswith(")")]
    return sorted({l.split("]", 1)[1].split()[0] for l in out.splitlines() if l.startswith("[  FAILED  ]") and "." in l})


def run(n):
    apply(n)
    try:
        build = subprocess.run(["cmake", "--build", BUILD, "--parallel", "1", "--target", "rowcaster_tests",
                                "rowcaster-cli", "rowcaster_gui_tests"], cwd=ROOT, capture_output=True, text=True)
        if build.returncode != 0:
            return "does not compile"
        caught = []
        for name, cmd, env in TESTS:
            try:
                r = subprocess.run(cmd, cwd=ROOT, capture_output=True, text=True, errors="replace", env={**os.environ, **env}, timeout=600)
            except subprocess.TimeoutExpired:
                caught.append(name + " (timed out)")
                continue
            if r.returncode != 0:
                caught += failed_tests(name, r.stdout + r.stderr) or [name]
                break  # caught: the later sets need not run
        return "caught: " + ", ".join(caught) if caught else "SURVIVED"
    finally:
        revert(n)


def main():
    args = sys.argv[1:]
    if not args or args[0] == "list":
        for k, (path, _, _, what) in enumerate(MUTATIONS, 1):
            print(f"{k:2}  {path}: {what}")
    elif args[0] == "apply":
        apply(int(args[1]))
    elif args[0] == "run":
        picked = [int(a) for a in args[1:]] or range(1, len(MUTATIONS) + 1)
        for n in picked:
            print(f"{n:2}  {MUTATIONS[n - 1][3]}: {run(n)}", flush=True)
        # Leave the tree built from the unchanged sources.
        subprocess.run(["cmake", "--build", BUILD, "--parallel", "1"], cwd=ROOT, capture_output=True)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
