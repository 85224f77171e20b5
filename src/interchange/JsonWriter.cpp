#include "interchange/JsonWriter.h"

#include <charconv>
#include <utility>

namespace interchange {

void AppendJsonString(QByteArray& out, const QByteArray& bytes) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while (p < end) {
        // Runs of bytes that need no escape go in whole.
        const char* run = p;
        while (run < end) {
            const auto c = static_cast<unsigned char>(*run);
            if (c < 0x20 || c == '"' || c == '\\' || c == 0x7f) break;
            ++run;
        }
        if (run > p) out.append(p, run - p);
        if (run == end) break;
        const auto c = static_cast<unsigned char>(*run);
        p = run + 1;
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
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
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
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, value);
    buffer_.append(text, r.ptr - text);
    spill();
    return *this;
}

JsonStream& JsonStream::number(quint64 value) {
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, value);
    buffer_.append(text, r.ptr - text);
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
    buffer_.truncate(0);  // keeps its capacity for the next piece
    return !failed_;
}

}  // namespace interchange
