// A JSON text written into the arena: two-space indentation, each member
// and item on a line of its own, texts as they are given (UTF-8) with JSON
// escapes for quotes, backslashes and control characters. It formats by
// itself and asks the system nothing.
#pragma once
#include "capture/Model.h"

namespace tarvel::capture {

struct Output {
    char* Data;
    int Length;
    int Capacity;
};

class JsonWriter {
public:
    explicit JsonWriter(Output& out) : out_(out) {}

    // Opens ('{' or '[') and closes an object or array.
    void Begin(char bracket);
    void End(char bracket);
    // Starts the next item of an array, or the next member of an object.
    void Item();
    void Key(const char* key);
    void Key(DWORD number);  // a member named by a number

    void String(const char* bytes, int length);
    void String(const char* text) { String(text, Length(text)); }
    void Bool(bool value) { Raw(value ? "true" : "false"); }
    void Unsigned(DWORD value) { Digits(value, 10, 1); }
    // A member and its value in one call.
    void Member(const char* key, const char* text) { Key(key); String(text); }
    void Member(const char* key, DWORD value) { Key(key); Unsigned(value); }
    void BoolMember(const char* key, bool value) { Key(key); Bool(value); }

    // Parts of a value the caller shapes itself: bytes as they are, the
    // escaped bytes of a text without its quotes, a number in hexadecimal
    // (upper case, at least minDigits digits).
    void Raw(const char* text) { Put(text, Length(text)); }
    void Escaped(const char* bytes, int length);
    void Hex(DWORD value, int minDigits) { Digits(value, 16, minDigits); }

private:
    static int Length(const char* text);
    void Put(const char* bytes, int length);
    void Digits(DWORD value, DWORD base, int minDigits);
    void Newline();

    static const int kMaxNesting = 1024;
    Output& out_;
    int items_[kMaxNesting + 2] = {};  // items so far at each open level
    int depth_ = 0;
};

}  // namespace tarvel::capture
