#include "interchange/JsonReader.h"

#include <cstring>

namespace interchange {
namespace {

constexpr qsizetype kBufferSize = 64 * 1024;

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

QString Shown(int c) {
    if (c >= 0x21 && c < 0x7f) return QStringLiteral("'%1'").arg(QChar(c));
    return QStringLiteral("0x%1").arg(c, 2, 16, QLatin1Char('0'));
}

}  // namespace

JsonReader::JsonReader(QIODevice& in, int maxDepth) : in_(in), maxDepth_(maxDepth) {
    buffer_.resize(kBufferSize);
}

bool JsonReader::fill() {
    if (eof_) return false;
    consumed_ += size_;
    at_ = 0;
    size_ = 0;
    const qint64 n = in_.read(buffer_.data(), kBufferSize);
    if (n < 0) {
        readError_ = true;
        eof_ = true;
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    size_ = qsizetype(n);
    return true;
}

bool JsonReader::failAt(qint64 at, const QString& what) {
    // Counted from 1, as "N バイト目" reads: the first byte is byte 1.
    if (error_.isEmpty()) error_ = QStringLiteral("%1 バイト目: %2").arg(at + 1).arg(what);
    expect_ = kDone;
    eof_ = true;
    at_ = size_;
    return false;
}

bool JsonReader::fail(const QString& what) {
    return failAt(tokenStart_, what);
}

bool JsonReader::skipSpace() {
    for (;;) {
        const int c = peek();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return true;
        ++at_;
    }
}

bool JsonReader::readWord(const char* word) {
    const size_t n = std::strlen(word);
    for (size_t i = 0; i < n; ++i) {
        const int c = get();
        if (c < 0) return fail(QStringLiteral("ファイルが途中で終わっています"));
        if (c != uchar(word[i])) return fail(QStringLiteral("JSON ではありません"));
    }
    return true;
}

bool JsonReader::readHex4(unsigned& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = get();
        if (c < 0) return fail(QStringLiteral("ファイルが途中で終わっています"));
        unsigned v;
        if (c >= '0' && c <= '9') {
            v = unsigned(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            v = unsigned(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            v = unsigned(c - 'A' + 10);
        } else {
            return failAt(consumed_ + at_ - 1, QStringLiteral("\\u の後に 16 進数 4 桁が必要です"));
        }
        out = out * 16 + v;
    }
    return true;
}

void JsonReader::putUtf8(unsigned code) {
    if (code < 0x80) {
        text_ += char(code);
    } else if (code < 0x800) {
        text_ += char(0xC0 | (code >> 6));
        text_ += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text_ += char(0xE0 | (code >> 12));
        text_ += char(0x80 | ((code >> 6) & 0x3F));
        text_ += char(0x80 | (code & 0x3F));
    } else {
        text_ += char(0xF0 | (code >> 18));
        text_ += char(0x80 | ((code >> 12) & 0x3F));
        text_ += char(0x80 | ((code >> 6) & 0x3F));
        text_ += char(0x80 | (code & 0x3F));
    }
}

bool JsonReader::readString() {
    text_.resize(0);  // keeps its room for the next token
    ++at_;            // the opening quote
    for (;;) {
        // Plain bytes are taken a run at a time.
        qsizetype run = at_;
        while (run < size_) {
            const uchar b = uchar(buffer_[run]);
            if (b == '"' || b == '\\' || b < 0x20) break;
            ++run;
        }
        if (run > at_) {
            text_.append(buffer_.constData() + at_, run - at_);
            at_ = run;
        }
        if (text_.size() > kMaxString)
            return fail(QStringLiteral("文字列が長すぎます (上限 %1 バイト)").arg(kMaxString));
        const int c = get();
        if (c < 0) {
            if (readError_) return fail(QStringLiteral("読み込めません"));
            return fail(QStringLiteral("ファイルが途中で終わっています"));
        }
        if (c == '"') return true;
        if (c < 0x20) {
            return failAt(consumed_ + at_ - 1, QStringLiteral("文字列の中に制御文字があります"));
        }
        if (c != '\\') {
            text_ += char(c);  // the rest of a run cut by the buffer's end
            continue;
        }
        const int e = get();
        switch (e) {
            case '"':
            case '\\':
            case '/':
                text_ += char(e);
                break;
            case 'b':
                text_ += '\b';
                break;
            case 'f':
                text_ += '\f';
                break;
            case 'n':
                text_ += '\n';
                break;
            case 'r':
                text_ += '\r';
                break;
            case 't':
                text_ += '\t';
                break;
            case 'u': {
                const qint64 escapeAt = consumed_ + at_ - 2;
                unsigned code;
                if (!readHex4(code)) return false;
                if (code >= 0xD800 && code <= 0xDBFF) {
                    unsigned low = 0;
                    if (get() != '\\' || get() != 'u' || !readHex4(low) || low < 0xDC00 ||
                        low > 0xDFFF)
                        return failAt(escapeAt, QStringLiteral("対のないサロゲートがあります"));
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC80 && code <= 0xDCFF) {
                    // A byte that is not UTF-8, escaped as a lone low surrogate.
                    text_ += char(code - 0xDC00);
                    break;
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    return failAt(escapeAt, QStringLiteral("対のないサロゲートがあります"));
                }
                putUtf8(code);
                break;
            }
            case -1:
                return fail(QStringLiteral("ファイルが途中で終わっています"));
            default:
                return failAt(consumed_ + at_ - 1,
                              QStringLiteral("不正なエスケープ \\%1").arg(QChar(e)));
        }
    }
}

bool JsonReader::readNumber() {
    // Gathered on the stack and handed over once: a file holds millions of numbers.
    char number[kMaxNumber];
    qsizetype length = 0;
    auto take = [&] {
        if (length >= kMaxNumber) return false;
        number[length++] = char(get());
        return true;
    };
    auto tooLong = [&] { return fail(QStringLiteral("数値が長すぎます")); };
    auto digits = [&] {
        if (!IsDigit(peek())) return false;
        while (IsDigit(peek()))
            if (!take()) return false;
        return true;
    };
    if (peek() == '-' && !take()) return tooLong();
    if (peek() == '0') {
        if (!take()) return tooLong();
    } else if (!digits()) {
        return length >= kMaxNumber ? tooLong() : fail(QStringLiteral("数値が不正です"));
    }
    if (peek() == '.') {
        if (!take()) return tooLong();
        if (!digits())
            return length >= kMaxNumber ? tooLong() : fail(QStringLiteral("数値が不正です"));
    }
    if (peek() == 'e' || peek() == 'E') {
        if (!take()) return tooLong();
        if ((peek() == '+' || peek() == '-') && !take()) return tooLong();
        if (!digits())
            return length >= kMaxNumber ? tooLong() : fail(QStringLiteral("数値が不正です"));
    }
    text_.resize(0);  // keeps its room for the next token
    text_.append(number, length);
    return true;
}

bool JsonReader::next(Token& token) {
    for (;;) {
        skipSpace();
        tokenStart_ = consumed_ + at_;
        const int c = peek();
        if (expect_ == kDone) {
            if (!error_.isEmpty()) return false;
            if (readError_) return fail(QStringLiteral("読み込めません"));
            if (c >= 0) return fail(QStringLiteral("値の後に余分なデータがあります"));
            token = Token::End;
            return true;
        }
        if (c < 0) {
            if (readError_) return fail(QStringLiteral("読み込めません"));
            return fail(QStringLiteral("ファイルが途中で終わっています"));
        }
        const char top = stack_.empty() ? 0 : stack_.back();
        auto close = [&](Token t) {
            ++at_;
            stack_.pop_back();
            expect_ = stack_.empty() ? kDone : kCommaOrEnd;
            token = t;
            return true;
        };
        switch (expect_) {
            case kColon:
                if (c != ':') return fail(QStringLiteral("':' が必要です"));
                ++at_;
                expect_ = kValue;
                continue;
            case kCommaOrEnd:
                if (c == ',') {
                    ++at_;
                    expect_ = top == '{' ? kKey : kValue;
                    continue;
                }
                if (c == ']' && top == '[') return close(Token::EndArray);
                if (c == '}' && top == '{') return close(Token::EndObject);
                return fail(top == '[' ? QStringLiteral("',' か ']' が必要です")
                                       : QStringLiteral("',' か '}' が必要です"));
            case kKeyOrEnd:
                if (c == '}') return close(Token::EndObject);
                [[fallthrough]];
            case kKey:
                if (c != '"') return fail(QStringLiteral("メンバー名が必要です"));
                if (!readString()) return false;
                expect_ = kColon;
                token = Token::Key;
                return true;
            case kValueOrEnd:
                if (c == ']') return close(Token::EndArray);
                [[fallthrough]];
            case kValue:
            case kDone:
                break;
        }
        if (c == '[' || c == '{') {
            if (int(stack_.size()) >= maxDepth_)
                return fail(QStringLiteral("入れ子が深すぎます (上限 %1 段)").arg(maxDepth_));
            ++at_;
            stack_.push_back(char(c));
            expect_ = c == '[' ? kValueOrEnd : kKeyOrEnd;
            token = c == '[' ? Token::BeginArray : Token::BeginObject;
            return true;
        }
        if (c == '"') {
            if (!readString()) return false;
            token = Token::String;
        } else if (c == '-' || IsDigit(c)) {
            if (!readNumber()) return false;
            token = Token::Number;
        } else if (c == 't') {
            if (!readWord("true")) return false;
            token = Token::True;
        } else if (c == 'f') {
            if (!readWord("false")) return false;
            token = Token::False;
        } else if (c == 'n') {
            if (!readWord("null")) return false;
            token = Token::Null;
        } else {
            return fail(QStringLiteral("JSON ではありません (%1)").arg(Shown(c)));
        }
        expect_ = stack_.empty() ? kDone : kCommaOrEnd;
        return true;
    }
}

bool JsonReader::skipValue(Token first) {
    if (first != Token::BeginArray && first != Token::BeginObject) return true;
    const int base = depth() - 1;
    Token t;
    while (depth() > base) {
        if (!next(t)) return false;
    }
    return true;
}

}  // namespace interchange
