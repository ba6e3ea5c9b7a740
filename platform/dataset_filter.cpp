// Filter expressions of the client datasets.
//
// Grammar (keywords in any case):
//   expr    := and { OR and }
//   and     := not { AND not }
//   not     := NOT not | primary
//   primary := '(' expr ')' | operand IS [NOT] NULL | operand op operand | boolean field
// Parentheses and NOT nest at most kMaxNesting levels deep (below); a chain
// of AND or OR of any length is one level.
//   op      := = <> < <= > >=
//   operand := field name | [field name] | 'text' ('' for a quote) | number | TRUE | FALSE | NULL
//
// Comparison rules:
// - a comparison with a null field is false (NOT of it is true); IS NULL tests nullness;
// - empty texts are stored as null, so a text field compared with '' reads a null as '';
// - texts compare exactly (byte by byte, blanks count) unless the dataset's
//   FilterCaseInsensitive is set; a text field against a number compares numerically
//   (a text that is not a number never matches);
// - date fields take literals in the locale's date format or "YYYY-MM-DD[Thh:mm:ss]".
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dataset_impl.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace rtl::dsimpl {

namespace {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

struct Operand {
  enum Kind { FieldRef, Text, Number, Bool, Null } kind = Null;
  int field = -1;
  Store store = Store::Text;
  std::string text;
  double num = 0;
};

enum class Kind { And, Or, Not, Compare, IsNull, BoolField };

}  // namespace

struct FilterNode {
  Kind kind = Kind::Compare;
  FilterPtr a;                  // Not
  std::vector<FilterPtr> terms;  // And, Or: a chain of any length is one level
  Op op = Op::Eq;
  Operand lhs, rhs;
  bool negate = false;  // IS NOT NULL
  int field = -1;       // IsNull, BoolField
};

void FilterDeleter::operator()(FilterNode* n) const { delete n; }

namespace {

Op Mirror(Op op) {
  switch (op) {
    case Op::Lt: return Op::Gt;
    case Op::Le: return Op::Ge;
    case Op::Gt: return Op::Lt;
    case Op::Ge: return Op::Le;
    default: return op;
  }
}

bool Apply(Op op, int c) {
  switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    case Op::Ge: return c >= 0;
  }
  return false;
}

enum class Tok { End, Name, Text, Number, LParen, RParen, Op };

struct Token {
  Tok type = Tok::End;
  std::string text;  // name, literal text, number text or operator
  size_t at = 0;     // 1-based position in the expression
};

// Parentheses and NOTs nested deeper than this are refused: each level is
// one frame of the parser, the evaluation and the release of the tree, so a
// host's filter of thousands of "(" would otherwise overflow the stack.
constexpr int kMaxNesting = 64;

class Parser {
 public:
  Parser(std::string_view src, const std::vector<FieldDef>& fields) : src_(src), fields_(fields) { Advance(); }

  FilterPtr Parse() {
    FilterPtr n = ParseOr();
    if (tok_.type != Tok::End) Fail("unexpected '" + tok_.text + "'", tok_.at);
    return n;
  }

 private:
  [[noreturn]] void Fail(const std::string& what, size_t at) const {
    throw EDatabaseError("Invalid filter expression '" + std::string(src_) + "': " + what + " at position " +
                         std::to_string(at));
  }

  static bool NameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
  static bool NameChar(unsigned char c) { return NameStart(c) || (c >= '0' && c <= '9'); }

  void Advance() {
    while (i_ < src_.size() && static_cast<unsigned char>(src_[i_]) <= ' ') ++i_;
    tok_ = Token();
    tok_.at = i_ + 1;
    if (i_ >= src_.size()) return;
    unsigned char c = static_cast<unsigned char>(src_[i_]);
    if (c == '(' || c == ')') {
      tok_.type = c == '(' ? Tok::LParen : Tok::RParen;
      tok_.text = std::string(1, static_cast<char>(c));
      ++i_;
    } else if (c == '\'') {
      std::string s;
      size_t j = i_ + 1;
      for (;;) {
        if (j >= src_.size()) Fail("unterminated text literal", tok_.at);
        if (src_[j] == '\'') {
          if (j + 1 < src_.size() && src_[j + 1] == '\'') {
            s.push_back('\'');
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        s.push_back(src_[j++]);
      }
      tok_.type = Tok::Text;
      tok_.text = std::move(s);
      i_ = j;
    } else if (c == '[') {
      size_t close = src_.find(']', i_ + 1);
      if (close == std::string_view::npos) Fail("missing ']'", tok_.at);
      tok_.type = Tok::Name;
      tok_.text = std::string(src_.substr(i_ + 1, close - i_ - 1));
      if (tok_.text.empty()) Fail("empty field name", tok_.at);
      i_ = close + 1;
    } else if ((c >= '0' && c <= '9') || c == '.') {
      size_t j = i_;
      while (j < src_.size() && ((src_[j] >= '0' && src_[j] <= '9') || src_[j] == '.')) ++j;
      if (j < src_.size() && (src_[j] == 'e' || src_[j] == 'E')) {
        size_t k = j + 1;
        if (k < src_.size() && (src_[k] == '+' || src_[k] == '-')) ++k;
        if (k < src_.size() && src_[k] >= '0' && src_[k] <= '9') {
          j = k;
          while (j < src_.size() && src_[j] >= '0' && src_[j] <= '9') ++j;
        }
      }
      if (j < src_.size() && NameChar(static_cast<unsigned char>(src_[j])))
        Fail("invalid number '" + std::string(src_.substr(i_, j + 1 - i_)) + "'", tok_.at);
      tok_.type = Tok::Number;
      tok_.text = std::string(src_.substr(i_, j - i_));
      i_ = j;
    } else if (NameStart(c)) {
      size_t j = i_;
      while (j < src_.size() && NameChar(static_cast<unsigned char>(src_[j]))) ++j;
      tok_.type = Tok::Name;
      tok_.text = std::string(src_.substr(i_, j - i_));
      i_ = j;
    } else if (c == '=' || c == '<' || c == '>' || c == '-') {
      std::string op(1, static_cast<char>(c));
      if (i_ + 1 < src_.size()) {
        char d = src_[i_ + 1];
        if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=')) op.push_back(d);
      }
      tok_.type = Tok::Op;
      tok_.text = op;
      i_ += op.size();
    } else {
      Fail("unexpected character '" + std::string(1, static_cast<char>(c)) + "'", tok_.at);
    }
  }

  bool IsKeyword(const char* kw) const { return tok_.type == Tok::Name && SameText(tok_.text, kw); }

  FilterPtr Negation(FilterPtr a) {
    FilterPtr n(new FilterNode);
    n->kind = Kind::Not;
    n->a = std::move(a);
    return n;
  }

  // The terms joined by `k`; one term stands for itself.
  static FilterPtr Chain(Kind k, std::vector<FilterPtr> terms) {
    if (terms.size() == 1) return std::move(terms.front());
    FilterPtr n(new FilterNode);
    n->kind = k;
    n->terms = std::move(terms);
    return n;
  }

  FilterPtr ParseOr() {
    std::vector<FilterPtr> terms;
    terms.push_back(ParseAnd());
    while (IsKeyword("OR")) {
      Advance();
      terms.push_back(ParseAnd());
    }
    return Chain(Kind::Or, std::move(terms));
  }

  FilterPtr ParseAnd() {
    std::vector<FilterPtr> terms;
    terms.push_back(ParseNot());
    while (IsKeyword("AND")) {
      Advance();
      terms.push_back(ParseNot());
    }
    return Chain(Kind::And, std::move(terms));
  }

  FilterPtr ParseNot() {
    if (IsKeyword("NOT")) {
      const Level level(*this);
      Advance();
      return Negation(ParseNot());
    }
    return ParsePrimary();
  }

  FilterPtr ParsePrimary() {
    if (tok_.type == Tok::LParen) {
      const Level level(*this);
      Advance();
      FilterPtr n = ParseOr();
      if (tok_.type != Tok::RParen) Fail(tok_.type == Tok::End ? "missing ')'" : "expected ')'", tok_.at);
      Advance();
      return n;
    }
    size_t at = tok_.at;
    Operand lhs = ParseOperand();
    if (IsKeyword("IS")) {
      Advance();
      bool negate = false;
      if (IsKeyword("NOT")) {
        negate = true;
        Advance();
      }
      if (!IsKeyword("NULL")) Fail("expected NULL", tok_.at);
      Advance();
      if (lhs.kind != Operand::FieldRef) Fail("IS NULL needs a field", at);
      FilterPtr n(new FilterNode);
      n->kind = Kind::IsNull;
      n->field = lhs.field;
      n->negate = negate;
      return n;
    }
    if (tok_.type != Tok::Op || tok_.text == "-") {
      if (lhs.kind == Operand::FieldRef && fields_[lhs.field].type == FieldType::Boolean) {
        FilterPtr n(new FilterNode);
        n->kind = Kind::BoolField;
        n->field = lhs.field;
        return n;
      }
      Fail(tok_.type == Tok::End ? "comparison expected" : "comparison expected before '" + tok_.text + "'",
           tok_.at);
    }
    Op op = tok_.text == "=" ? Op::Eq
            : tok_.text == "<>" ? Op::Ne
            : tok_.text == "<" ? Op::Lt
            : tok_.text == "<=" ? Op::Le
            : tok_.text == ">" ? Op::Gt
                               : Op::Ge;
    size_t opAt = tok_.at;
    Advance();
    Operand rhs = ParseOperand();
    return MakeCompare(std::move(lhs), op, std::move(rhs), opAt);
  }

  Operand ParseOperand() {
    Operand o;
    size_t at = tok_.at;
    switch (tok_.type) {
      case Tok::Text:
        o.kind = Operand::Text;
        o.text = tok_.text;
        Advance();
        return o;
      case Tok::Number:
        o.kind = Operand::Number;
        if (!ParseNumber(tok_.text, o.num)) Fail("invalid number '" + tok_.text + "'", at);
        Advance();
        return o;
      case Tok::Op:
        if (tok_.text == "-") {
          Advance();
          if (tok_.type != Tok::Number) Fail("number expected after '-'", at);
          o.kind = Operand::Number;
          if (!ParseNumber(tok_.text, o.num)) Fail("invalid number '" + tok_.text + "'", at);
          o.num = -o.num;
          Advance();
          return o;
        }
        break;
      case Tok::Name: {
        bool keyword = SameText(tok_.text, "AND") || SameText(tok_.text, "OR") || SameText(tok_.text, "NOT") ||
                       SameText(tok_.text, "IS");
        int f = keyword ? -1 : FindField(fields_, tok_.text);
        if (f >= 0) {
          o.kind = Operand::FieldRef;
          o.field = f;
          o.store = StoreOf(fields_[f].type);
        } else if (SameText(tok_.text, "NULL")) {
          o.kind = Operand::Null;
        } else if (SameText(tok_.text, "TRUE") || SameText(tok_.text, "FALSE")) {
          o.kind = Operand::Bool;
          o.num = SameText(tok_.text, "TRUE") ? 1 : 0;
        } else if (keyword) {
          Fail("value expected before '" + tok_.text + "'", at);
        } else {
          throw EDatabaseError("Invalid filter expression '" + std::string(src_) + "': field '" + tok_.text +
                               "' not found");
        }
        Advance();
        return o;
      }
      default:
        break;
    }
    Fail(tok_.type == Tok::End ? "value expected" : "value expected before '" + tok_.text + "'", at);
  }

  // Converts a literal to the representation of the field it is compared with.
  void Coerce(const Operand& field, Operand& lit, size_t at) {
    const FieldDef& f = fields_[field.field];
    if (lit.kind == Operand::Text && field.store != Store::Text) {
      if (f.type == FieldType::Boolean) {
        if (SameText(lit.text, "TRUE") || SameText(lit.text, "T")) lit.num = 1;
        else if (SameText(lit.text, "FALSE") || SameText(lit.text, "F")) lit.num = 0;
        else Fail("'" + lit.text + "' is not a boolean value for field '" + f.name + "'", at);
      } else if (f.type == FieldType::Date || f.type == FieldType::Time || f.type == FieldType::DateTime) {
        TDateTime dt;
        if (!TryStrToDateTime(lit.text, dt) && !TryParseIso(lit.text, dt))
          Fail("'" + lit.text + "' is not a date for field '" + f.name + "'", at);
        lit.num = dt;
      } else if (!ParseNumber(lit.text, lit.num)) {
        Fail("'" + lit.text + "' is not a number for field '" + f.name + "'", at);
      }
      lit.kind = Operand::Number;
    } else if (lit.kind == Operand::Bool) {
      if (field.store == Store::Text) Fail("TRUE/FALSE compared with text field '" + f.name + "'", at);
      lit.kind = Operand::Number;
    }
  }

  FilterPtr MakeCompare(Operand lhs, Op op, Operand rhs, size_t at) {
    if (lhs.kind != Operand::FieldRef && rhs.kind == Operand::FieldRef) {
      std::swap(lhs, rhs);
      op = Mirror(op);
    }
    if (lhs.kind != Operand::FieldRef) Fail("a comparison needs a field", at);
    if (rhs.kind == Operand::Null) {
      if (op != Op::Eq && op != Op::Ne) Fail("NULL can only be tested with = or <>", at);
      FilterPtr n(new FilterNode);
      n->kind = Kind::IsNull;
      n->field = lhs.field;
      n->negate = op == Op::Ne;
      return n;
    }
    if (rhs.kind != Operand::FieldRef) Coerce(lhs, rhs, at);
    FilterPtr n(new FilterNode);
    n->kind = Kind::Compare;
    n->op = op;
    n->lhs = std::move(lhs);
    n->rhs = std::move(rhs);
    return n;
  }

  // One more level of nesting while it lives; refused past kMaxNesting.
  struct Level {
    Parser& p;
    explicit Level(Parser& parser) : p(parser) {
      if (++p.depth_ > kMaxNesting)
        p.Fail("parentheses and NOT nested deeper than " + std::to_string(kMaxNesting) + " levels", p.tok_.at);
    }
    ~Level() { --p.depth_; }
  };

  std::string_view src_;
  const std::vector<FieldDef>& fields_;
  size_t i_ = 0;
  Token tok_;
  int depth_ = 0;
};

double NumberOf(const Cell& c, Store s) { return s == Store::Int ? static_cast<double>(c.i) : c.d; }

int CompareNumbers(double a, double b) { return a == b ? 0 : (a < b ? -1 : 1); }

bool EvalCompare(const FilterNode& n, const Cell* cells, bool ci) {
  const Cell& a = cells[n.lhs.field];
  const Store sa = n.lhs.store;
  if (n.rhs.kind == Operand::FieldRef) {
    const Cell& b = cells[n.rhs.field];
    const Store sb = n.rhs.store;
    if (a.null || b.null) return false;
    if (sa == Store::Text && sb == Store::Text) return Apply(n.op, CompareText(a.s, b.s, ci));
    if (sa != Store::Text && sb != Store::Text) {
      if (sa == Store::Int && sb == Store::Int) return Apply(n.op, a.i == b.i ? 0 : (a.i < b.i ? -1 : 1));
      return Apply(n.op, CompareNumbers(NumberOf(a, sa), NumberOf(b, sb)));
    }
    double x, y;
    if (sa == Store::Text) {
      if (!ParseNumber(a.s, x)) return false;
      y = NumberOf(b, sb);
    } else {
      x = NumberOf(a, sa);
      if (!ParseNumber(b.s, y)) return false;
    }
    return Apply(n.op, CompareNumbers(x, y));
  }
  if (n.rhs.kind == Operand::Text) {  // text field against a text literal
    if (a.null) return n.rhs.text.empty() ? Apply(n.op, 0) : false;
    return Apply(n.op, CompareText(a.s, n.rhs.text, ci));
  }
  // A number literal.
  if (a.null) return false;
  if (sa == Store::Text) {
    double x;
    if (!ParseNumber(a.s, x)) return false;
    return Apply(n.op, CompareNumbers(x, n.rhs.num));
  }
  if (sa == Store::Int && std::nearbyint(n.rhs.num) == n.rhs.num && std::fabs(n.rhs.num) < 9.0e18) {
    int64_t v = static_cast<int64_t>(n.rhs.num);
    return Apply(n.op, a.i == v ? 0 : (a.i < v ? -1 : 1));
  }
  return Apply(n.op, CompareNumbers(NumberOf(a, sa), n.rhs.num));
}

}  // namespace

FilterPtr CompileFilter(std::string_view text, const std::vector<FieldDef>& fields) {
  bool blank = true;
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ') blank = false;
  if (blank) return nullptr;  // an empty filter lets every row through
  return Parser(text, fields).Parse();
}

bool EvalFilter(const FilterNode& n, const Cell* cells, bool ci) {
  switch (n.kind) {
    case Kind::And:
      for (const FilterPtr& t : n.terms)
        if (!EvalFilter(*t, cells, ci)) return false;
      return true;
    case Kind::Or:
      for (const FilterPtr& t : n.terms)
        if (EvalFilter(*t, cells, ci)) return true;
      return false;
    case Kind::Not:
      return !EvalFilter(*n.a, cells, ci);
    case Kind::IsNull:
      return cells[n.field].null != n.negate;
    case Kind::BoolField:
      return !cells[n.field].null && cells[n.field].i != 0;
    case Kind::Compare:
      return EvalCompare(n, cells, ci);
  }
  return false;
}

}  // namespace rtl::dsimpl
