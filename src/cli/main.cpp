// rowcaster-cli: batch conversion and a window-free way to every conversion step.

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Args.h"
#include "platform/Memory.h"
#include "cli/Commands.h"

namespace {

using namespace rowcaster::cli;

// Each command: its name, what it does with its arguments, and its help.
struct Command {
  const char* name;
  int (*run)(std::vector<std::string>);
  const char* help;
};

const Command kCommands[] = {
    {"convert", ConvertCommand,
     "  convert FILE [--table NAME] (--map COL=CODE ... | --map-by-name) [--template FILE]\n"
     "          [--rules classic|recommended] [--agency CODE] [--report FILE] [--profile NAME|FILE]\n"
     "          [--cbk FILE] [--now YYYY-MM-DDTHH:MM:SS] [--encoding gbk|gb18030|utf-8]\n"
     "          [--format iso2709|marcxml|text] [--overwrite] [--keep-duplicates] (-o OUT | --dry-run)\n"
     "          [--holdings 905|905-per-copy|koha-unimarc|TEMPLATE] [--library CODE] [--location TEXT]\n"
     "          [--item-type TEXT]\n"
     "      Converts every row of a table (default: the first) into a CNMARC record appended to\n"
     "      OUT. COL is a column name or its number from 1; --map-by-name maps the columns named\n"
     "      exactly like a code (200a, 010a, ...), then the columns whose names the column-name\n"
     "      file knows (书名, 作者, ISBN, 定价, 出版社 ...; see codes) where their values fit the code\n"
     "      (a page column of prices, a title column of numbers are left; category columns such as\n"
     "      类别 are only offered); a --map given beside it wins, one column takes one --map. The\n"
     "      mapping and the columns left, with why, are said on standard error before converting.\n"
     "      Without a title column nothing is converted: the table's columns are listed.\n"
     "      Classic rules (the default) need title (200a),\n"
     "      ISBN (010a) and price (010d) mapped; the recommended rules check and reshape the\n"
     "      values and need the title only (--agency: the 801 $b agency code). Prints \"写入 N 条记录，…\"\n"
     "      under a Chinese locale, \"written N records, …\" under another, and a summary by kind on\n"
     "      standard error; --report FILE writes a line a finding (row, sheet row, title, ISBN,\n"
     "      level, kind, field, message), tab-separated, or a workbook when FILE ends in .xlsx.\n"
     "      A partial record at the end of OUT (a\n"
     "      run that was killed) is cut off first; a file whose records do not chain or that is not\n"
     "      ISO 2709 is refused and left as it was.\n"
     "      --dry-run composes every row, writes nothing and prints the report. --profile takes\n"
     "      rules, template, agency code and mapping from a profile (标准, 推荐 or a file); the\n"
     "      flags given beside it win.\n"
     "      The recommended rules merge a row that repeats an earlier one (the same ISBN and\n"
     "      title, or without ISBN the same title, first author, publisher and year) into that\n"
     "      row's record, adding up the copies (905 $f) and joining the barcodes (905 $b), and say\n"
     "      how many rows were merged; --keep-duplicates (or the profile's keepDuplicates) gives\n"
     "      every row its record. Rows with one title under several ISBNs are kept, reported and\n"
     "      given their volume numbers in 200 $h when the titles or a volume column (905v) say which.\n"
     "      --format: ISO 2709 (default), MARCXML (MARC21 slim, always UTF-8) or a readable\n"
     "      listing; --encoding: GBK (the default for ISO 2709), GB18030 or UTF-8 (the default for\n"
     "      the other two; 100 $a then says character set 50). In GBK a character it lacks is\n"
     "      written as \"?\", counted and reported for its row. OUT is appended to (said on\n"
     "      standard error) unless --overwrite replaces it; records in another encoding than the\n"
     "      ones OUT holds are refused. When appending without lookups the rows are used while the\n"
     "      table is still being read (the classic rules convert them, the recommended rules look\n"
     "      for repeats among them); a table whose reading then fails leaves OUT as it was.\n"
     "      Exit 1 when a row failed, the table could not be read or OUT could not be written.\n\n"
     "      --holdings (recommended rules) writes the item fields a library system makes its copies\n"
     "      from: 905 (one 905: $a location, $b barcodes, $d class, $e book number, $f copies,\n"
     "      $s call number), 905-per-copy (a 905 a copy), koha-unimarc (a 995 a copy for Koha, UTF-8\n"
     "      unless --encoding says otherwise) or a field template with {barcode} {callno} {location}\n"
     "      {library} {agency} {itemtype} {price} {copy} (\"985  |a{barcode}|b{callno}\"). Barcodes come\n"
     "      from 905b (ranges T0001-T0010, 0010201-10, lists), copies from 905f, the class from 905d\n"
     "      or 690a, the book number from 905e; --library defaults to the agency code.\n"
     "      Copy cataloguing (套录): --copy-from NAME|URL (repeatable; a profile's \"targets\" when\n"
     "      none is given) looks every row up in those catalogues before converting, by ISBN, and\n"
     "      with --copy-by-title rows without a valid ISBN by title and first author. A record\n"
     "      found under the row's title is the base: the row adds 001, its price when the record\n"
     "      has none (--copy-price-always: always), 905 and notes; 035 keeps the source's 001 and\n"
     "      801 gets a second occurrence for the agency. Rows not found keep their own record and\n"
     "      are reported (未套录到). --lookup-timeout S (10), --lookup-connections N (8),\n"
     "      --no-lookup-cache (answers are otherwise kept 30 days in the user's cache folder).\n"
     "      Holdings check (查重): --check-holdings NAME|URL|FILE asks the library's own catalogue\n"
     "      (a target; a profile's target marked \"own\" when none is given) or reads an export of\n"
     "      it (ISO 2709 in UTF-8 or GBK, or MARCXML), matching by ISBN, else by title, first\n"
     "      author, publisher and year. A held row is reported and, by --held (or --holdings)\n"
     "      skip (default: no record), convert (its record anyway) or items (a brief record of\n"
     "      001, 010, 100, 200, 801, 035 with the held record's id and the item fields, for the\n"
     "      library system to add the copies to the record it holds).\n"},
    {"preview", PreviewCommand,
     "  preview FILE [--table NAME] [--row N] (--map COL=CODE ... | --map-by-name)\n"
     "          [--rules classic|recommended] [--agency CODE] [--template FILE] [--cbk FILE]\n"
     "          [--encoding gbk|gb18030|utf-8] [--copy-from NAME|URL ...] [--check-holdings W]\n"
     "      Prints the record of row N (default 1) as it would be written, one field a line\n"
     "      (tag, indicators, $subfields), with the row's warnings; writes nothing. With\n"
     "      catalogues, the row is looked up first and the merged record shown.\n"},
    {"compose", ComposeCommand,
     "  compose [--rules classic|recommended] [--agency CODE] [--now YYYY-MM-DDTHH:MM:SS]\n"
     "          [--template FILE] [--cbk FILE] CODE=VALUE ...\n"
     "      Composes the record of one row whose subfield CODE (010a, 200a, 200f, ...) holds\n"
     "      VALUE, and prints its work form (UTF-8, CR LF) as it goes to the record builder.\n"
     "      The rule set's template and the cbk.db beside the program are used unless given;\n"
     "      the row's warnings (recommended rules) go to standard error.\n"},
    {"profile", ProfileCommand,
     "  profile save FILE [--name NAME] [--rules classic|recommended] [--template FILE]\n"
     "          [--agency CODE] [--map COL=CODE ...] [--map-by-name] [--encoding E] [--format F]\n"
     "          [--default-role ROLE] [--keep-duplicates]\n"
     "  profile show NAME|FILE\n"
     "      Writes a conversion profile (JSON) from the options, named NAME or else after the\n"
     "      file (书商目录.json: 书商目录), or prints one (标准, 推荐 or a file) with the template it\n"
     "      uses. COL is a column name, or a number from 1 for the column's position.\n"
     "      --default-role: the role the recommended rules give names without one (著; \"\" none).\n"},
    {"lookup", LookupCommand,
     "  lookup --target NAME|URL [--timeout S] [--title TITLE [--author NAME]] ISBN ...\n"
     "      Looks each ISBN (ISBN-13, ISBN-10 and hyphenated forms at once) up in one catalogue\n"
     "      and prints the records found, one field a line, as preview does. URL:\n"
     "      z3950://HOST:PORT/DATABASE?syntax=unimarc|marcxml&esn=F&charset=utf-8|gbk|gb18030\n"
     "      or sru://HOST:PORT/PATH?... (same keys); NAME: a target of the user's targets file.\n"
     "      Exit 1 when nothing was found or the catalogue failed.\n"},
    {"targets", TargetsCommand,
     "  targets [--test NAME|URL] [--timeout S]\n"
     "      Lists the catalogues of the user's targets file ($XDG_CONFIG_HOME/rowcaster/targets.json,\n"
     "      passwords never shown), or tests whether one answers.\n"},
    {"codes", CodesCommand,
     "  codes\n"
     "      Lists the 38 subfield codes a column can feed, with their names and the column names\n"
     "      that --map-by-name (and the window) map to each.\n"},
    {"tables", TablesCommand,
     "  tables FILE\n"
     "      Lists the tables of an .xls, .xlsx, .mdb, .accdb, .dbf, .csv, .tsv or .txt file\n"
     "      that can be converted, one a line (a workbook's worksheets as NAME$, hidden ones\n"
     "      too; a .dbf or text table is its own table).\n"},
    {"dump", DumpCommand,
     "  dump FILE [--table NAME]\n"
     "      Prints a table (default: the first) as tab-separated UTF-8 text: the field names,\n"
     "      then one line per record; tab, CR, LF and backslash in a cell are written \\t \\r \\n \\\\.\n"},
    {"iso", IsoCommand,
     "  iso [--now YYYY-MM-DDTHH:MM:SS] [--encoding gbk|gb18030|utf-8] [--format iso2709|marcxml|text]\n"
     "      Reads work-form records (UTF-8, one field per line, records separated by an empty\n"
     "      line) from standard input and writes one record per work form to standard output:\n"
     "      ISO 2709 in GBK unless --encoding or --format says otherwise.\n"},
    {"pinyin", PinyinCommand,
     "  pinyin [--names] TEXT ...\n"
     "      Prints the pinyin of each TEXT on a line of its own (toneless, lower case, one blank\n"
     "      between syllables). --names reads the texts as personal names (surname readings).\n"},
    {"read", ReadCommand,
     "  read CONNECTION [QUERY]\n"
     "      The reader the window runs for each data file, streaming a table back in frames;\n"
     "      not meant to be called by hand.\n"},
};

const char kExitText[] =
    "Exit status: 0 success, 1 input refused or a record failed (reason on standard error),\n"
    "2 usage error.\n";

void PrintUsage(std::FILE* to) {
  std::fputs("Usage: rowcaster-cli COMMAND [ARGS]      (rowcaster-cli COMMAND --help for one command)\n"
             "       rowcaster-cli --version\n\nCommands:\n", to);
  for (const Command& c : kCommands) {
    if (std::string_view(c.name) == "read") continue;
    std::fputs(c.help, to);
    std::fputc('\n', to);
  }
  std::fputs(kExitText, to);
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  rowcaster::AdaptToMemoryLimit();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(args.empty() ? stderr : stdout);
    return args.empty() ? kExitUsage : kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("rowcaster-cli %s\n", ROWCASTER_VERSION);
    return kExitOk;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  try {
    for (const Command& c : kCommands) {
      if (command != c.name) continue;
      if (AsksForHelp(args)) {
        std::printf("Usage:\n%s\n%s", c.help, kExitText);
        return kExitOk;
      }
      return c.run(std::move(args));
    }
    std::fprintf(stderr, "rowcaster-cli: unknown command '%s'\n\n", command.c_str());
    PrintUsage(stderr);
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "rowcaster-cli: 内存不足：可用的内存（或地址空间限制）不够完成这项工作。\n");
    return kExitFailed;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "rowcaster-cli: %s\n", e.text.c_str());
    return kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rowcaster-cli: %s\n", e.what());
    return kExitFailed;
  }
}
