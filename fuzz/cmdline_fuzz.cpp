// The splitter on any byte string: arguments stay inside the buffer, there
// are at most 32, nothing but quotes is ever removed, and splitting the
// same line twice gives the same arguments.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/sim/Sim.h"
#include "runtime/CmdLine.h"

namespace {

using Args = std::vector<std::string>;

// Cuts the line into raw arguments, quotes still in: spaces separate outside
// quotes, a quote toggles quoting, the 32nd argument ends at its separator.
Args RawArguments(std::string line) {
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    Args raw(1);
    bool quoted = false, separating = false;
    for (char c : line) {
        if (!quoted && c == ' ') {
            separating = true;
            continue;
        }
        if (separating) {
            if (raw.size() == (size_t)tarvel::kMaxArgs) break;
            raw.emplace_back();
            separating = false;
        }
        if (c == '"') quoted = !quoted;
        raw.back() += c;
    }
    return raw;
}

std::string WithoutQuotes(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '"') out += c;
    return out;
}

// Every quote goes except one right after a backslash; nothing else goes.
std::string WithoutUnescapedQuotes(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++)
        if (text[i] != '"' || (i > 0 && text[i - 1] == '\\')) out += text[i];
    return out;
}

Args Split(const std::string& line, bool& accepted) {
    tarvel::sim::SetCommandLine(line);
    char* args[tarvel::kMaxArgs];
    memset(args, 0, sizeof args);
    int count = -1;
    accepted = tarvel::SplitCommandLine(count, args);
    FUZZ_REQUIRE(count >= 0 && count <= tarvel::kMaxArgs, "argument count out of range");
    Args out;
    // The first argument starts the buffer: every other one lies after it
    // and ends inside the buffer.
    const char* start = count > 0 ? args[0] : nullptr;
    for (int i = 0; i < count; i++) {
        FUZZ_REQUIRE(args[i] >= start, "argument before the buffer");
        size_t length = strnlen(args[i], tarvel::kCmdLineBufferSize);
        FUZZ_REQUIRE(args[i] + length < start + tarvel::kCmdLineBufferSize,
                     "argument past the buffer");
        out.emplace_back(args[i], length);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // GetCommandLineA answers a C string: it ends at the first zero byte.
    std::string line(reinterpret_cast<const char*>(data), strnlen((const char*)data, size));
    bool accepted = false;
    Args args = Split(line, accepted);
    bool fits = line.size() < (size_t)tarvel::kCmdLineBufferSize;
    FUZZ_REQUIRE(accepted == fits, "a line is refused exactly when it does not fit");
    FUZZ_REQUIRE(tarvel::CommandLineTooLong() == !fits, "too-long flag");
    if (!fits) {
        FUZZ_REQUIRE(args.empty(), "a refused line yields no arguments");
        return 0;
    }

    Args raw = RawArguments(line);
    FUZZ_REQUIRE(args.size() == raw.size(), "argument count differs from the separators");
    for (size_t i = 0; i < args.size(); i++) {
        FUZZ_REQUIRE(!raw[i].empty(), "an empty argument was recorded");
        FUZZ_REQUIRE(!args[i].empty() || WithoutQuotes(raw[i]).empty(),
                     "an argument not made of quotes came out empty");
        FUZZ_REQUIRE(args[i] == WithoutUnescapedQuotes(raw[i]),
                     "quote removal took other than the unescaped quotes");
    }

    bool again = false;
    FUZZ_REQUIRE(Split(line, again) == args && again, "splitting twice differs");
    return 0;
}
