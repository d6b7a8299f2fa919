// SPDX-License-Identifier: GPL-3.0-or-later
// The live view under hostile or broken clients while the program pings a
// simulated head and records: malformed HTTP, missing and wrong tokens, a 10 MB
// WebSocket message, 200 connections opened and dropped. The server answers or
// closes each without harm, a well-behaved viewer keeps its stream, and the head
// keeps being pinged and recorded throughout.
#include <gtest/gtest.h>

#include <thread>

#include "display.h"
#include "files/recorder.h"
#include "link/comm_thread.h"
#include "link/live_ping_sink.h"
#include "app_state.h"
#include "simulator.h"
#include "viewer.h"
#include "webview/live_view_server.h"

namespace {

using namespace std::chrono_literals;

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::string Request(int port, const std::string& bytes, int ms = 3000) {
  RawClient c;
  if (!c.Connect(port)) return "<no connection>";
  c.Send(bytes);
  return c.ReadAll(ms);
}

class LiveSession : public ::testing::Test {
 protected:
  void SetUp() override {
    q47vsim::SimConfig cfg;
    cfg.gps = false;
    cfg.azimuth_drive = false;
    cfg.orientation = false;
    sim_ = std::make_unique<q47vsim::Simulator>(cfg);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    state_ = std::make_unique<AppState>();
    state_->RunMode = 0;
    state_->EnableOrientationModule = 0;
    state_->GridMode = 0;
    state_->Range = 4;
    sink_ = std::make_unique<LivePingSink>(display_);
    ASSERT_TRUE(OpenHeadPort(*state_, sim_->HeadPath()));
    ASSERT_TRUE(StartRecording(*state_, display_, "live.47V"));
    ASSERT_TRUE(StartLink(*state_, display_, *sink_, clock_));
    server_ = std::make_unique<webview::LiveViewServer>(*state_, clock_);
    webview::ServerOptions o;
    o.port = 0;
    o.requireToken = true;  // as on any address beyond the loopback
    ASSERT_TRUE(server_->Start(o, &error)) << error;
    ASSERT_TRUE(server_->TokenRequired());
    ASSERT_EQ(server_->Token().size(), 32u);
    ASSERT_TRUE(WaitFor([&] { return state_->PingsProcessed.load() > 3; }));
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (state_) {
      StopLink(*state_);
      StopRecording(*state_, display_);
    }
    if (sim_) sim_->Stop();
  }
  // The head is still being pinged and recorded: both counters move on.
  void ExpectStillPingingAndRecording() {
    const long pings = state_->PingsProcessed.load();
    const long long bytes = state_->RecordBytes.load();
    EXPECT_TRUE(WaitFor([&] { return state_->PingsProcessed.load() > pings + 3; })) << "pinging stopped";
    EXPECT_TRUE(WaitFor([&] { return state_->RecordBytes.load() > bytes; })) << "recording stopped";
  }
  std::string Q() const { return "?token=" + server_->Token(); }

  std::unique_ptr<q47vsim::Simulator> sim_;
  std::unique_ptr<AppState> state_;
  NullDisplay display_;
  std::unique_ptr<LivePingSink> sink_;
  Clock clock_;
  std::unique_ptr<webview::LiveViewServer> server_;
};

}  // namespace

TEST_F(LiveSession, MalformedHttpIsRefusedAndServingGoesOn) {
  TestViewer viewer(server_->Port(), Q());
  ASSERT_TRUE(viewer.Ok());
  const int port = server_->Port();
  const std::string junk[] = {
      "GARBAGE\r\n\r\n",
      "GET / HTTP/9.9\r\n\r\n",
      "GET /" + std::string(100000, 'A') + " HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET / HTTP/1.1\r\nNo colon here\r\n" + std::string(20000, 'B') + "\r\n\r\n",
      std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + std::string(500, '\0'),
      "POST /" + Q() + " HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello",
      "GET /../../etc/passwd" + Q() + " HTTP/1.1\r\nHost: x\r\n\r\n",
      "GET /stream" + Q() + " HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n",
      "GET / HTTP/1.1\r\nHost: x\r\n",  // never finished
  };
  for (const std::string& j : junk) {
    const std::string answer = Request(port, j, 1500);
    EXPECT_EQ(answer.find("200 OK"), std::string::npos) << j.substr(0, 40) << " -> " << answer.substr(0, 80);
    EXPECT_EQ(answer.find("root:"), std::string::npos);
  }
  // Still serving: the page with the token, and the viewer's stream.
  const std::string page = Request(port, "GET /" + Q() + " HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(page.rfind("HTTP/1.1 200", 0), 0u) << page.substr(0, 200);
  EXPECT_NE(page.find("<canvas"), std::string::npos);
  EXPECT_TRUE(viewer.WaitForSequence(server_->Flush()));
  ExpectStillPingingAndRecording();
}

TEST_F(LiveSession, WrongOrMissingTokenIsRefused) {
  const int port = server_->Port();
  for (const std::string& query : {std::string(), std::string("?token="), std::string("?token=0123456789abcdef"),
                                   "?token=" + server_->Token() + "0", "?tok=" + server_->Token()}) {
    const std::string page = Request(port, "GET /" + query + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(page.rfind("HTTP/1.1 403", 0), 0u) << query << " -> " << page.substr(0, 80);
    const std::string script = Request(port, "GET /live.js" + query + " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(script.rfind("HTTP/1.1 403", 0), 0u) << query;
    RawClient ws;
    ASSERT_TRUE(ws.Connect(port));
    EXPECT_EQ(ws.Handshake("/stream" + query).find("101"), std::string::npos) << query;
  }
  // A page elsewhere cannot open the stream in a viewer's browser, token or not.
  RawClient foreign;
  ASSERT_TRUE(foreign.Connect(port));
  EXPECT_EQ(foreign.Handshake("/stream" + Q(), "Origin: http://elsewhere.example\r\n").find("101"),
            std::string::npos);
  EXPECT_GE(server_->Stats().refused, 16);
  EXPECT_EQ(server_->Viewers(), 0);
  // The right token opens the page, which fetches its script with it, the script
  // and the stream.
  const std::string page = Request(port, "GET /" + Q() + " HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_NE(page.find("src=\"live.js" + Q() + "\""), std::string::npos) << page;
  EXPECT_EQ(Request(port, "GET /live.js" + Q() + " HTTP/1.1\r\nHost: x\r\n\r\n").rfind("HTTP/1.1 200", 0), 0u);
  TestViewer viewer(port, Q());
  EXPECT_TRUE(viewer.Ok());
  EXPECT_TRUE(viewer.WaitForSequence(server_->Flush()));
  ExpectStillPingingAndRecording();
}

TEST_F(LiveSession, ATenMegabyteMessageClosesOnlyItsConnection) {
  TestViewer viewer(server_->Port(), Q());
  ASSERT_TRUE(viewer.Ok());
  RawClient big;
  ASSERT_TRUE(big.Connect(server_->Port()));
  ASSERT_EQ(big.Handshake("/stream" + Q()).rfind("HTTP/1.1 101", 0), 0u);
  big.Send(RawClient::Frame(2, std::string(10 << 20, 'x')));
  EXPECT_TRUE(big.PeerClosed());
  EXPECT_TRUE(WaitFor([&] { return server_->Viewers() == 1; }));
  EXPECT_GE(server_->Stats().oversizedMessages, 1);
  // A frame that claims a terabyte: refused without waiting for it.
  RawClient huge;
  ASSERT_TRUE(huge.Connect(server_->Port()));
  ASSERT_EQ(huge.Handshake("/stream" + Q()).rfind("HTTP/1.1 101", 0), 0u);
  std::string header = {static_cast<char>(0x82), static_cast<char>(0xff), 0, 0, 0x01, 0, 0, 0, 0, 0, 1, 2, 3, 4};
  huge.Send(header + std::string(1000, 'y'));
  EXPECT_TRUE(huge.PeerClosed());
  // A short message is ignored: viewers can only watch.
  RawClient chatty;
  ASSERT_TRUE(chatty.Connect(server_->Port()));
  ASSERT_EQ(chatty.Handshake("/stream" + Q()).rfind("HTTP/1.1 101", 0), 0u);
  chatty.Send(RawClient::Frame(1, "{\"set\":\"Range\",\"value\":14}"));
  const int range = state_->Range.load();
  EXPECT_TRUE(viewer.WaitForSequence(server_->Flush()));
  EXPECT_EQ(state_->Range.load(), range);
  ExpectStillPingingAndRecording();
}

TEST_F(LiveSession, TwoHundredConnectionsOpenedAndDropped) {
  TestViewer viewer(server_->Port(), Q());
  ASSERT_TRUE(viewer.Ok());
  const int port = server_->Port();
  for (int i = 0; i < 200; ++i) {
    RawClient c;
    ASSERT_TRUE(c.Connect(port)) << i;
    switch (i % 4) {
      case 0: break;                                          // connect, say nothing
      case 1: c.Send("GET /" + Q() + " HTTP/1.1\r\nHo"); break;  // half a request
      case 2: c.Handshake("/stream" + Q()); break;            // a viewer that vanishes
      case 3: c.Send("GET /" + Q() + " HTTP/1.1\r\nHost: x\r\n\r\n"); break;  // never read
    }
    if (i % 2) c.Abort();  // reset, as a crashed browser or a pulled cable
    else c.Close();
  }
  EXPECT_TRUE(WaitFor([&] { return server_->Viewers() == 1; }, 30s)) << server_->Viewers();
  EXPECT_TRUE(viewer.WaitForSequence(server_->Flush()));
  const webview::ServerStats s = server_->Stats();
  EXPECT_EQ(s.viewersJoined - s.viewersLeft, 1);
  // And a new viewer still gets in.
  TestViewer late(port, Q());
  EXPECT_TRUE(late.Ok());
  EXPECT_TRUE(late.WaitForSequence(server_->Flush()));
  EXPECT_GE(late.Wholes(), 1);
  ExpectStillPingingAndRecording();
}

// Connections that open and say nothing hold the server's workers only briefly
// and never all of them: a viewer arriving behind 150 of them gets in at once
// (its handshake is answered within the client's 5 s).
TEST_F(LiveSession, IdleConnectionsDoNotKeepAViewerOut) {
  const int port = server_->Port();
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 150; ++i) {
    idle.push_back(std::make_unique<RawClient>());
    ASSERT_TRUE(idle.back()->Connect(port)) << i;
  }
  std::this_thread::sleep_for(200ms);  // all of them accepted and waiting
  TestViewer viewer(port, Q());
  EXPECT_TRUE(viewer.Ok()) << "the viewer was kept out";
  EXPECT_TRUE(viewer.WaitForSequence(server_->Flush()));
  ExpectStillPingingAndRecording();
}
