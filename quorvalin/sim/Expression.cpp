#include <quorvalin/sim/Expression.h>

#include <cctype>
#include <cmath>
#include <vector>

#include <ostrel/NumberText.h>

namespace varno::sim {

namespace {

enum class Tok { Number, Name, Op, End, Bad };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    double number = 0;
};

std::vector<Token> tokenize(const std::string& s, std::string& error)
{
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = s[i];
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        Token t;
        if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit((unsigned char)s[i + 1]))) {
            const char* begin = s.data() + i;
            const char* end = ostrel::numbertext::Read(begin, s.data() + s.size(), t.number);
            if (!end || !std::isfinite(t.number)) { // too large for a double
                error = "unreadable number";
                out.push_back({Tok::Bad, {}, 0});
                return out;
            }
            t.kind = Tok::Number;
            t.text.assign(begin, size_t(end - begin));
            i += size_t(end - begin);
        } else if (std::isalpha(c)) {
            size_t j = i;
            while (j < s.size() && std::isalnum((unsigned char)s[j]))
                ++j;
            t.kind = Tok::Name;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (std::string("+-*/^>()").find(char(c)) != std::string::npos) {
            t.kind = Tok::Op;
            t.text = std::string(1, char(c));
            ++i;
        } else {
            error = "unexpected character '" + std::string(1, char(c)) + "'";
            out.push_back({Tok::Bad, {}, 0});
            return out;
        }
        out.push_back(t);
    }
    out.push_back({Tok::End, {}, 0});
    return out;
}

// Recursive descent over the tokens; evaluates when inputs are given.
class Parser {
public:
    Parser(const std::vector<Token>& tokens, const Inputs* inputs)
        : m_tokens(tokens), m_inputs(inputs) {}

    bool parse(double& value, std::string& error)
    {
        value = comparison();
        if (m_error.empty() && peek().kind != Tok::End)
            fail("unexpected '" + peek().text + "'");
        error = m_error;
        return m_error.empty();
    }

private:
    // Nesting deeper than this (some 250 parentheses) is refused: a long run of "(", "-" or
    // "ln" must not use up the stack.
    static constexpr int kDeepest = 500;
    class Level {
    public:
        explicit Level(Parser& parser) : m_parser(parser)
        {
            if (++m_parser.m_depth > kDeepest)
                m_parser.fail("definition nested too deeply");
        }
        ~Level() { --m_parser.m_depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

    private:
        Parser& m_parser;
    };

    const Token& peek() const { return m_tokens[m_pos]; }
    bool isOp(const char* op) const { return peek().kind == Tok::Op && peek().text == op; }
    void fail(const std::string& message)
    {
        if (m_error.empty())
            m_error = message;
    }

    double comparison()
    {
        double v = sum();
        while (m_error.empty() && isOp(">")) {
            ++m_pos;
            const double r = sum();
            v = v > r ? 1.0 : 0.0;
        }
        return v;
    }

    double sum()
    {
        double v = product();
        while (m_error.empty() && (isOp("+") || isOp("-"))) {
            const bool plus = isOp("+");
            ++m_pos;
            const double r = product();
            v = plus ? v + r : v - r;
        }
        return v;
    }

    double product()
    {
        double v = unary();
        while (m_error.empty() && (isOp("*") || isOp("/"))) {
            const bool times = isOp("*");
            ++m_pos;
            const double r = unary();
            v = times ? v * r : (r == 0 ? NAN : v / r);
        }
        return v;
    }

    double unary()
    {
        const Level level(*this);
        if (!m_error.empty())
            return NAN;
        if (isOp("-")) {
            ++m_pos;
            return -unary();
        }
        if (isOp("+")) {
            ++m_pos;
            return unary();
        }
        return power();
    }

    double power()
    {
        const double base = primary();
        if (m_error.empty() && isOp("^")) {
            ++m_pos;
            const double exponent = unary(); // right-associative
            return std::pow(base, exponent);
        }
        return base;
    }

    double primary()
    {
        const Level level(*this);
        if (!m_error.empty())
            return NAN;
        const Token& t = peek();
        if (t.kind == Tok::Number) {
            ++m_pos;
            return t.number;
        }
        if (t.kind == Tok::Op && t.text == "(") {
            ++m_pos;
            const double v = comparison();
            if (!isOp(")")) {
                fail("missing ')'");
                return NAN;
            }
            ++m_pos;
            return v;
        }
        if (t.kind == Tok::Name) {
            ++m_pos;
            if (t.text == "ln") {
                const double v = power();
                return v > 0 ? std::log(v) : NAN;
            }
            return name(t.text);
        }
        fail(t.kind == Tok::End ? "incomplete definition" : "unexpected '" + t.text + "'");
        return NAN;
    }

    double name(const std::string& n)
    {
        if (n.size() == 1 && n[0] >= 'a' && n[0] <= 'f')
            return m_inputs ? m_inputs->channel[n[0] - 'a'] : 0;
        if (n == "Uext")
            return m_inputs ? m_inputs->uext : 0;
        if (n == "Bat")
            return m_inputs ? m_inputs->bat : 0;
        if (n.size() == 2 && (n[0] == 'C' || n[0] == 'F') && n[1] >= '1' && n[1] <= '3') {
            const int index = n[1] - '1';
            if (!m_inputs)
                return 0;
            if (n[0] == 'C')
                return m_inputs->counter[index];
            return m_inputs->function ? m_inputs->function(index) : NAN;
        }
        fail("unknown input '" + n + "'");
        return NAN;
    }

    const std::vector<Token>& m_tokens;
    const Inputs* m_inputs;
    size_t m_pos = 0;
    int m_depth = 0;
    std::string m_error;
};

} // namespace

bool checkDefinition(const std::string& definition, std::string& error)
{
    error.clear();
    const std::vector<Token> tokens = tokenize(definition, error);
    if (!error.empty())
        return false;
    if (tokens.size() == 1) {
        error = "empty definition";
        return false;
    }
    double ignored;
    return Parser(tokens, nullptr).parse(ignored, error);
}

double evaluateDefinition(const std::string& definition, const Inputs& inputs)
{
    std::string error;
    const std::vector<Token> tokens = tokenize(definition, error);
    if (!error.empty())
        return NAN;
    double value = NAN;
    if (!Parser(tokens, &inputs).parse(value, error))
        return NAN;
    return value;
}

} // namespace varno::sim
