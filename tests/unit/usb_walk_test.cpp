// The port walk in-process on simulated machines: its conversation with the
// stack and the records it makes.
#include "unit.h"

// Each walk of data/walks.json: the port chains, speeds and driver keys of
// its records, the instance IDs and hub paths of their nodes, the nodes
// listed, the sizes of the areas its queries carry, its calls from the
// host-controller set on, and how often some were made.
TEST(UsbWalk, Conversations) {
    for (const auto& c : unit::Data("walks.json")) {
        SCOPED_TRACE(c["why"].get<std::string>());
        unit::Walk w(nlohmann::json({{"clock", "virtual"}, {"usb", c["usb"]}}).dump(),
                     std::stoul(c.value("version", "0x1000"), nullptr, 0), c.value("service_pack", 0));
        nlohmann::json records = nlohmann::json::object();
        for (int i = 0; i < w.info->PortCount; i++) {
            const tarvel::DevNodeRecord* node = w.Port(i).DevNode;
            records["chains"].push_back(w.Port(i).PortName);
            records["speeds"].push_back({w.Port(i).ConnSpeed, w.Port(i).DevMaxSpeed});
            records["keys"].push_back(w.Port(i).DriverKeyName);
            records["ids"].push_back(node ? nlohmann::json(node->DeviceId) : nlohmann::json());
            records["paths"].push_back(node ? nlohmann::json(node->HubInterfacePath) : nlohmann::json());
        }
        for (const char* field : {"chains", "speeds", "keys", "ids", "paths"})
            if (c.contains(field)) EXPECT_EQ(records[field], c[field]) << field;
        if (c.contains("nodes")) EXPECT_EQ(w.info->DevTree->Count, c["nodes"].get<int>());
        if (c.contains("areas")) EXPECT_EQ(nlohmann::json(tarvel::sim::IoctlAreas()), c["areas"]);
        if (c.contains("trace")) {
            std::string calls;
            for (const auto& line : c["trace"]) calls += line.get<std::string>() + "\n";
            EXPECT_EQ(w.trace.substr(w.trace.find("SetupDiGetClassDevsA hostcontroller")), calls);
        }
        nlohmann::json counts = c.value("counts", nlohmann::json::object());
        for (const auto& count : counts.items())
            EXPECT_EQ(unit::Count(w.trace, count.key()), count.value().get<int>()) << count.key();
    }
}
