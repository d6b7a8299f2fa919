// SPDX-License-Identifier: GPL-3.0-or-later
// Tests that record a survey of the simulator's channel with `q47v record` and then
// work on the recording: the simulator on a head line of its own (more lines as
// the test asks), the recording run.47V in the test's folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"

class ChannelSurveyTest : public ::testing::Test {
 protected:
  // Starts the simulator with the channel scene, fast, with `extra` options, and
  // waits until it has announced the head's line in WINQ47V.INI.
  void StartSim(std::vector<std::string> extra) {
    std::vector<std::string> args{Bin("/src/sim/q47v-sim"), "--quiet", "--ini", "WINQ47V.INI", "--fast",
                                  "--scene", "channel", "--head-link", "head"};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(sim.Start(args));
    ASSERT_TRUE(sim.WaitForOutput("Q47V_SIM_HEAD"));
  }
  // q47v record with the survey options, to its end.
  void Record(std::vector<std::string> survey) {
    std::vector<std::string> args{Bin("/src/cli/q47v"), "record", "--ini", "WINQ47V.INI", "--out", "run.47V"};
    args.insert(args.end(), survey.begin(), survey.end());
    Child rec;
    ASSERT_TRUE(rec.Start(args));
    ASSERT_EQ(rec.Wait(), 0) << rec.Output();
    record_output = rec.Output();
  }

  Child sim;
  std::string record_output;
};
