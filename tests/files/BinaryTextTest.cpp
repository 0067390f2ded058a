// Binary files, text files with handles and the single file: round trips through the functions,
// the reading rules of lines and numbers, and every refusal with its message.
#include <vector>

#include "FilesFixture.h"

namespace kestro::test {
namespace {

using Files = FilesTest;

TEST_F(Files, BinaryBytesRoundTripWithTheLowEightBits) {
  const double h = Real("file_bin_open", {S("data.bin"), R(1)});
  ASSERT_GE(h, 1);
  for (double b : {0.0, 255.0, 256.0, -1.0, 65.4, 65.5}) Call("file_bin_write_byte", {R(h), R(b)});
  EXPECT_EQ(Real("file_bin_position", {R(h)}), 6);
  Call("file_bin_close", {R(h)});
  EXPECT_EQ(Read("data.bin"), std::string("\x00\xFF\x00\xFF\x41\x42", 6));

  const double r = Real("file_bin_open", {S("data.bin"), R(0)});
  EXPECT_EQ(Real("file_bin_size", {R(r)}), 6);
  Call("file_bin_seek", {R(r), R(1)});
  EXPECT_EQ(Real("file_bin_read_byte", {R(r)}), 255);
  Call("file_bin_seek", {R(r), R(6)});
  EXPECT_EQ(Real("file_bin_read_byte", {R(r)}), 0);
  EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Error reading byte."});
  Call("file_bin_write_byte", {R(r), R(1)});  // opened for reading only
  EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Error writing byte."});
}

TEST_F(Files, BinaryOpenKeepsOrCreatesContentAndRewriteEmpties) {
  // Mode 0 of a missing file creates it empty.
  const double h = Real("file_bin_open", {S("new.bin"), R(0)});
  ASSERT_GE(h, 1);
  EXPECT_TRUE(std::filesystem::exists(Path("new.bin")));
  EXPECT_EQ(Real("file_bin_size", {R(h)}), 0);
  Call("file_bin_close", {R(h)});

  // Mode 1 keeps the content: one byte written replaces only the first.
  Write("keep.bin", "abc");
  const double w = Real("file_bin_open", {S("keep.bin"), R(1)});
  Call("file_bin_write_byte", {R(w), R('X')});
  EXPECT_EQ(Read("keep.bin"), "Xbc");
  Call("file_bin_rewrite", {R(w)});
  EXPECT_EQ(Real("file_bin_position", {R(w)}), 0);
  EXPECT_EQ(Read("keep.bin"), "");
  // Mode 2 reads and writes.
  const double rw = Real("file_bin_open", {S("keep.bin"), R(2)});
  Call("file_bin_write_byte", {R(rw), R(7)});
  Call("file_bin_seek", {R(rw), R(0)});
  EXPECT_EQ(Real("file_bin_read_byte", {R(rw)}), 7);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Files, InvalidBinaryHandlesAreRefusedWithTheirMessages) {
  const double open = Real("file_bin_open", {S("x.bin"), R(1)});
  Call("file_bin_close", {R(open)});
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    const char* message;
  } cases[] = {
      {"file_bin_rewrite", {R(open)}, "Trying to rewrite unopened file."},
      {"file_bin_close", {R(open)}, "Trying to close unopened file."},
      {"file_bin_close", {R(0)}, "Trying to close unopened file."},
      {"file_bin_size", {R(33)}, "File is not opened."},
      {"file_bin_position", {R(-1)}, "File is not opened."},
      {"file_bin_seek", {R(open), R(0)}, "File is not opened."},
      {"file_bin_read_byte", {R(1e300)}, "File is not opened."},
      {"file_bin_write_byte", {R(open), R(1)}, "File is not opened."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Real(c.fn, c.args), 0) << c.fn;
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{c.message}) << c.fn;
  }
}

TEST_F(Files, ThirtyTwoFilesPerTableAndTheTablesAreSeparate) {
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(Real("file_bin_open", {S("f" + std::to_string(i)), R(1)}), i);
  EXPECT_EQ(Real("file_bin_open", {S("f33"), R(1)}), -1);
  EXPECT_EQ(TakeErrors(), std::vector<std::string>{"Cannot open another file (maximum exceeded)."});
  EXPECT_EQ(Real("file_text_open_write", {S("t.txt")}), 1);
  // A closed slot is the next one handed out.
  Call("file_bin_close", {R(7)});
  EXPECT_EQ(Real("file_bin_open", {S("again"), R(0)}), 7);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Files, NumbersAreWrittenWithACutSixDigitFraction) {
  const struct {
    double x;
    const char* text;
  } cases[] = {
      {3, " 3"},
      {2.5, " 2.500000"},
      {-1.25, " -1.250000"},
      {0.0000001, " 0"},
      {-0.5, " -0.500000"},
      {0, " 0"},
      {1e20, " 100000000000000000000"},
      {0.9999999, " 0.999999"},
  };
  for (const auto& c : cases) EXPECT_EQ(files::RealText(c.x), c.text) << c.x;
}

TEST_F(Files, TextNumbersAndLinesRoundTrip) {
  const double f = Real("file_text_open_write", {S("n.txt")});
  Call("file_text_write_real", {R(f), R(3)});
  Call("file_text_write_real", {R(f), R(-0.5)});
  Call("file_text_writeln", {R(f)});
  Call("file_text_write_string", {R(f), S("second line")});
  // Every write reaches the file at once.
  EXPECT_EQ(Read("n.txt"), " 3 -0.500000\r\nsecond line");
  Call("file_text_close", {R(f)});

  const double g = Real("file_text_open_read", {S("n.txt")});
  EXPECT_EQ(Real("file_text_read_real", {R(g)}), 3);
  EXPECT_EQ(Real("file_text_read_real", {R(g)}), -0.5);
  EXPECT_EQ(Real("file_text_eoln", {R(g)}), 1);
  Call("file_text_readln", {R(g)});
  EXPECT_EQ(Text("file_text_read_string", {R(g)}), "second line");
  EXPECT_EQ(Real("file_text_eof", {R(g)}), 1);
  EXPECT_EQ(Text("file_text_read_string", {R(g)}), "");
  EXPECT_TRUE(TakeErrors().empty());

  // Appending goes on at the end.
  const double a = Real("file_text_open_append", {S("n.txt")});
  Call("file_text_write_string", {R(a), S("!")});
  EXPECT_EQ(Read("n.txt"), " 3 -0.500000\r\nsecond line!");
}

TEST_F(Files, NumbersAreReadByTheHandleAndTheSingleFileRules) {
  const struct {
    const char* text;
    double handle;  // file_text_read_real
    double single;  // file_read_real
  } cases[] = {
      {"12 34", 12, 1234}, {"3,25", 3.25, 3.25}, {"1.2.3", 1.2, 1.2},   {"  -7x", -7, -7},
      {"4-5", 4, -45},     {"0.3", 0.3, 0.3},    {"- . 5", -0.5, -0.5}, {"abc", 0, 0},
      {"", 0, 0},          {"9\r\n8", 9, 9},     {"9\n8", 9, 9},
  };
  for (const auto& c : cases) {
    Write("r.txt", c.text);
    const double h = Real("file_text_open_read", {S("r.txt")});
    EXPECT_EQ(Real("file_text_read_real", {R(h)}), c.handle) << c.text;
    Call("file_text_close", {R(h)});
    Call("file_open_read", {S("r.txt")});
    EXPECT_EQ(Real("file_read_real"), c.single) << c.text;
    Call("file_close");
  }
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Files, LinesEndAtCrLfOrLf) {
  const struct {
    const char* bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"ab\r\ncd\r\n", {"ab", "cd"}},
      {"ab\ncd\n", {"ab", "cd"}},
      {"ab\ncd", {"ab", "cd"}},
      {"a\rb\r\nc", {"ab", "c"}},  // a lone CR is left out
      {"ab\x1a"
       "cd",
       {"ab"}},  // byte 26 ends the file
      {"no line end", {"no line end"}},
      {"\n\nx", {"", "", "x"}},
  };
  for (const auto& c : cases) {
    Write("l.txt", c.bytes);
    const double h = Real("file_text_open_read", {S("l.txt")});
    std::vector<std::string> lines;
    while (Real("file_text_eof", {R(h)}) == 0 && lines.size() < 10) {
      lines.push_back(Text("file_text_read_string", {R(h)}));
      EXPECT_EQ(Real("file_text_eoln", {R(h)}), 1) << c.bytes;
      Call("file_text_readln", {R(h)});
    }
    EXPECT_EQ(lines, c.lines) << c.bytes;
    Call("file_text_close", {R(h)});
  }
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Files, TheSingleFileIsSlotZeroOfTheTextTable) {
  Call("file_open_write", {S("s.txt")});
  Call("file_write_string", {S("hello")});
  Call("file_write_real", {R(1.5)});
  Call("file_writeln");
  Call("file_close");
  EXPECT_EQ(Read("s.txt"), "hello 1.500000\r\n");
  Call("file_open_append", {S("s.txt")});
  Call("file_write_string", {S("more")});
  Call("file_open_read", {S("s.txt")});  // closes the appending file first
  EXPECT_EQ(Text("file_read_string"), "hello 1.500000");
  // Handle 0 reads the single file too.
  Call("file_readln");
  EXPECT_EQ(Text("file_text_read_string", {R(0)}), "more");
  EXPECT_EQ(Real("file_eof"), 1);
  // A missing file leaves the single file closed without a message.
  Call("file_open_read", {S("missing.txt")});
  EXPECT_TRUE(TakeErrors().empty());
  EXPECT_TRUE(Call("file_read_string").IsReal());
  EXPECT_EQ(TakeErrors(), std::vector<std::string>{"File not opened for reading."});
}

TEST_F(Files, TextFunctionsRefuseFilesNotOpenInTheirMode) {
  Write("r.txt", "x");
  const double r = Real("file_text_open_read", {S("r.txt")});
  const double w = Real("file_text_open_write", {S("w.txt")});
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    const char* message;
  } cases[] = {
      {"file_text_read_string", {R(w)}, "File is not opened for reading."},
      {"file_text_read_real", {R(0)}, "File is not opened for reading."},
      {"file_text_readln", {R(40)}, "File is not opened for reading."},
      {"file_text_eof", {R(w)}, "File is not opened for reading."},
      {"file_text_eoln", {R(-3)}, "File is not opened for reading."},
      {"file_text_write_string", {R(r), S("x")}, "File is not opened for writing."},
      {"file_text_write_real", {R(r), R(1)}, "File is not opened for writing."},
      {"file_text_writeln", {R(0)}, "File is not opened for writing."},
      {"file_text_close", {R(0)}, "Trying to close unexisting text file."},
      {"file_text_close", {R(33)}, "Trying to close unexisting text file."},
      {"file_read_string", {}, "File not opened for reading."},
      {"file_read_real", {}, "File not opened for reading."},
      {"file_readln", {}, "File not opened for reading."},
      {"file_eof", {}, "File is not opened for reading."},
      {"file_eoln", {}, "File is not opened for reading."},
      {"file_write_string", {S("x")}, "File not opened for writing."},
      {"file_write_real", {R(1)}, "File not opened for writing."},
      {"file_writeln", {}, "File not opened for writing."},
  };
  for (const Case& c : cases) {
    const RValue v = Call(c.fn, c.args);
    EXPECT_TRUE(v.IsReal() && v.val == 0) << c.fn;  // real 0, also where text is the result
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{c.message}) << c.fn;
  }
  EXPECT_EQ(Read("w.txt"), "");
  // A closed slot in range is closed quietly; a missing file opens as -1 without a message.
  Call("file_text_close", {R(5)});
  EXPECT_EQ(Real("file_text_open_read", {S("missing.txt")}), -1);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Files, OpenFilesAreClosedWhenTheGameEnds) {
  Real("file_bin_open", {S("a.bin"), R(1)});
  Real("file_text_open_write", {S("b.txt")});
  Call("file_open_write", {S("c.txt")});
  EXPECT_EQ(files::GameFiles().OpenBinaryCount(), 1);
  EXPECT_EQ(files::GameFiles().OpenTextCount(), 2);
  files::EndGameFiles();
  EXPECT_EQ(files::GameFiles().OpenBinaryCount(), 0);
  EXPECT_EQ(files::GameFiles().OpenTextCount(), 0);
}

}  // namespace
}  // namespace kestro::test
