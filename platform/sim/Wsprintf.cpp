// The wsprintf family: its conversions, flags and its 1024-byte limit.
#include <string.h>

#include "platform/sim/SimCore.h"

namespace tarvel {
namespace {

const int kMaxOutput = 1024;  // bytes, terminator included
const int kMaxField = 100000;  // wider fields are cut anyway; keeps the parse from overflowing

struct Field {
    bool left = false;
    bool zero = false;
    bool prefix = false;  // '#': 0x before hexadecimal digits
    int width = 0;
    int precision = -1;
    char size = 0;  // 'h', 'l' or 'w'
    char type = 0;
};

class Sink {
public:
    explicit Sink(char* out) : out_(out) {}
    void Put(char c) {
        if (count_ < kMaxOutput - 1) out_[count_++] = c;
    }
    void Repeat(char c, int n) {
        for (; n > 0; --n) Put(c);
    }
    int Finish() {
        out_[count_] = 0;
        return count_;
    }

private:
    char* out_;
    int count_ = 0;
};

const char* ParseCount(const char* f, int& count) {
    for (; *f >= '0' && *f <= '9'; ++f)
        if (count < kMaxField) count = count * 10 + (*f - '0');
    return f;
}

const char* ParseField(const char* f, Field& field) {
    for (;; ++f) {
        if (*f == '-') field.left = true;
        else if (*f == '0') field.zero = true;
        else if (*f == '#') field.prefix = true;
        else break;
    }
    f = ParseCount(f, field.width);
    if (*f == '.') {
        field.precision = 0;
        f = ParseCount(f + 1, field.precision);
    }
    if (*f == 'h' || *f == 'l' || *f == 'w') field.size = *f++;
    field.type = *f;
    return f;
}

// Pads a finished field of `length` characters to the width.
void PadBefore(Sink& sink, const Field& field, int length) {
    if (!field.left) sink.Repeat(field.zero ? '0' : ' ', field.width - length);
}
void PadAfter(Sink& sink, const Field& field, int length) {
    if (field.left) sink.Repeat(' ', field.width - length);
}

void PutNarrow(Sink& sink, const Field& field, const char* text) {
    if (!text) text = "(null)";
    int length = 0;
    while (text[length] && (field.precision < 0 || length < field.precision)) ++length;
    PadBefore(sink, field, length);
    for (int i = 0; i < length; ++i) sink.Put(text[i]);
    PadAfter(sink, field, length);
}

// Wide text reaches the output in the ANSI code page; width and precision
// count UTF-16 units, as the wide string is measured before conversion.
void PutWide(Sink& sink, const Field& field, const WCHAR* text) {
    if (!text) {
        PutNarrow(sink, field, nullptr);
        return;
    }
    size_t length = 0;
    while (text[length] && (field.precision < 0 || (int)length < field.precision)) ++length;
    PadBefore(sink, field, (int)length);
    for (size_t pos = 0; pos < length;) {
        char bytes[4];
        bool missing;
        int n = sim::EncodeNext(CP_ACP, 0, text, length, &pos, bytes, &missing);
        for (int i = 0; i < n; ++i) sink.Put(bytes[i]);
    }
    PadAfter(sink, field, (int)length);
}

void PutNumber(Sink& sink, const Field& field, uint64_t value, bool negative, unsigned base,
               bool upper, int minDigits) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char text[24];
    int n = 0;
    for (; value; value /= base) text[n++] = digits[value % base];
    int precision = field.precision >= 0 ? field.precision : minDigits;
    int zeros = precision > n ? precision - n : 0;
    bool hexPrefix = field.prefix && base == 16 && n > 0;
    int extra = (negative ? 1 : 0) + (hexPrefix ? 2 : 0);
    int length = extra + zeros + n;
    if (!field.left && !field.zero) sink.Repeat(' ', field.width - length);
    if (negative) sink.Put('-');
    if (hexPrefix) {
        sink.Put('0');
        sink.Put(upper ? 'X' : 'x');
    }
    if (!field.left && field.zero) sink.Repeat('0', field.width - length);
    sink.Repeat('0', zeros);
    while (n > 0) sink.Put(text[--n]);
    PadAfter(sink, field, length);
}

void PutChar(Sink& sink, const Field& field, int value) {
    PadBefore(sink, field, 1);
    if (field.size == 'l' || field.size == 'w') {
        WCHAR wide[2] = {(WCHAR)value, 0};
        char bytes[4];
        size_t pos = 0;
        bool missing;
        int n = sim::EncodeNext(CP_ACP, 0, wide, 1, &pos, bytes, &missing);
        for (int i = 0; i < n; ++i) sink.Put(bytes[i]);
    } else {
        sink.Put((char)value);
    }
    PadAfter(sink, field, 1);
}

void Convert(Sink& sink, const Field& field, va_list* args) {
    switch (field.type) {
        case 's':
            if (field.size == 'l' || field.size == 'w')
                PutWide(sink, field, va_arg(*args, const WCHAR*));
            else
                PutNarrow(sink, field, va_arg(*args, const char*));
            break;
        case 'S':
            PutWide(sink, field, va_arg(*args, const WCHAR*));
            break;
        case 'c':
            PutChar(sink, field, va_arg(*args, int));
            break;
        case 'd':
        case 'i': {
            int32_t value = va_arg(*args, int32_t);
            uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
            PutNumber(sink, field, magnitude, value < 0, 10, false, 1);
            break;
        }
        case 'u':
            PutNumber(sink, field, va_arg(*args, uint32_t), false, 10, false, 1);
            break;
        case 'x':
        case 'X':
            PutNumber(sink, field, va_arg(*args, uint32_t), false, 16, field.type == 'X', 1);
            break;
        case 'p': {
            Field plain;
            plain.width = field.width;
            plain.left = field.left;
            PutNumber(sink, plain, (uintptr_t)va_arg(*args, void*), false, 16, true, 16);
            break;
        }
        default:  // an unknown type stands for itself, "%%" included
            sink.Put(field.type);
    }
}

}  // namespace

int wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    Sink sink(out);
    if (!format) return sink.Finish();
    va_list ap;
    va_copy(ap, args);
    for (const char* f = format; *f; ++f) {
        if (*f != '%') {
            sink.Put(*f);
            continue;
        }
        Field field;
        f = ParseField(f + 1, field);
        if (!*f) break;
        Convert(sink, field, &ap);
    }
    va_end(ap);
    return sink.Finish();
}

}  // namespace tarvel
