#include "capture/JsonWriter.h"

#include "runtime/CRTreplace.h"

namespace tarvel::capture {

int JsonWriter::Length(const char* text) {
    int length = 0;
    while (text[length]) length++;
    return length;
}

void JsonWriter::Put(const char* bytes, int length) {
    if (out_.Length + length > out_.Capacity) {
        int capacity = out_.Capacity ? out_.Capacity * 2 : 65536;
        while (capacity < out_.Length + length) capacity *= 2;
        char* data = static_cast<char*>(Take(capacity));
        MemMove(data, out_.Data, out_.Length);
        out_.Data = data;
        out_.Capacity = capacity;
    }
    MemMove(out_.Data + out_.Length, bytes, length);
    out_.Length += length;
}

void JsonWriter::Digits(DWORD value, DWORD base, int minDigits) {
    char text[32];
    int start = sizeof text;
    do {
        text[--start] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0 || int(sizeof text) - start < minDigits);
    Put(text + start, int(sizeof text) - start);
}

void JsonWriter::Newline() {
    Put("\n", 1);
    for (int i = 0; i < depth_; i++) Put("  ", 2);
}

void JsonWriter::Begin(char bracket) {
    Put(&bracket, 1);
    items_[++depth_] = 0;
}

void JsonWriter::End(char bracket) {
    if (items_[depth_--]) Newline();
    Put(&bracket, 1);
}

void JsonWriter::Item() {
    if (items_[depth_]++) Put(",", 1);
    Newline();
}

void JsonWriter::Key(const char* key) {
    Item();
    Put("\"", 1);
    Raw(key);
    Put("\": ", 3);
}

void JsonWriter::Key(DWORD number) {
    Item();
    Put("\"", 1);
    Unsigned(number);
    Put("\": ", 3);
}

void JsonWriter::Escaped(const char* bytes, int length) {
    for (int i = 0; i < length; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            char escaped[2] = {'\\', char(c)};
            Put(escaped, 2);
        } else if (c < 0x20) {
            Put("\\u", 2);
            Hex(c, 4);
        } else {
            Put(bytes + i, 1);
        }
    }
}

void JsonWriter::String(const char* bytes, int length) {
    Put("\"", 1);
    Escaped(bytes, length);
    Put("\"", 1);
}

}  // namespace tarvel::capture
