// formc run as the build runs it: description in, exact stream bytes or a located error out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/StreamFormat.h"
#include "ToolPaths.h"
#include "tools/tests/ToolRunner.h"

namespace {

Bytes operator+(Bytes left, const Bytes& right) {
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

Bytes shortString(std::string_view text) {
  Bytes result{static_cast<std::uint8_t>(text.size())};
  result.insert(result.end(), text.begin(), text.end());
  return result;
}

Bytes rawText(std::string_view text) { return Bytes(text.begin(), text.end()); }

class FormcTest : public testing::Test {
 protected:
  Bytes compile(const std::string& description) {
    std::filesystem::path input = scratch_.write("form.txt", description);
    std::filesystem::path output = scratch_.file("form.bin");
    ToolResult result = runTool(kFormcPath, {input.string(), output.string()}, scratch_);
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_EQ(result.errorOutput, "");
    return readBytes(output);
  }

  // The bytes written for the value of property P of a lone component.
  Bytes valueBytes(const std::string& valueText) {
    Bytes all = compile("object A: TB\n  P = " + valueText + "\nend\n");
    Bytes head = rawText("TPF0") + shortString("TB") + shortString("A") + shortString("P");
    Bytes tail{vaNull, vaNull};
    if (all.size() < head.size() + tail.size() || !std::equal(head.begin(), head.end(), all.begin()) ||
        !std::equal(tail.begin(), tail.end(), all.end() - 2)) {
      ADD_FAILURE() << "stream does not frame a single property: " << valueText;
      return {};
    }
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(head.size()), all.end() - 2);
  }

  ScratchFolder scratch_;
};

TEST_F(FormcTest, IntegersTakeTheSmallestSizeThatHoldsThem) {
  struct Case {
    const char* text;
    Bytes expected;
  };
  const Case cases[] = {
      {"0", {vaInt8, 0x00}},
      {"127", {vaInt8, 0x7F}},
      {"-128", {vaInt8, 0x80}},
      {"128", {vaInt16, 0x80, 0x00}},
      {"-129", {vaInt16, 0x7F, 0xFF}},
      {"32767", {vaInt16, 0xFF, 0x7F}},
      {"-32768", {vaInt16, 0x00, 0x80}},
      {"32768", {vaInt32, 0x00, 0x80, 0x00, 0x00}},
      {"-32769", {vaInt32, 0xFF, 0x7F, 0xFF, 0xFF}},
      {"2147483647", {vaInt32, 0xFF, 0xFF, 0xFF, 0x7F}},
      {"-2147483648", {vaInt32, 0x00, 0x00, 0x00, 0x80}},
      {"2147483648", {vaInt64, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00}},
      {"-2147483649", {vaInt64, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"$FF", {vaInt16, 0xFF, 0x00}},
      {"$00FF00FF", {vaInt32, 0xFF, 0x00, 0xFF, 0x00}},
      {"-$10", {vaInt8, 0xF0}},
  };
  for (const Case& c : cases) EXPECT_EQ(valueBytes(c.text), c.expected) << c.text;
}

TEST_F(FormcTest, FloatsAreExtendedAndRoundTrip) {
  EXPECT_EQ(valueBytes("1.0"), (Bytes{vaExtended, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
  for (double value : {0.6, -2.5, 1e-3, 6.02e23}) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos) literal += ".0";
    Bytes bytes = valueBytes(literal);
    ASSERT_EQ(bytes.size(), 11u) << literal;
    EXPECT_EQ(bytes[0], vaExtended);
    EXPECT_EQ(ExtendedToDouble(bytes.data() + 1), value) << literal;
  }
  Bytes strength = valueBytes("0.6");
  ASSERT_EQ(strength.size(), 11u);
  EXPECT_EQ(ExtendedToDouble(strength.data() + 1), 0.6);
}

TEST_F(FormcTest, StringPiecesJoinIntoOneValue) {
  EXPECT_EQ(valueBytes("'ab'"), Bytes{vaString} + shortString("ab"));
  EXPECT_EQ(valueBytes("''"), (Bytes{vaString, 0}));
  EXPECT_EQ(valueBytes("'it''s'"), Bytes{vaString} + shortString("it's"));
  EXPECT_EQ(valueBytes("'ab'#13#10'cd'"), Bytes{vaString} + shortString("ab\r\ncd"));
  EXPECT_EQ(valueBytes("#$41#66"), Bytes{vaString} + shortString("AB"));
  EXPECT_EQ(valueBytes("'ab' +\n    'cd' + #33"), Bytes{vaString} + shortString("abcd!"));
  EXPECT_EQ(valueBytes("'Quillmere\xE9 x'"), Bytes{vaString} + shortString("Quillmere\xE9 x"));
  EXPECT_EQ(valueBytes("'// not a comment'"), Bytes{vaString} + shortString("// not a comment"));
}

TEST_F(FormcTest, StringsLongerThan255BytesBecomeLongStrings) {
  std::string longest(255, 'x');
  EXPECT_EQ(valueBytes("'" + longest + "'"), Bytes{vaString} + shortString(longest));

  std::string half(128, 'y');
  Bytes joined = valueBytes("'" + half + "' +\n '" + half + "'");
  EXPECT_EQ(joined, (Bytes{vaLString, 0x00, 0x01, 0x00, 0x00} + rawText(half + half)));
}

TEST_F(FormcTest, IdentifiersAndBooleans) {
  EXPECT_EQ(valueBytes("True"), Bytes{vaTrue});
  EXPECT_EQ(valueBytes("false"), Bytes{vaFalse});
  EXPECT_EQ(valueBytes("nil"), Bytes{vaNil});
  EXPECT_EQ(valueBytes("clBtnFace"), Bytes{vaIdent} + shortString("clBtnFace"));
  EXPECT_EQ(valueBytes("Form1.Pdf1"), Bytes{vaIdent} + shortString("Form1.Pdf1"));
  EXPECT_EQ(valueBytes("FileListBox1Click"), Bytes{vaIdent} + shortString("FileListBox1Click"));
}

TEST_F(FormcTest, SetsEndWithAnEmptyName) {
  EXPECT_EQ(valueBytes("[]"), (Bytes{vaSet, 0}));
  EXPECT_EQ(valueBytes("[fsBold, fsItalic]"),
            Bytes{vaSet} + shortString("fsBold") + shortString("fsItalic") + Bytes{0});
}

TEST_F(FormcTest, ListsHoldAnyValuesAndEndWithNull) {
  EXPECT_EQ(valueBytes("()"), (Bytes{vaList, vaNull}));
  EXPECT_EQ(valueBytes("(\n    'a'\n    'b')"),
            (Bytes{vaList, vaString} + shortString("a") + Bytes{vaString} + shortString("b") + Bytes{vaNull}));
  EXPECT_EQ(valueBytes("(1 (300) True)"),
            (Bytes{vaList, vaInt8, 1, vaList, vaInt16, 0x2C, 0x01, vaNull, vaTrue, vaNull}));
}

TEST_F(FormcTest, BinaryDataIgnoresLineBreaks) {
  EXPECT_EQ(valueBytes("{\n    0000050074210000}"),
            (Bytes{vaBinary, 8, 0, 0, 0, 0x00, 0x00, 0x05, 0x00, 0x74, 0x21, 0x00, 0x00}));
  EXPECT_EQ(valueBytes("{ ab CD\n  eF }"), (Bytes{vaBinary, 3, 0, 0, 0, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(valueBytes("{}"), (Bytes{vaBinary, 0, 0, 0, 0}));
}

TEST_F(FormcTest, CollectionItemsArePropertyListsWithOptionalOrder) {
  EXPECT_EQ(valueBytes("<>"), (Bytes{vaCollection, vaNull}));
  Bytes panels = valueBytes(
      "<\n"
      "    item\n"
      "      Width = 256\n"
      "    end\n"
      "    item\n"
      "      Width = 128\n"
      "      Text = 'x'\n"
      "    end>");
  EXPECT_EQ(panels, (Bytes{vaCollection} + shortString("Width") + Bytes{vaInt16, 0x00, 0x01, vaNull} +
                     shortString("Width") + Bytes{vaInt16, 0x80, 0x00} + shortString("Text") + Bytes{vaString} +
                     shortString("x") + Bytes{vaNull, vaNull}));

  Bytes ordered = valueBytes("<item [3] Sub = <item end> end>");
  EXPECT_EQ(ordered, (Bytes{vaCollection, vaInt8, 3} + shortString("Sub") + Bytes{vaCollection, vaNull, vaNull} +
                      Bytes{vaNull, vaNull}));
}

TEST_F(FormcTest, ComponentsNestWithPropertiesBeforeChildren) {
  Bytes stream = compile(
      "// the viewer window\n"
      "object Form1: TForm1\n"
      "  Font.Height = -11\n"
      "  // a comment between properties\n"
      "  object Panel1: TPanel\n"
      "    object Pdf1: TPdf\n"
      "      Left = 0\n"
      "    end\n"
      "  end\n"
      "  object Bar: TStatusBar\n"
      "  end\n"
      "end\n");
  Bytes expected = rawText("TPF0") + shortString("TForm1") + shortString("Form1") + shortString("Font.Height") +
                   Bytes{vaInt8, 0xF5, vaNull} +                                    //
                   shortString("TPanel") + shortString("Panel1") + Bytes{vaNull} +  //
                   shortString("TPdf") + shortString("Pdf1") + shortString("Left") + Bytes{vaInt8, 0, vaNull} +
                   Bytes{vaNull} +                                                           // Pdf1 has no children
                   Bytes{vaNull} +                                                           // Panel1's children end
                   shortString("TStatusBar") + shortString("Bar") + Bytes{vaNull, vaNull} +  //
                   Bytes{vaNull};                                                            // Form1's children end
  EXPECT_EQ(stream, expected);
}

TEST_F(FormcTest, InheritedAndInlineComponentsCarryAFlagsPrefix) {
  Bytes stream = compile(
      "inherited Form2: TForm2\n"
      "  inline Frame1: TFrame1\n"
      "  end\n"
      "  inherited Edit1: TEdit [2]\n"
      "  end\n"
      "  object Plain: TLabel\n"
      "  end\n"
      "end\n");
  Bytes expected = rawText("TPF0") + Bytes{0xF1} + shortString("TForm2") + shortString("Form2") + Bytes{vaNull} +
                   Bytes{0xF4} + shortString("TFrame1") + shortString("Frame1") + Bytes{vaNull, vaNull} +
                   Bytes{0xF3, vaInt8, 2} + shortString("TEdit") + shortString("Edit1") + Bytes{vaNull, vaNull} +
                   shortString("TLabel") + shortString("Plain") + Bytes{vaNull, vaNull} + Bytes{vaNull};
  EXPECT_EQ(stream, expected);
}

TEST_F(FormcTest, KeywordsAreCaseInsensitive) {
  EXPECT_EQ(compile("OBJECT A: TB\n  P = TRUE\nEnd\n"), (rawText("TPF0") + shortString("TB") + shortString("A") +
                                                         shortString("P") + Bytes{vaTrue, vaNull, vaNull}));
}

TEST_F(FormcTest, WholeWindowDescriptionCompiles) {
  Bytes stream = compile(
      "object Form1: TForm1\n"
      "  Left = 12\n"
      "  Caption = 'Quillmere___ Tandrel'\n"
      "  Font.Style = []\n"
      "  Color = clBtnFace\n"
      "  OldCreateOrder = False\n"
      "  BackFX.AlphaBlend.Strength = 0.6\n"
      "  ControlData = {\n"
      "    0000050074210000}\n"
      "  Items.Strings = (\n"
      "    'a'\n"
      "    'b')\n"
      "  Panels = <\n"
      "    item\n"
      "      Width = 256\n"
      "    end>\n"
      "  OnClick = FileListBox1Click\n"
      "  object Pdf1: TPdf\n"
      "    Left = 0\n"
      "  end\n"
      "end\n");
  std::uint8_t strength[10];
  DoubleToExtended(0.6, strength);
  Bytes expected = rawText("TPF0") + shortString("TForm1") + shortString("Form1") + shortString("Left") +
                   Bytes{vaInt8, 12} + shortString("Caption") + Bytes{vaString} + shortString("Quillmere___ Tandrel") +
                   shortString("Font.Style") + Bytes{vaSet, 0} + shortString("Color") + Bytes{vaIdent} +
                   shortString("clBtnFace") + shortString("OldCreateOrder") + Bytes{vaFalse} +
                   shortString("BackFX.AlphaBlend.Strength") + Bytes{vaExtended} + Bytes(strength, strength + 10) +
                   shortString("ControlData") + Bytes{vaBinary, 8, 0, 0, 0, 0, 0, 5, 0, 0x74, 0x21, 0, 0} +
                   shortString("Items.Strings") + Bytes{vaList, vaString} + shortString("a") + Bytes{vaString} +
                   shortString("b") + Bytes{vaNull} + shortString("Panels") + Bytes{vaCollection} +
                   shortString("Width") + Bytes{vaInt16, 0, 1, vaNull, vaNull} + shortString("OnClick") +
                   Bytes{vaIdent} + shortString("FileListBox1Click") + Bytes{vaNull} + shortString("TPdf") +
                   shortString("Pdf1") + shortString("Left") + Bytes{vaInt8, 0, vaNull, vaNull} + Bytes{vaNull};
  EXPECT_EQ(stream, expected);
}

struct BadDescription {
  const char* label;
  std::string text;
  std::string location;  // line:col
  std::string message;   // part of the message
};

void PrintTo(const BadDescription& bad, std::ostream* out) { *out << bad.label; }

class FormcRejects : public testing::TestWithParam<BadDescription> {
 protected:
  ScratchFolder scratch_;
};

TEST_P(FormcRejects, WithLocatedMessageAndNoOutput) {
  const BadDescription& bad = GetParam();
  std::filesystem::path input = scratch_.write("bad.txt", bad.text);
  std::filesystem::path output = scratch_.file("bad.bin");
  ToolResult result = runTool(kFormcPath, {input.string(), output.string()}, scratch_);
  EXPECT_EQ(result.exitCode, 1);
  std::string expectedStart = input.string() + ":" + bad.location + ": ";
  EXPECT_EQ(result.errorOutput.substr(0, expectedStart.size()), expectedStart) << result.errorOutput;
  EXPECT_NE(result.errorOutput.find(bad.message), std::string::npos) << result.errorOutput;
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_FALSE(std::filesystem::exists(output.string() + ".partial"));
}

const std::string kLongName(256, 'N');

INSTANTIATE_TEST_SUITE_P(
    Errors, FormcRejects,
    testing::Values(
        BadDescription{"UnterminatedString", "object A: TB\n  P = 'abc\nend\n", "2:7", "unterminated string"},
        BadDescription{"UnterminatedSecondPiece", "object A: TB\n  P = 'a'#13'b\nend\n", "2:13", "unterminated string"},
        BadDescription{"MissingEnd", "object A: TB\n  P = 1\n", "3:1", "missing 'end' for object 'A' opened at line 1"},
        BadDescription{"MissingChildEnd", "object A: TB\n  object C: TD\nend\n", "4:1", "missing 'end' for object 'A'"},
        BadDescription{"MissingEquals", "object A: TB\n  P 1\nend\n", "2:5", "expected '='"},
        BadDescription{"MissingColon", "object A TB\nend\n", "1:10", "expected ':'"},
        BadDescription{"MissingValue", "object A: TB\n  P =\nend\n", "3:1", "expected a value but found 'end'"},
        BadDescription{"NoRootObject", "Left = 1\n", "1:1", "expected 'object'"},
        BadDescription{"LettersInNumber", "object A: TB\n  P = 12ab\nend\n", "2:7", "bad number"},
        BadDescription{"DotWithoutDigits", "object A: TB\n  P = 1.\nend\n", "2:7", "bad number"},
        BadDescription{"EmptyHex", "object A: TB\n  P = $\nend\n", "2:7", "bad number"},
        BadDescription{"IntegerOverflow", "object A: TB\n  P = 99999999999999999999\nend\n", "2:7", "bad number"},
        BadDescription{"OddHexDigits", "object A: TB\n  P = {\n 123}\nend\n", "2:7", "odd number of hex digits"},
        BadDescription{"NonHexInBinary", "object A: TB\n  P = {12G4}\nend\n", "2:10", "in binary data"},
        BadDescription{"UnterminatedBinary", "object A: TB\n  P = {1234\n", "2:7", "unterminated binary"},
        BadDescription{"BinaryRunsIntoEnd", "object A: TB\n  P = {1234\nend\n", "3:2",
                       "in binary data opened at line 2 (missing '}'?)"},
        BadDescription{"CharacterCodeTooBig", "object A: TB\n  P = 'a'#256\nend\n", "2:10", "does not fit in a byte"},
        BadDescription{"PropertyNameTooLong", "object A: TB\n  " + kLongName + " = 1\nend\n", "2:3", "name too long"},
        BadDescription{"ClassNameTooLong", "object A: " + kLongName + "\nend\n", "1:11", "name too long"},
        BadDescription{"IdentifierValueTooLong", "object A: TB\n  P = " + kLongName + "\nend\n", "2:7",
                       "name too long"},
        BadDescription{"TrailingGarbage", "object A: TB\nend\nobject B: TC\nend\n", "3:1", "after the end of the root"},
        BadDescription{"PropertyAfterChild", "object A: TB\n  object C: TD\n  end\n  P = 1\nend\n", "4:3",
                       "must come before the child objects"},
        BadDescription{"UnclosedList", "object A: TB\n  P = ('a'\n", "3:1", "expected ')'"},
        BadDescription{"CollectionWithoutItem", "object A: TB\n  P = < Width = 1 >\nend\n", "2:9", "expected 'item'"},
        BadDescription{"PlusWithoutString", "object A: TB\n  P = 'a' + 1\nend\n", "2:13", "a string after '+'"},
        BadDescription{"StrayCharacter", "object A: TB\n  P = ;\nend\n", "2:7", "unexpected character ';'"}),
    [](const testing::TestParamInfo<BadDescription>& info) { return std::string(info.param.label); });

TEST(Formc, WrongArgumentCountIsAnError) {
  ScratchFolder scratch;
  ToolResult result = runTool(kFormcPath, {"only-one.txt"}, scratch);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("usage"), std::string::npos);
}

TEST(Formc, MissingInputIsAnError) {
  ScratchFolder scratch;
  ToolResult result =
      runTool(kFormcPath, {scratch.file("absent.txt").string(), scratch.file("out.bin").string()}, scratch);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("absent.txt"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(scratch.file("out.bin")));
}

}  // namespace
