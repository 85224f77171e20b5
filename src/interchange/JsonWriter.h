#pragma once
// Streaming JSON output: text collects in a buffer that goes to a sink in large pieces, so
// a file of any size is written with bounded memory. Names are written byte for byte.
#include <QByteArray>
#include <functional>

namespace interchange {

// Appends bytes as a JSON string. Quotes, backslashes and control codes are escaped; every
// other byte goes out as it is, bytes that are not UTF-8 included, since file names are
// bytes and an escape would name a different file when read back.
void AppendJsonString(QByteArray& out, const QByteArray& bytes);

class JsonStream {
  public:
    // Takes a piece of output; false when it could not be written.
    using Sink = std::function<bool(const char* data, qsizetype size)>;

    explicit JsonStream(Sink sink, qsizetype piece = kPiece);

    JsonStream& raw(const char* text);
    JsonStream& raw(const QByteArray& text);
    JsonStream& string(const QByteArray& bytes);
    JsonStream& number(qint64 value);
    JsonStream& number(quint64 value);

    // Hands what is buffered to the sink. False once any piece failed.
    bool flush();
    bool failed() const { return failed_; }
    // Drops what is buffered and not yet handed over.
    void discard() { buffer_.clear(); }
    qint64 written() const { return written_; }

    static constexpr qsizetype kPiece = 1 << 16;

  private:
    void spill() {
        if (buffer_.size() >= piece_) flush();
    }

    Sink sink_;
    qsizetype piece_;
    QByteArray buffer_;
    qint64 written_ = 0;
    bool failed_ = false;
};

}  // namespace interchange
