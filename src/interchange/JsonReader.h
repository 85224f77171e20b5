#pragma once
// A streaming JSON tokenizer: reads a device through a fixed buffer and hands out one
// token at a time, so a file of any size is read in bounded memory and nesting of any
// depth costs one byte per level instead of a stack frame. Strings come out as bytes:
// escapes are decoded to UTF-8, raw bytes that are not UTF-8 are kept as they are, and a
// lone escaped low surrogate U+DC80..U+DCFF stands for the byte it escapes.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <vector>

namespace interchange {

class JsonReader {
  public:
    enum class Token {
        BeginArray,
        EndArray,
        BeginObject,
        EndObject,
        Key,     // an object member's name; text() holds it
        String,  // text() holds the decoded bytes
        Number,  // text() holds the number as written
        True,
        False,
        Null,
        End,  // after the one top-level value
    };

    static constexpr qsizetype kMaxString = 64 * 1024;
    static constexpr qsizetype kMaxNumber = 64;

    explicit JsonReader(QIODevice& in, int maxDepth = 10000);

    // The next token. False on a syntax error, a read error or a limit passed; error()
    // then says what, at which byte.
    bool next(Token& token);
    // Skips the value whose first token was just read (nothing more for a scalar).
    bool skipValue(Token first);

    const QByteArray& text() const { return text_; }
    // Byte offset of the last token's first character.
    qint64 offset() const { return tokenStart_; }
    int depth() const { return int(stack_.size()); }
    const QString& error() const { return error_; }
    // Records an error about the last token, or about the byte at (for the reader's
    // caller). Always false.
    bool fail(const QString& what);
    bool failAt(qint64 at, const QString& what);

  private:
    bool fill();
    // -1 at the end of input (or after a read error).
    int peek() { return at_ < size_ || fill() ? uchar(buffer_.constData()[at_]) : -1; }
    int get() {
        const int c = peek();
        if (c >= 0) ++at_;
        return c;
    }
    bool skipSpace();
    bool readString();
    bool readNumber();
    bool readWord(const char* word);
    bool readHex4(unsigned& out);
    void putUtf8(unsigned code);

    enum Expect : quint8 { kValue, kValueOrEnd, kCommaOrEnd, kKeyOrEnd, kKey, kColon, kDone };

    QIODevice& in_;
    int maxDepth_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    qsizetype size_ = 0;
    qint64 consumed_ = 0;  // bytes of the input before buffer_
    bool eof_ = false;
    bool readError_ = false;
    qint64 tokenStart_ = 0;
    QByteArray text_;
    QString error_;
    std::vector<char> stack_;  // '[' or '{' per open container
    Expect expect_ = kValue;
};

}  // namespace interchange
