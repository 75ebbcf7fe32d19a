// A fresh simulated machine per test, with standard output and the call
// trace captured.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/Sim.h"
#include "runtime/CRTreplace.h"

class SimTest : public ::testing::Test {
protected:
    void Load(const std::string& json) {
        std::string error;
        ASSERT_TRUE(tarvel::sim::LoadMachineJson(json, error)) << error;
        tarvel::sim::CaptureStdout(true);
        tarvel::sim::CaptureTrace(true);
        outMark_ = tarvel::sim::CapturedStdout().size();
        traceMark_ = tarvel::sim::CapturedTrace().size();
        tarvel::SetHeapHandle(tarvel::GetProcessHeap());
        tarvel::DiagLevel = 0;
    }
    void SetUp() override { Load("{\"clock\": \"virtual\"}"); }
    void TearDown() override {
        tarvel::DiagLevel = 0;
        tarvel::sim::CaptureStdout(false);
        tarvel::sim::CaptureTrace(false);
    }
    // What was written or traced since the machine was loaded.
    std::string Out() const { return tarvel::sim::CapturedStdout().substr(outMark_); }
    std::string TraceText() const { return tarvel::sim::CapturedTrace().substr(traceMark_); }

private:
    size_t outMark_ = 0;
    size_t traceMark_ = 0;
};
