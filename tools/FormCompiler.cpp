// Lexer, parser and stream writer of the window-description compiler.
#include "tools/FormCompiler.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "framework/StreamFormat.h"

namespace {

constexpr std::size_t kMaxShortString = 255;

constexpr std::uint8_t kFlagsPrefix = 0xF0;
constexpr std::uint8_t kFlagInherited = 1;
constexpr std::uint8_t kFlagChildPos = 2;
constexpr std::uint8_t kFlagInline = 4;

enum class TokenKind { Identifier, Integer, Float, String, Binary, Symbol, EndOfFile };

struct Token {
  TokenKind kind = TokenKind::EndOfFile;
  int line = 1;
  int column = 1;
  std::string text;  // identifier, symbol, or the decoded bytes of a string or binary value
  std::int64_t integer = 0;
  double real = 0;
};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentifierChar(char c) { return isLetter(c) || isDigit(c); }

int hexDigitValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string describeChar(char c) {
  auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x21 && byte < 0x7F) return std::string("'") + c + "'";
  constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("byte $") + kHex[byte >> 4] + kHex[byte & 15];
}

class Lexer {
 public:
  explicit Lexer(std::string_view source) : source_(source) {}

  Token next() {
    skipBlanksAndComments();
    Token token;
    token.line = line_;
    token.column = column_;
    if (atEnd()) return token;
    char c = peek();
    if (isLetter(c)) {
      readIdentifier(token);
    } else if (isDigit(c) || c == '$' || (c == '-' && (isDigit(peek(1)) || peek(1) == '$'))) {
      readNumber(token);
    } else if (c == '\'' || c == '#') {
      readString(token);
    } else if (c == '{') {
      readBinary(token);
    } else if (std::string_view("=:[](),<>+").find(c) != std::string_view::npos) {
      token.kind = TokenKind::Symbol;
      token.text = std::string(1, c);
      advance();
    } else {
      throw SourceError(line_, column_, "unexpected character " + describeChar(c));
    }
    return token;
  }

 private:
  bool atEnd() const { return position_ >= source_.size(); }
  char peek(std::size_t ahead = 0) const {
    return position_ + ahead < source_.size() ? source_[position_ + ahead] : '\0';
  }
  void advance() {
    if (source_[position_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++position_;
  }

  void skipBlanksAndComments() {
    while (!atEnd()) {
      char c = peek();
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        advance();
      } else if (c == '/' && peek(1) == '/') {
        while (!atEnd() && peek() != '\n') advance();
      } else {
        break;
      }
    }
  }

  void readIdentifier(Token& token) {
    token.kind = TokenKind::Identifier;
    for (;;) {
      while (!atEnd() && isIdentifierChar(peek())) token.text += takeChar();
      if (peek() != '.' || !isLetter(peek(1))) break;
      token.text += takeChar();
    }
  }

  char takeChar() {
    char c = peek();
    advance();
    return c;
  }

  [[noreturn]] void badNumber(const Token& token, const std::string& why) const {
    throw SourceError(token.line, token.column, "bad number: " + why);
  }

  void readNumber(Token& token) {
    bool negative = false;
    if (peek() == '-') {
      negative = true;
      advance();
    }
    std::string digits;
    if (peek() == '$') {
      advance();
      while (hexDigitValue(peek()) >= 0) digits += takeChar();
      if (digits.empty()) badNumber(token, "'$' needs hex digits");
      rejectTrailingLetters(token);
      // Hex gives a bit pattern, so $FFFFFFFFFFFFFFFF is -1 rather than an overflow.
      if (digits.size() > 16) badNumber(token, "too many hex digits");
      std::uint64_t pattern = 0;
      for (char d : digits) pattern = pattern << 4 | static_cast<std::uint64_t>(hexDigitValue(d));
      token.kind = TokenKind::Integer;
      token.integer = static_cast<std::int64_t>(negative ? 0 - pattern : pattern);
      return;
    }
    while (isDigit(peek())) digits += takeChar();
    bool isFloat = false;
    if (peek() == '.') {
      isFloat = true;
      digits += takeChar();
      if (!isDigit(peek())) badNumber(token, "digits expected after '.'");
      while (isDigit(peek())) digits += takeChar();
    }
    if (peek() == 'e' || peek() == 'E') {
      isFloat = true;
      digits += takeChar();
      if (peek() == '+' || peek() == '-') digits += takeChar();
      if (!isDigit(peek())) badNumber(token, "digits expected in exponent");
      while (isDigit(peek())) digits += takeChar();
    }
    rejectTrailingLetters(token);
    if (negative) digits.insert(digits.begin(), '-');
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    if (isFloat) {
      token.kind = TokenKind::Float;
      auto [end, error] = std::from_chars(first, last, token.real);
      if (error != std::errc() || end != last || !std::isfinite(token.real)) badNumber(token, "out of range");
    } else {
      token.kind = TokenKind::Integer;
      auto [end, error] = std::from_chars(first, last, token.integer);
      if (error != std::errc() || end != last) badNumber(token, "out of range");
    }
  }

  void rejectTrailingLetters(const Token& token) {
    if (isIdentifierChar(peek()) || peek() == '.') badNumber(token, "unexpected " + describeChar(peek()));
  }

  // A string is one or more adjacent pieces: 'quoted text' (with '' for a quote) and #code.
  void readString(Token& token) {
    token.kind = TokenKind::String;
    while (peek() == '\'' || peek() == '#') {
      int pieceLine = line_;
      int pieceColumn = column_;
      if (takeChar() == '\'') {
        for (;;) {
          if (atEnd() || peek() == '\n' || peek() == '\r')
            throw SourceError(pieceLine, pieceColumn, "unterminated string");
          char c = takeChar();
          if (c == '\'') {
            if (peek() != '\'') break;
            advance();
          }
          token.text += c;
        }
      } else {
        token.text += static_cast<char>(readCharacterCode(pieceLine, pieceColumn));
      }
    }
  }

  std::uint8_t readCharacterCode(int line, int column) {
    int base = 10;
    if (peek() == '$') {
      base = 16;
      advance();
    }
    long code = 0;
    bool anyDigit = false;
    for (;;) {
      int digit = base == 16 ? hexDigitValue(peek()) : (isDigit(peek()) ? peek() - '0' : -1);
      if (digit < 0) break;
      code = code * base + digit;
      if (code > 255) throw SourceError(line, column, "character code does not fit in a byte");
      anyDigit = true;
      advance();
    }
    if (!anyDigit) throw SourceError(line, column, "character code expected after '#'");
    return static_cast<std::uint8_t>(code);
  }

  void readBinary(Token& token) {
    token.kind = TokenKind::Binary;
    advance();
    int digitCount = 0;
    int pending = 0;
    for (;;) {
      if (atEnd()) throw SourceError(token.line, token.column, "unterminated binary data: '}' expected");
      char c = peek();
      if (c == '}') break;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        advance();
        continue;
      }
      int digit = hexDigitValue(c);
      if (digit < 0)
        throw SourceError(line_, column_,
                          "unexpected " + describeChar(c) + " in binary data opened at line " +
                              std::to_string(token.line) + " (missing '}'?)");
      if (digitCount % 2 == 0) {
        pending = digit;
      } else {
        token.text += static_cast<char>(pending << 4 | digit);
      }
      ++digitCount;
      advance();
    }
    advance();
    if (digitCount % 2 != 0) throw SourceError(token.line, token.column, "odd number of hex digits in binary data");
  }

  std::string_view source_;
  std::size_t position_ = 0;
  int line_ = 1;
  int column_ = 1;
};

std::string describeToken(const Token& token) {
  switch (token.kind) {
    case TokenKind::EndOfFile:
      return "end of file";
    case TokenKind::Identifier:
    case TokenKind::Symbol:
      return "'" + token.text + "'";
    case TokenKind::Integer:
    case TokenKind::Float:
      return "a number";
    case TokenKind::String:
      return "a string";
    case TokenKind::Binary:
      return "binary data";
  }
  return "?";
}

class FormParser {
 public:
  explicit FormParser(std::string_view text) : lexer_(text) { advance(); }

  Bytes compile() {
    out_.raw(std::string_view(FilerSignature, sizeof FilerSignature));
    if (!isComponentKeyword(current_)) unexpected("'object'");
    parseComponent();
    if (current_.kind != TokenKind::EndOfFile)
      throw SourceError(current_.line, current_.column,
                        "unexpected " + describeToken(current_) + " after the end of the root object");
    return out_.take();
  }

 private:
  void advance() { current_ = lexer_.next(); }

  bool isWord(const Token& token, std::string_view word) const {
    return token.kind == TokenKind::Identifier && equalsIgnoringCase(token.text, word);
  }
  bool isSymbol(char symbol) const { return current_.kind == TokenKind::Symbol && current_.text[0] == symbol; }
  bool isComponentKeyword(const Token& token) const {
    return isWord(token, "object") || isWord(token, "inherited") || isWord(token, "inline");
  }
  bool isReservedWord(const Token& token) const {
    return isComponentKeyword(token) || isWord(token, "end") || isWord(token, "item");
  }
  bool isPropertyName(const Token& token) const {
    return token.kind == TokenKind::Identifier && !isReservedWord(token);
  }

  [[noreturn]] void unexpected(const std::string& expected) const {
    throw SourceError(current_.line, current_.column, "expected " + expected + " but found " + describeToken(current_));
  }

  void expectSymbol(char symbol) {
    if (!isSymbol(symbol)) unexpected(std::string("'") + symbol + "'");
    advance();
  }

  std::string takeSimpleName(const std::string& what) {
    if (current_.kind != TokenKind::Identifier || current_.text.find('.') != std::string::npos) unexpected(what);
    std::string name = current_.text;
    checkShortString(name, current_);
    advance();
    return name;
  }

  void checkShortString(const std::string& text, const Token& where) const {
    if (text.size() > kMaxShortString)
      throw SourceError(where.line, where.column,
                        "name too long (" + std::to_string(text.size()) + " bytes, at most 255)");
  }

  void writeShortString(const std::string& text, const Token& where) {
    checkShortString(text, where);
    out_.u8(static_cast<std::uint8_t>(text.size()));
    out_.raw(text);
  }

  void writeInteger(std::int64_t value) {
    if (value >= std::numeric_limits<std::int8_t>::min() && value <= std::numeric_limits<std::int8_t>::max()) {
      out_.u8(vaInt8);
      out_.u8(static_cast<std::uint8_t>(value));
    } else if (value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max()) {
      out_.u8(vaInt16);
      out_.u16(static_cast<std::uint16_t>(value));
    } else if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
      out_.u8(vaInt32);
      out_.u32(static_cast<std::uint32_t>(value));
    } else {
      out_.u8(vaInt64);
      out_.u64(static_cast<std::uint64_t>(value));
    }
  }

  std::int64_t takeInteger() {
    if (current_.kind != TokenKind::Integer) unexpected("an integer");
    std::int64_t value = current_.integer;
    advance();
    return value;
  }

  // `[n]` after a class name or after `item`.
  std::optional<std::int64_t> takeOptionalIndex() {
    if (!isSymbol('[')) return std::nullopt;
    advance();
    std::int64_t index = takeInteger();
    expectSymbol(']');
    return index;
  }

  void parseComponent() {
    const Token opening = current_;
    std::uint8_t flags = 0;
    if (isWord(opening, "inherited")) flags |= kFlagInherited;
    if (isWord(opening, "inline")) flags |= kFlagInline;
    advance();
    std::string name = takeSimpleName("a component name");
    expectSymbol(':');
    std::string className = takeSimpleName("a class name");
    std::optional<std::int64_t> childPosition = takeOptionalIndex();
    if (childPosition) flags |= kFlagChildPos;

    if (flags != 0) out_.u8(kFlagsPrefix | flags);
    if (childPosition) writeInteger(*childPosition);
    writeShortString(className, opening);
    writeShortString(name, opening);

    while (isPropertyName(current_)) parseProperty();
    out_.u8(vaNull);

    while (isComponentKeyword(current_)) parseComponent();
    if (isPropertyName(current_))
      throw SourceError(current_.line, current_.column,
                        "property '" + current_.text + "' must come before the child objects of '" + name + "'");
    expectEnd("object '" + name + "'", opening);
    out_.u8(vaNull);
  }

  void expectEnd(const std::string& block, const Token& opening) {
    if (current_.kind == TokenKind::EndOfFile)
      throw SourceError(current_.line, current_.column,
                        "missing 'end' for " + block + " opened at line " + std::to_string(opening.line));
    if (!isWord(current_, "end")) unexpected("'end' of " + block);
    advance();
  }

  void parseProperty() {
    writeShortString(current_.text, current_);
    advance();
    expectSymbol('=');
    parseValue();
  }

  void parseValue() {
    switch (current_.kind) {
      case TokenKind::Integer:
        writeInteger(current_.integer);
        advance();
        return;
      case TokenKind::Float: {
        out_.u8(vaExtended);
        std::uint8_t extended[10];
        DoubleToExtended(current_.real, extended);
        out_.raw(extended, sizeof extended);
        advance();
        return;
      }
      case TokenKind::String:
        parseString();
        return;
      case TokenKind::Binary:
        out_.u8(vaBinary);
        out_.u32(static_cast<std::uint32_t>(current_.text.size()));
        out_.raw(current_.text);
        advance();
        return;
      case TokenKind::Identifier:
        parseIdentifierValue();
        return;
      case TokenKind::Symbol:
        if (isSymbol('[')) return parseSet();
        if (isSymbol('(')) return parseList();
        if (isSymbol('<')) return parseCollection();
        break;
      case TokenKind::EndOfFile:
        break;
    }
    unexpected("a value");
  }

  void parseString() {
    std::string text = current_.text;
    advance();
    while (isSymbol('+')) {
      advance();
      if (current_.kind != TokenKind::String) unexpected("a string after '+'");
      text += current_.text;
      advance();
    }
    if (text.size() <= kMaxShortString) {
      out_.u8(vaString);
      out_.u8(static_cast<std::uint8_t>(text.size()));
      out_.raw(text);
    } else {
      out_.u8(vaLString);
      out_.u32(static_cast<std::uint32_t>(text.size()));
      out_.raw(text);
    }
  }

  void parseIdentifierValue() {
    if (isReservedWord(current_)) unexpected("a value");
    if (isWord(current_, "True")) {
      out_.u8(vaTrue);
    } else if (isWord(current_, "False")) {
      out_.u8(vaFalse);
    } else if (isWord(current_, "nil")) {
      out_.u8(vaNil);
    } else {
      out_.u8(vaIdent);
      writeShortString(current_.text, current_);
    }
    advance();
  }

  void parseSet() {
    out_.u8(vaSet);
    advance();
    if (!isSymbol(']')) {
      for (;;) {
        if (current_.kind != TokenKind::Identifier) unexpected("a set element");
        writeShortString(current_.text, current_);
        advance();
        if (isSymbol(']')) break;
        expectSymbol(',');
      }
    }
    advance();
    out_.u8(0);  // the empty name that ends a set
  }

  void parseList() {
    out_.u8(vaList);
    advance();
    while (!isSymbol(')')) {
      if (current_.kind == TokenKind::EndOfFile) unexpected("')'");
      parseValue();
    }
    advance();
    out_.u8(vaNull);
  }

  void parseCollection() {
    out_.u8(vaCollection);
    advance();
    while (!isSymbol('>')) {
      if (!isWord(current_, "item")) unexpected("'item' or '>'");
      const Token opening = current_;
      advance();
      if (std::optional<std::int64_t> order = takeOptionalIndex()) writeInteger(*order);
      while (isPropertyName(current_)) parseProperty();
      expectEnd("item", opening);
      out_.u8(vaNull);
    }
    advance();
    out_.u8(vaNull);
  }

  Lexer lexer_;
  Token current_;
  ByteWriter out_;
};

}  // namespace

Bytes compileFormDescription(std::string_view text) { return FormParser(text).compile(); }
