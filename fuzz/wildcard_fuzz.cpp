// WildcardMatch on any text and pattern, against a plain dynamic-programming
// matcher with the same character equality. Super-linear blow-ups show as
// libFuzzer timeouts.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "usb/Matching.h"

namespace {

bool Same(unsigned char a, unsigned char b) { return ((a ^ b) & ~0x20u) == 0; }

// match[j]: the text read so far matches the first j pattern characters.
bool ReferenceMatch(const std::string& text, const std::string& pattern) {
    if (text.empty()) return false;
    size_t m = pattern.size();
    std::vector<char> match(m + 1, 0), next(m + 1);
    match[0] = 1;
    for (size_t j = 1; j <= m && pattern[j - 1] == '*'; j++) match[j] = 1;
    for (unsigned char c : text) {
        next[0] = 0;
        for (size_t j = 1; j <= m; j++) {
            unsigned char p = pattern[j - 1];
            if (p == '*')
                next[j] = next[j - 1] || match[j];
            else
                next[j] = match[j - 1] && (p == '?' || Same(c, p));
        }
        match.swap(next);
    }
    return match[m];
}

bool FoldedEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (!Same(a[i], b[i])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text runs up to the first zero byte, the pattern up to the next.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t cut = bytes.find('\0');
    std::string text = bytes.substr(0, cut);
    std::string pattern = cut == std::string::npos ? "" : bytes.substr(cut + 1);
    pattern = pattern.substr(0, pattern.find('\0'));

    bool result = tarvel::WildcardMatch(text.c_str(), pattern.c_str());
    FUZZ_REQUIRE(result == ReferenceMatch(text, pattern), "differs from the reference matcher");
    if (pattern.find_first_of("*?") == std::string::npos)
        FUZZ_REQUIRE(result == (!text.empty() && FoldedEqual(text, pattern)),
                     "a plain pattern matches exactly the equal texts");
    FUZZ_REQUIRE(tarvel::WildcardMatch(text.c_str(), "*") == !text.empty(),
                 "* matches every non-empty text");
    FUZZ_REQUIRE(!tarvel::WildcardMatch(nullptr, pattern.c_str()), "a null text matches");
    return 0;
}
