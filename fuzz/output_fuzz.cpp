// The output path: the wsprintf formatter with the conversions the program
// uses (checked against the C library where both define the result),
// ExpandNewlines on its own buffer, and printf / DbgPrintf end to end.
// Nothing may be written past a buffer, every bare line feed must gain its
// carriage return, and CR LF pairs must pass untouched.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/sim/Sim.h"
#include "runtime/CRTreplace.h"

namespace {

const int kBuffer = tarvel::kPrintfBufferSize;

// The conversion slots of one formatter call, in a fixed type order, so
// that every argument is passed with the type its conversion reads.
enum Slot { kText, kWide, kNumber, kPointer };
const Slot kSlots[] = {kText, kWide, kNumber, kNumber, kNumber, kPointer,
                       kText, kWide, kNumber, kNumber};
const int kSlotCount = sizeof kSlots / sizeof kSlots[0];

struct FormatCase {
    std::string format;     // for wvsprintfA
    std::string reference;  // the same for snprintf; empty: no reference
    std::string texts[2];
    std::u16string wides[2];
    std::string wideNarrow[2];  // the wide texts as bytes, when all ASCII
    uint32_t numbers[5] = {};
    bool comparable = true;
};

std::string Literal(FuzzedDataProvider& in) {
    std::string text = in.ConsumeRandomLengthString(64);
    std::string out;
    for (char c : text) {
        if (c == 0) break;
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

// Flag 0 and a width or precision as the program writes them: the zero
// flag goes with numbers and never together with a precision.
std::string FieldPrefix(FuzzedDataProvider& in, bool number) {
    std::string prefix = "%";
    bool zero = number && in.ConsumeBool();
    if (zero) prefix += '0';
    if (in.ConsumeBool()) prefix += std::to_string(in.ConsumeIntegralInRange(0, 1100));
    if (!zero && in.ConsumeBool()) prefix += "." + std::to_string(in.ConsumeIntegralInRange(0, 1100));
    return prefix;
}

FormatCase MakeCase(FuzzedDataProvider& in) {
    FormatCase c;
    int texts = 0, wides = 0, numbers = 0;
    int conversions = in.ConsumeIntegralInRange(0, kSlotCount);
    for (int i = 0; i < conversions; i++) {
        std::string literal = Literal(in);
        c.format += literal;
        c.reference += literal;
        switch (kSlots[i]) {
            case kText: {
                std::string prefix = FieldPrefix(in, false);
                c.texts[texts++] = in.ConsumeRandomLengthString(1500).c_str();
                c.format += prefix + "s";
                c.reference += prefix + "s";
                break;
            }
            case kWide: {
                std::string prefix = FieldPrefix(in, false);
                std::u16string& wide = c.wides[wides];
                size_t units = in.ConsumeIntegralInRange<size_t>(0, 1500);
                for (size_t u = 0; u < units && in.remaining_bytes() > 0; u++) {
                    char16_t unit = in.ConsumeIntegral<uint16_t>();
                    if (unit == 0) break;
                    wide += unit;
                    if (unit >= 0x80) c.comparable = false;
                    c.wideNarrow[wides] += (char)unit;
                }
                wides++;
                c.format += prefix + "ws";
                c.reference += prefix + "s";
                break;
            }
            case kNumber: {
                std::string prefix = FieldPrefix(in, true);
                const char* type = in.PickValueInArray({"i", "u", "X"});
                c.numbers[numbers++] = in.ConsumeIntegral<uint32_t>();
                c.format += prefix + type;
                c.reference += prefix + type;
                break;
            }
            case kPointer:
                // Its rendering is the formatter's own: no reference.
                c.format += "%p";
                c.comparable = false;
                break;
        }
    }
    std::string tail = Literal(in);
    c.format += tail;
    c.reference += tail;
    return c;
}

void CheckFormatter(FuzzedDataProvider& in) {
    FormatCase c = MakeCase(in);
    std::unique_ptr<char[]> out(new char[kBuffer]);  // exact size: ASan sees overruns
    const tarvel::WCHAR* w0 = (const tarvel::WCHAR*)c.wides[0].c_str();
    const tarvel::WCHAR* w1 = (const tarvel::WCHAR*)c.wides[1].c_str();
    int n = tarvel::wsprintfA(out.get(), c.format.c_str(), c.texts[0].c_str(), w0, c.numbers[0],
                              c.numbers[1], c.numbers[2], (void*)&c, c.texts[1].c_str(), w1,
                              c.numbers[3], c.numbers[4]);
    FUZZ_REQUIRE(n >= 0 && n < kBuffer, "formatter count out of range");
    FUZZ_REQUIRE(strlen(out.get()) == (size_t)n, "formatter count differs from its text");
    if (!c.comparable) return;
    std::vector<char> expected(kBuffer);
    snprintf(expected.data(), kBuffer, c.reference.c_str(), c.texts[0].c_str(),
             c.wideNarrow[0].c_str(), c.numbers[0], c.numbers[1], c.numbers[2], (void*)&c,
             c.texts[1].c_str(), c.wideNarrow[1].c_str(), c.numbers[3], c.numbers[4]);
    FUZZ_REQUIRE(std::string(out.get()) == std::string(expected.data()),
                 "formatter differs from the C library");
}

// Every line feed of the source gains a carriage return unless one
// precedes it. Boundaries: the output length after each source character.
std::string Expanded(const std::string& text, std::vector<size_t>& boundaries) {
    std::string out;
    boundaries.assign(1, 0);
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
        boundaries.push_back(out.size());
    }
    return out;
}

// The output of an expansion: the full expansion cut after a whole source
// character, as long as it fits with its terminator.
void CheckExpansion(const std::string& source, const std::string& written) {
    std::vector<size_t> boundaries;
    std::string full = Expanded(source, boundaries);
    size_t cut = 0;
    for (size_t b : boundaries)
        if (b < (size_t)kBuffer) cut = b;
    FUZZ_REQUIRE(written == full.substr(0, cut), "expansion is not the expected prefix");
}

std::string Text(FuzzedDataProvider& in, size_t max) {
    std::string text = in.ConsumeRandomLengthString(max);
    return text.substr(0, text.find('\0'));
}

void CheckExpandNewlines(FuzzedDataProvider& in) {
    std::string text = Text(in, kBuffer - 1);
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    memcpy(buffer.get(), text.c_str(), text.size() + 1);
    tarvel::ExpandNewlines(buffer.get());
    CheckExpansion(text, std::string(buffer.get(), strnlen(buffer.get(), kBuffer)));
}

void CheckPrintf(FuzzedDataProvider& in) {
    bool diagnostic = in.ConsumeBool();
    std::string text = Text(in, 4 * kBuffer);
    tarvel::sim::CaptureStdout(true);
    int result;
    std::string formatted;
    if (diagnostic) {
        tarvel::DiagLevel = 6;
        tarvel::DbgPrintf(4, "%s", text.c_str());
        tarvel::DiagLevel = 0;
        // The formatter keeps 1023 bytes, the channel the first 1000.
        formatted = " " + text.substr(0, tarvel::kDbgTextMax) + "\n";
        result = (int)tarvel::sim::CapturedStdout().size();
    } else {
        result = tarvel::printf("%s", text.c_str());
        formatted = text.substr(0, kBuffer - 1);
    }
    std::string written = tarvel::sim::CapturedStdout();
    tarvel::sim::CaptureStdout(false);
    FUZZ_REQUIRE(result == (int)written.size(), "printf result is not the bytes written");
    CheckExpansion(formatted, written);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!tarvel::sim::LoadMachineJson("{\"clock\": \"virtual\"}", error)) abort();
    tarvel::SetHeapHandle(tarvel::GetProcessHeap());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: CheckFormatter(in); break;
        case 1: CheckExpandNewlines(in); break;
        default: CheckPrintf(in); break;
    }
    return 0;
}
