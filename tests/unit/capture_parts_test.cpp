// Parts of the capture on their own: masking, the ANSI texts, the console
// it reads, properties stored without their terminator.
#include <algorithm>

#include "capture/Texts.h"
#include "fuzz/CaptureLoop.h"
#include "unit.h"

using namespace tarvel;

namespace {

nlohmann::json Cases(const char* name) { return unit::Data("capture_texts.json")[name]; }

capture::Text ArenaText(const std::string& text) {
    return capture::Text{capture::CopyString(text.c_str()), int(text.size()), true, 0};
}

std::string Str(const capture::Text& text) { return std::string(text.Utf8, text.Length); }

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') { i++; continue; }
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

// Every {"unterminated": TEXT} of a machine file, in order.
void Unterminated(const nlohmann::json& j, std::vector<std::string>& found) {
    if (j.is_object() && j.size() == 1 && j.contains("unterminated"))
        found.push_back(j["unterminated"]);
    else if (j.is_structured())
        for (const auto& item : j) Unterminated(item, found);
}

struct CaptureParts : unit::SimTest {
    void TearDown() override {
        capture::ReleaseArena();
        unit::SimTest::TearDown();
    }
};

}  // namespace

// The placeholders are longer than short serials; the arena after the
// masked text must stay as zero as the next piece expects it.
TEST_F(CaptureParts, MasksSerialsOfAnyLength) {
    for (const auto& c : Cases("masking")) {
        SCOPED_TRACE(c.dump());
        auto* m = static_cast<capture::Machine*>(capture::Take(sizeof(capture::Machine)));
        for (const auto& serial : c["serials"])
            m->Nodes.Add().Id = ArenaText("USB\\VID_1209&PID_0001\\" + serial.get<std::string>());
        capture::Text& text = c.contains("path") ? m->Hubs.Add().Name
                                                 : m->Nodes[0].Props[capture::kDescription];
        text = ArenaText(c.contains("path") ? c["path"] : c["name"]);
        capture::MaskSerials(*m);
        EXPECT_EQ(Str(text), c["masked"]);
        const char* next = static_cast<const char*>(capture::Take(256));
        EXPECT_EQ(std::count(next, next + 256, '\0'), 256) << "bytes written past the masked text";
    }
}

TEST_F(CaptureParts, PassesOnlyWellFormedUtf8) {
    unit::Load(R"({"console": {"ansi_cp": 65001}})");
    capture::ResetTexts();
    auto* m = static_cast<capture::Machine*>(capture::Take(sizeof(capture::Machine)));
    for (const auto& c : Cases("ansi_utf8")) {
        std::string in = Bytes(c[0]);
        EXPECT_EQ(Str(capture::AnsiText(*m, in.data(), int(in.size()))), Bytes(c[1])) << c[0];
    }
}

TEST_F(CaptureParts, LeavesTheConsoleInputModeAsItWas) {
    for (const char* kind : {"console", "redirected"}) {
        std::string machine = std::string(R"({"clock": "virtual", "console": {"stdin": ")") + kind + "\"}}";
        unit::Load(machine);
        uint32_t mode = sim::ConsoleInputMode();
        std::string failed;
        nlohmann::json captured = nlohmann::json::parse(fuzz::CaptureMachine(machine, false, failed));
        EXPECT_EQ(failed, "");
        EXPECT_EQ(captured["console"]["stdin"], kind);
        EXPECT_EQ(sim::ConsoleInputMode(), mode) << kind;
    }
}

TEST_F(CaptureParts, RecordsPropertiesStoredWithoutTerminator) {
    std::ifstream in(std::string(TARVEL_SOURCE_DIR) + "/" + Cases("unterminated").get<std::string>());
    nlohmann::json machine = nlohmann::json::parse(in);
    std::string failed;
    std::string captured = fuzz::CaptureMachine(machine.dump(), false, failed);
    EXPECT_EQ(failed, "");
    std::vector<std::string> given, recorded;
    Unterminated(machine, given);
    Unterminated(nlohmann::json::parse(captured), recorded);
    ASSERT_FALSE(given.empty());
    EXPECT_EQ(recorded, given);
}
