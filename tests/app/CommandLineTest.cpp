// The command line split by the program's own rules, and the error report's text.
#include <gtest/gtest.h>

#include "app/main.h"

namespace {

struct Split {
  const char* commandLine;
  int index;
  const char* expected;
};

TEST(ParamStrTest, SplitsAsTheProgramDoes) {
  const Split rows[] = {
      {"prog.exe doc.mdi", 1, "doc.mdi"},
      {"prog.exe", 1, ""},
      {"", 1, ""},
      {"prog.exe   doc.mdi   second", 2, "second"},
      {"prog.exe \"C:\\My Docs\\a b.mdi\" x", 1, "C:\\My Docs\\a b.mdi"},
      {"\"C:\\Program Files\\Folirex.exe\" doc.mdi", 0, "C:\\Program Files\\Folirex.exe"},
      {"\"C:\\Program Files\\Folirex.exe\" doc.mdi", 1, "doc.mdi"},
      {"prog.exe a\"b c\"d", 1, "ab cd"},       // quotes group inside an argument
      {"prog.exe \"\" doc.mdi", 1, "doc.mdi"},  // an empty pair before an argument is skipped
      {"prog.exe \"\"\"\" doc.mdi", 1, "doc.mdi"},
      {"prog.exe \"unterminated run", 1, "unterminated run"},
      {"prog.exe\tdoc.mdi", 1, "doc.mdi"},  // every code from 1 to 32 separates
      {"prog.exe\x01"
       "doc.mdi",
       1, "doc.mdi"},
      {"prog.exe back\\\"slash\"", 1, "back\\slash"},  // no escape character
      {"prog.exe caf\xE9.mdi", 1, "caf\xE9.mdi"},      // codes above 127 are text
  };
  for (const Split& row : rows)
    EXPECT_EQ(ParamStr(row.commandLine, row.index), row.expected)
        << "command line [" << row.commandLine << "] index " << row.index;
}

TEST(ErrorReportTextTest, AddsAFullStopAfterCharactersAboveIt) {
  const std::pair<const char*, const char*> rows[] = {
      {"Cannot open clipboard", "Cannot open clipboard."},
      {"Page 6 does not exist: the document has 5 pages.",
       "Page 6 does not exist: the document has 5 pages."},
      {"Done!", "Done!"},  // '!' is below '.'
      {"ends with -", "ends with -"},
      {"ends with /", "ends with /."},  // '/' is just above '.'
      {"ends with 9", "ends with 9."},
      {"ends with )", "ends with )"},
      {"caf\xE9", "caf\xE9."},  // a code above 127 counts as above
      {"", ""},
  };
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(framework::ErrorReportText(text), expected) << "[" << text << "]";
}

}  // namespace
