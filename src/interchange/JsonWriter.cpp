#include "interchange/JsonWriter.h"

#include <utility>

namespace interchange {

void AppendJsonString(QByteArray& out, const QByteArray& bytes) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

JsonStream::JsonStream(Sink sink, qsizetype piece) : sink_(std::move(sink)), piece_(piece) {
    buffer_.reserve(piece_ + 4096);
}

JsonStream& JsonStream::raw(const char* text) {
    buffer_ += text;
    spill();
    return *this;
}

JsonStream& JsonStream::raw(const QByteArray& text) {
    buffer_ += text;
    spill();
    return *this;
}

JsonStream& JsonStream::string(const QByteArray& bytes) {
    AppendJsonString(buffer_, bytes);
    spill();
    return *this;
}

JsonStream& JsonStream::number(qint64 value) {
    buffer_ += QByteArray::number(value);
    spill();
    return *this;
}

JsonStream& JsonStream::number(quint64 value) {
    buffer_ += QByteArray::number(value);
    spill();
    return *this;
}

bool JsonStream::flush() {
    if (failed_) {
        buffer_.clear();
        return false;
    }
    if (buffer_.isEmpty()) return true;
    if (!sink_ || !sink_(buffer_.constData(), buffer_.size())) failed_ = true;
    if (!failed_) written_ += buffer_.size();
    buffer_.clear();
    return !failed_;
}

}  // namespace interchange
