#include "engine/calc_syntax.h"

#include "engine/calc_text.h"

namespace fmhost {
namespace {

constexpr std::string_view kPilcrow = "\xC2\xB6";

struct ParseFailure {
  std::string message;
};

enum class TokenKind {
  kEnd,
  kText,
  kNumber,
  kName,
  kPilcrow,
  kLeftParen,
  kRightParen,
  kLeftBracket,
  kRightBracket,
  kSemicolon,
  kAmpersand,
  kEquals,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  std::size_t offset = 0;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Lexer {
public:
  explicit Lexer(std::string_view source) : source_(source) {}

  Token Next() {
    SkipBlanksAndComments();
    Token token;
    token.offset = pos_;
    if (pos_ >= source_.size()) return token;
    const char c = source_[pos_];
    if (c == '"') {
      token.kind = TokenKind::kText;
      token.text = ReadTextLiteral();
      return token;
    }
    if (IsDigit(c) || (c == '.' && pos_ + 1 < source_.size() && IsDigit(source_[pos_ + 1]))) {
      token.kind = TokenKind::kNumber;
      token.text = NumberLiteralText(ReadNumber());
      return token;
    }
    if (AtPilcrow()) {
      pos_ += kPilcrow.size();
      token.kind = TokenKind::kPilcrow;
      return token;
    }
    if (IsNameStart(c)) {
      token.kind = TokenKind::kName;
      token.text = ReadName();
      return token;
    }
    ++pos_;
    switch (c) {
    case '(':
      token.kind = TokenKind::kLeftParen;
      return token;
    case ')':
      token.kind = TokenKind::kRightParen;
      return token;
    case '[':
      token.kind = TokenKind::kLeftBracket;
      return token;
    case ']':
      token.kind = TokenKind::kRightBracket;
      return token;
    case ';':
      token.kind = TokenKind::kSemicolon;
      return token;
    case '&':
      token.kind = TokenKind::kAmpersand;
      return token;
    case '=':
      token.kind = TokenKind::kEquals;
      return token;
    default:
      break;
    }
    throw ParseFailure{"unexpected character at offset " + std::to_string(token.offset)};
  }

private:
  bool AtPilcrow() const { return source_.substr(pos_, kPilcrow.size()) == kPilcrow; }

  // Letters of any script may form names; the pilcrow is a constant of its own.
  bool IsNameStart(char c) const {
    return IsAsciiLetter(c) || c == '_' || c == '$' ||
           (static_cast<unsigned char>(c) >= 0x80 && !AtPilcrow());
  }
  bool IsNamePart(char c) const {
    return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' ||
           (static_cast<unsigned char>(c) >= 0x80 && !AtPilcrow());
  }

  void SkipBlanksAndComments() {
    while (pos_ < source_.size()) {
      const char c = source_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (source_.substr(pos_, 2) == "//") {
        while (pos_ < source_.size() && source_[pos_] != '\r' && source_[pos_] != '\n')
          ++pos_;
      } else if (source_.substr(pos_, 2) == "/*") {
        const std::size_t end = source_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
          throw ParseFailure{"comment not closed, opened at offset " + std::to_string(pos_)};
        }
        pos_ = end + 2;
      } else {
        return;
      }
    }
  }

  std::string ReadTextLiteral() {
    const std::size_t start = pos_;
    ++pos_;
    std::string value;
    while (true) {
      if (pos_ >= source_.size()) {
        throw ParseFailure{"text not closed, opened at offset " + std::to_string(start)};
      }
      const char c = source_[pos_];
      if (c == '"') {
        ++pos_;
        return value;
      }
      if (c == '\\' && pos_ + 1 < source_.size() &&
          (source_[pos_ + 1] == '"' || source_[pos_ + 1] == '\\')) {
        value += source_[pos_ + 1];
        pos_ += 2;
      } else if (c == '\\' && source_.substr(pos_ + 1, kPilcrow.size()) == kPilcrow) {
        value += kPilcrow;
        pos_ += 1 + kPilcrow.size();
      } else if (AtPilcrow()) {
        value += kValueSeparator;
        pos_ += kPilcrow.size();
      } else {
        value += c; // any other backslash stays, as FileMaker keeps it
        ++pos_;
      }
    }
  }

  std::string_view ReadNumber() {
    const std::size_t start = pos_;
    while (pos_ < source_.size() && IsDigit(source_[pos_]))
      ++pos_;
    if (pos_ < source_.size() && source_[pos_] == '.') {
      ++pos_;
      while (pos_ < source_.size() && IsDigit(source_[pos_]))
        ++pos_;
    }
    return source_.substr(start, pos_ - start);
  }

  std::string ReadName() {
    const std::size_t start = pos_;
    while (pos_ < source_.size() && source_[pos_] == '$' && pos_ - start < 2)
      ++pos_;
    const std::size_t body = pos_;
    while (pos_ < source_.size() && IsNamePart(source_[pos_]))
      ++pos_;
    if (pos_ == body) {
      throw ParseFailure{"a variable needs a name, at offset " + std::to_string(start)};
    }
    return std::string(source_.substr(start, pos_ - start));
  }

  std::string_view source_;
  std::size_t pos_ = 0;
};

const char* Describe(TokenKind kind) {
  switch (kind) {
  case TokenKind::kEnd:
    return "the end";
  case TokenKind::kText:
    return "a text";
  case TokenKind::kNumber:
    return "a number";
  case TokenKind::kName:
    return "a name";
  case TokenKind::kPilcrow:
    return "a pilcrow";
  case TokenKind::kLeftParen:
    return "\"(\"";
  case TokenKind::kRightParen:
    return "\")\"";
  case TokenKind::kLeftBracket:
    return "\"[\"";
  case TokenKind::kRightBracket:
    return "\"]\"";
  case TokenKind::kSemicolon:
    return "\";\"";
  case TokenKind::kAmpersand:
    return "\"&\"";
  case TokenKind::kEquals:
    return "\"=\"";
  }
  return "?";
}

class Parser {
public:
  explicit Parser(std::string_view source) : lexer_(source) { Advance(); }

  CalcNode ParseWhole() {
    CalcNode root = ParseExpression(0);
    if (current_.kind != TokenKind::kEnd) Fail("an operator or the end");
    return root;
  }

private:
  void Advance() { current_ = lexer_.Next(); }

  [[noreturn]] void Fail(const char* expected) const {
    throw ParseFailure{std::string("expected ") + expected + " but found " +
                       Describe(current_.kind) + " at offset " + std::to_string(current_.offset)};
  }

  void Expect(TokenKind kind) {
    if (current_.kind != kind) Fail(Describe(kind));
    Advance();
  }

  CalcNode ParseExpression(int depth) {
    CalcNode first = ParsePrimary(depth);
    if (current_.kind != TokenKind::kAmpersand) return first;
    CalcNode concat;
    concat.kind = CalcNode::Kind::kConcat;
    concat.children.push_back(std::move(first));
    while (current_.kind == TokenKind::kAmpersand) {
      Advance();
      concat.children.push_back(ParsePrimary(depth));
    }
    return concat;
  }

  CalcNode ParsePrimary(int depth) {
    if (depth > kMaxCalcNesting) {
      throw ParseFailure{"nested deeper than " + std::to_string(kMaxCalcNesting) +
                         " levels at offset " + std::to_string(current_.offset)};
    }
    CalcNode node;
    switch (current_.kind) {
    case TokenKind::kText:
      node.text = std::move(current_.text);
      Advance();
      return node;
    case TokenKind::kNumber:
      node.kind = CalcNode::Kind::kNumber;
      node.text = std::move(current_.text);
      Advance();
      return node;
    case TokenKind::kPilcrow:
      node.text = std::string(1, kValueSeparator);
      Advance();
      return node;
    case TokenKind::kLeftParen: {
      Advance();
      node = ParseExpression(depth + 1);
      Expect(TokenKind::kRightParen);
      return node;
    }
    case TokenKind::kName:
      return ParseNamed(depth);
    default:
      Fail("a value");
    }
  }

  CalcNode ParseNamed(int depth) {
    CalcNode node;
    node.text = std::move(current_.text);
    Advance();
    if (node.text.front() == '$') {
      node.kind = CalcNode::Kind::kVariable;
      return node;
    }
    node.kind = CalcNode::Kind::kCall;
    if (current_.kind != TokenKind::kLeftParen) {
      node.bareName = true;
      return node;
    }
    Advance();
    if (EqualsIgnoringAsciiCase(node.text, "Get")) return ParseGetRest();
    if (EqualsIgnoringAsciiCase(node.text, "Let")) return ParseLetRest(depth + 1);
    if (current_.kind == TokenKind::kRightParen) {
      Advance();
      return node;
    }
    while (true) {
      node.children.push_back(ParseExpression(depth + 1));
      if (current_.kind != TokenKind::kSemicolon) break;
      Advance();
    }
    Expect(TokenKind::kRightParen);
    return node;
  }

  CalcNode ParseGetRest() {
    CalcNode node;
    node.kind = CalcNode::Kind::kGet;
    if (current_.kind != TokenKind::kName) Fail("a Get parameter");
    node.text = std::move(current_.text);
    Advance();
    Expect(TokenKind::kRightParen);
    return node;
  }

  CalcNode ParseLetRest(int depth) {
    CalcNode node;
    node.kind = CalcNode::Kind::kLet;
    if (current_.kind == TokenKind::kLeftBracket) {
      Advance();
      while (true) {
        ParseBinding(node, depth);
        if (current_.kind != TokenKind::kSemicolon) break;
        Advance();
      }
      Expect(TokenKind::kRightBracket);
    } else {
      ParseBinding(node, depth);
    }
    Expect(TokenKind::kSemicolon);
    node.children.push_back(ParseExpression(depth));
    Expect(TokenKind::kRightParen);
    return node;
  }

  void ParseBinding(CalcNode& let, int depth) {
    if (current_.kind != TokenKind::kName) Fail("a variable name");
    let.names.push_back(std::move(current_.text));
    Advance();
    Expect(TokenKind::kEquals);
    let.children.push_back(ParseExpression(depth));
  }

  Lexer lexer_;
  Token current_;
};

} // namespace

CalcParse ParseCalculation(std::string_view expression) {
  CalcParse parse;
  try {
    Parser parser(expression);
    parse.root = parser.ParseWhole();
    parse.ok = true;
  } catch (const ParseFailure& failure) {
    parse.error = failure.message;
  }
  return parse;
}

} // namespace fmhost
