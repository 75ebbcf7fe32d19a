// Device-node queries: instance IDs, status, and registry properties with
// the buffer rules the node list relies on.
#include <cstring>

#include "tests/unit/sim_usb_load.h"

using namespace tarvel;
using simusb::LoadUsb;

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// Root hub node 2; port 1 node 3 with the texts below.
void LoadNode(const std::string& node) {
    LoadUsb(R"({"controllers": [{"root_hub": {"connections": {"1": {"node": )" + node + "}}}}]}");
}

TEST(SimUsbCfgMgr, PropertyValueIsUtf16WithTerminatorAndByteLength) {
    LoadNode(R"({"friendly_name": "Caméra €"})");
    char16_t value[1024];
    memset(value, 0xFF, sizeof value);
    ULONG length = sizeof value, type = 0;
    ASSERT_EQ(CM_Get_DevNode_Registry_PropertyW(3, CM_DRP_FRIENDLYNAME, &type, value, &length, 0),
              CR_SUCCESS);
    EXPECT_EQ(length, 2u * 9u);
    EXPECT_EQ(type, 1u);  // REG_SZ
    EXPECT_EQ(value[3], u'\u00E9');
    EXPECT_EQ(value[7], u'\u20AC');
    EXPECT_EQ(value[8], 0);
}

TEST(SimUsbCfgMgr, PropertyBufferRules) {
    LoadNode(R"({"description": "abcd", "location": {"cr": 19}, "friendly_name": ")" +
             Repeat('n', 1023) + R"(", "driver": ")" + Repeat('d', 1024) + R"("})");
    char16_t value[1100];
    memset(value, 0x11, sizeof value);
    ULONG length = 8;  // "abcd" needs 10 bytes
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyW(3, CM_DRP_DEVICEDESC, nullptr, value, &length, 0),
              CR_BUFFER_SMALL);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(value[0], 0x1111);

    length = 2048;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyW(3, CM_DRP_LOCATION_INFORMATION, nullptr, value,
                                                &length, 0), 19u);
    // 1023 characters and the terminator fill 2048 bytes exactly; one more fails.
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyW(3, CM_DRP_FRIENDLYNAME, nullptr, value, &length, 0),
              CR_SUCCESS);
    length = sizeof value;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyW(3, CM_DRP_DRIVER, nullptr, value, &length, 0),
              CR_BUFFER_SMALL);
    length = 2048;
    EXPECT_EQ(CM_Get_DevNode_Registry_PropertyW(77, CM_DRP_DRIVER, nullptr, value, &length, 0),
              CR_NO_SUCH_DEVNODE);
}

TEST(SimUsbCfgMgr, InstanceIdMustFitWithItsTerminator) {
    LoadNode(R"({"instance_id": "USB\\X"})");
    char id[8];
    memset(id, '#', sizeof id);
    EXPECT_EQ(CM_Get_Device_IDA(3, id, 5, 0), CR_BUFFER_SMALL);
    EXPECT_EQ(id[0], '#');
    EXPECT_EQ(CM_Get_Device_IDA(3, id, 6, 0), CR_SUCCESS);
    EXPECT_STREQ(id, "USB\\X");
    LoadNode(R"({"instance_id": {"cr": 13}})");
    EXPECT_EQ(CM_Get_Device_IDA(3, id, 8, 0), 13u);
}

TEST(SimUsbCfgMgr, StatusAndProblem) {
    LoadNode(R"({"status": "0x01806400", "problem": 28})");
    ULONG status = 0, problem = 0;
    ASSERT_EQ(CM_Get_DevNode_Status(&status, &problem, 3, 0), CR_SUCCESS);
    EXPECT_EQ(status, 0x01806400u);
    EXPECT_EQ(problem, 28u);
    LoadNode(R"({"status": {"cr": 5}})");
    EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, 3, 0), 5u);
}

}  // namespace
