// Whole runs of the program in-process on the demo machine: each gives back
// all it took, but for what a run ended early (exit code 2) leaves to the
// end of the process: its ID copies and start-up's two locks.
#include "app/Program.h"
#include "runtime/CmdLine.h"
#include "unit.h"

using namespace tarvel;

TEST(Flow, RunsGiveBackWhatTheyTook) {
    nlohmann::json demo = nlohmann::json::parse(sim::DemoMachineJson());
    demo["clock"] = "virtual";
    static char* args[kMaxArgs];
    for (const auto& c : unit::Data("flows.json")) {
        SCOPED_TRACE(c.dump());
        unit::Load(demo.dump());
        unit::Held before;
        int argc = 0;
        sim::SetCommandLine(c["line"]);
        SplitCommandLine(argc, args);
        EXPECT_EQ(main(argc, args), c["code"].get<int>());
        int kept = 0;
        for (char*& id : IdList) {  // as the end of the process takes them back
            kept += id != NULL;
            HeapDelete(id);
            id = NULL;
        }
        EXPECT_EQ(kept, c.value("kept_ids", 0));
        if (c["code"] == 2) before.sections += 2;
        unit::ExpectReleased(before, c["line"]);
    }
}
