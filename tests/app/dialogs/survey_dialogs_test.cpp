// SPDX-License-Identifier: GPL-3.0-or-later
// The survey dialogs as the user meets them: SNAPSHOT and SNAPSHOT2 (texts, the
// check-box rules with the pushed-in confirmation box, spins, Defaults, what Ok and
// Cancel report), AUTOAZIMUTH (angles shown, wrap and limits, estimate, the checks
// and their messages), the two boxes; and the comm thread's questions asked on the
// GUI thread, answered, or given up when the link stops.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <future>
#include <thread>

#include "app_fixture.h"
#include "dialogs/auto_azimuth_dialog.h"
#include "outputs/auto_azimuth.h"
#include "outputs/auto_profile.h"
#include "bridge/qt_outputs_display.h"
#include "dialogs/snapshot_dialog.h"
#include "dialogs/survey_messages.h"

namespace {

std::string Text(QLineEdit* f) { return f->text().toStdString(); }

bool HasLabel(const QWidget& w, const char* text) {
  for (const QLabel* l : w.findChildren<QLabel*>())
    if (l->text() == text) return true;
  for (const QGroupBox* g : w.findChildren<QGroupBox*>())
    if (g->title() == text) return true;
  for (const QAbstractButton* b : w.findChildren<QAbstractButton*>())
    if (b->text() == text) return true;
  return false;
}

struct SurveyDialogs : ::testing::Test {
  void SetUp() override { TestApp(); }
};

SnapshotForm VerticalForm() {
  SnapshotForm f;
  f.Vertical = true;
  f.Enabled = false;
  f.Values = {12.5f, -3.25f, 0.0f, 11.0f};
  return f;
}

TEST_F(SurveyDialogs, VerticalScanShowsItsControlsAndValues) {
  SnapshotForm f = VerticalForm();
  f.Units = 1;
  SnapshotDialog d(f, nullptr);
  EXPECT_EQ(d.windowTitle().toStdString(), "Auto-Profile (Vertical Scan)");
  for (const char* t : {"Auto-Profile Enable", "Chainage:", "Sonar Elevation:", "Sonar Offset:", "Dredge Line",
                        "Depth Below Sonar:", "After each scan...", "Generate ASCII file (.XYZ)",
                        "Generate screen capture (.BMP)", "Save scan confirmation", "Prompt for another scan", "Ok",
                        "Defaults", "Cancel", "Feet"})
    EXPECT_TRUE(HasLabel(d, t)) << t;
  EXPECT_FALSE(HasLabel(d, "Meters"));
  EXPECT_EQ(Text(d.Field(100)), " 12.50");
  EXPECT_EQ(Text(d.Field(200)), " -3.25");
  EXPECT_EQ(Text(d.Field(300)), "  0.00");
  EXPECT_EQ(Text(d.Field(400)), " 11.00");
  EXPECT_FALSE(d.IsChecked(10));
  for (int id : {500, 501, 502, 503}) EXPECT_TRUE(d.IsChecked(id)) << id;
}

TEST_F(SurveyDialogs, HorizontalScanLabels) {
  SnapshotForm f = VerticalForm();
  f.Vertical = false;
  SnapshotDialog d(f, nullptr);
  EXPECT_EQ(d.windowTitle().toStdString(), "Auto-Profile (Horizontal Scan)");
  EXPECT_EQ(d.Label(100), "Sonar Y Offset:");
  EXPECT_EQ(d.Label(200), "Sonar Elevation:");
  EXPECT_EQ(d.Label(300), "Sonar X Offset:");
  EXPECT_EQ(d.Label(400), "Payout Increment:");
  EXPECT_EQ(d.GroupTitle(), "Auto-Elevation");
  EXPECT_EQ(d.UnitText(), "Meters");
}

// With neither file chosen the confirmation is pushed in and stays so when clicked;
// choosing a file makes it active and checked; unchecking one of two leaves it;
// unchecking the last pushes it in again.
TEST_F(SurveyDialogs, ConfirmationBoxFollowsTheFileBoxes) {
  SnapshotForm f = VerticalForm();
  f.Xyz = false;
  f.Bmp = false;
  f.Confirm = false;
  SnapshotDialog d(f, nullptr);
  EXPECT_TRUE(d.IsPushedIn(502));
  d.Click(502);
  EXPECT_TRUE(d.IsPushedIn(502));
  d.Click(500);
  EXPECT_TRUE(d.IsChecked(500));
  EXPECT_FALSE(d.IsPushedIn(502));
  EXPECT_TRUE(d.IsChecked(502));
  d.Click(502);  // active: toggles
  EXPECT_FALSE(d.IsChecked(502));
  EXPECT_FALSE(d.IsPushedIn(502));
  d.Click(501);  // checking the other one confirms again
  EXPECT_TRUE(d.IsChecked(502));
  d.Click(502);
  d.Click(500);  // one of two unchecked: the confirmation stays as it was
  EXPECT_FALSE(d.IsChecked(502));
  EXPECT_FALSE(d.IsPushedIn(502));
  d.Click(501);  // the last one: pushed in
  EXPECT_TRUE(d.IsPushedIn(502));
  d.PressOk();
  EXPECT_EQ(d.Answer().Confirm, 2);
  EXPECT_FALSE(d.Answer().Xyz);
  EXPECT_FALSE(d.Answer().Bmp);
}

// The pushed-in box is stored as no confirmation, through the core's answer.
TEST_F(SurveyDialogs, PushedInConfirmationIsStoredAsOff) {
  auto state = std::make_unique<AppState>();
  state->AutoProfileXYZ = 1;
  state->AutoProfileBMP = 0;
  state->AutoProfileSaveConfirmation = 1;
  NullDisplay display;
  SnapshotDialog d(MakeSnapshotForm(*state, true), nullptr);
  d.Click(500);
  ASSERT_TRUE(d.IsPushedIn(502));
  d.PressOk();
  ApplySnapshotAnswer(*state, display, d.Answer(), true);
  EXPECT_EQ(state->AutoProfileSaveConfirmation, 0);
  EXPECT_EQ(state->AutoProfileXYZ, 0);
  // Opened again with neither file: shown pushed in, not checked.
  SnapshotDialog again(MakeSnapshotForm(*state, true), nullptr);
  EXPECT_TRUE(again.IsPushedIn(502));
}

TEST_F(SurveyDialogs, TypingAndSpinsChangeThePendingValues) {
  SnapshotDialog d(VerticalForm(), nullptr);
  d.Field(100)->setText("100.25xyz");
  EXPECT_FLOAT_EQ(d.Pending(100), 100.25f);
  d.Spin(100, +1);
  EXPECT_EQ(Text(d.Field(100)), "100.35");
  d.Field(300)->setText("0");
  for (int i = 0; i < 3; ++i) d.Spin(300, -1);  // no lower bound
  EXPECT_EQ(Text(d.Field(300)), " -0.30");
  d.Field(200)->setText("nan");  // not a number: 0
  EXPECT_FLOAT_EQ(d.Pending(200), 0.0f);
  d.Field(400)->setText("123456789");  // eight characters at most
  EXPECT_EQ(Text(d.Field(400)), "12345678");
  d.PressOk();
  EXPECT_TRUE(d.Answer().Accepted);
  EXPECT_NEAR(d.Answer().Values[0], 100.35f, 1e-4);
  EXPECT_NEAR(d.Answer().Values[2], -0.3f, 1e-4);
  EXPECT_FLOAT_EQ(d.Answer().Values[3], 12345678.0f);
}

TEST_F(SurveyDialogs, DefaultsThenCancelStillReportsTheDefaults) {
  SnapshotForm f = VerticalForm();
  f.Enabled = true;
  f.Xyz = false;
  f.Bmp = false;
  f.Prompt = false;
  SnapshotDialog d(f, nullptr);
  d.PressDefaults();
  EXPECT_FALSE(d.IsChecked(10));
  for (int id : {100, 200, 300, 400}) EXPECT_EQ(Text(d.Field(id)), "  0.00") << id;
  for (int id : {500, 501, 502, 503}) EXPECT_TRUE(d.IsChecked(id)) << id;
  d.reject();
  EXPECT_FALSE(d.Answer().Accepted);
  EXPECT_TRUE(d.Answer().DefaultsPressed);
  // The core takes the defaults at once, Cancel or not; the values stay.
  auto state = std::make_unique<AppState>();
  state->AutoProfileScanActive = true;
  state->AutoProfileXYZ = 0;
  state->ProfileChainage = 5.0f;
  NullDisplay display;
  ApplySnapshotAnswer(*state, display, d.Answer(), true);
  EXPECT_FALSE(state->AutoProfileScanActive.load());
  EXPECT_EQ(state->AutoProfileXYZ, 1);
  EXPECT_FLOAT_EQ(state->ProfileChainage, 5.0f);
}

// Each Ok of the horizontal scan lowers the elevation by the payout increment.
TEST_F(SurveyDialogs, HorizontalScanPayoutSequence) {
  auto state = std::make_unique<AppState>();
  state->RunMode = 1;  // no head to start: only the stored values matter here
  state->ProfileElevation = 10.0f;
  state->PayoutIncrement = 2.0f;
  NullDisplay display;
  for (const char* shown : {"  8.00", "  6.00", "  4.00"}) {
    SnapshotDialog d(MakeSnapshotForm(*state, false), nullptr);
    EXPECT_EQ(Text(d.Field(200)), shown);
    EXPECT_EQ(Text(d.Field(400)), "  2.00");
    d.PressOk();
    ApplySnapshotAnswer(*state, display, d.Answer(), false);
  }
  EXPECT_FLOAT_EQ(state->ProfileElevation, 4.0f);
}

AzimuthForm DefaultAzimuthForm() {
  AzimuthForm f;
  f.StartSteps = 600;
  f.StopSteps = 500;
  f.IncSteps = 100;
  f.SweepSeconds = 6.7;
  f.Sector = 90;
  return f;
}

TEST_F(SurveyDialogs, AutoAzimuthShowsAnglesAndEstimate) {
  std::vector<ShownBox> boxes;
  std::deque<std::string> files;
  std::vector<FileDialogRequest> asked;
  FakePrompts prompts;
  prompts.boxes = &boxes;
  prompts.files = &files;
  prompts.asked = &asked;
  AutoAzimuthDialog d(DefaultAzimuthForm(), prompts, nullptr);
  EXPECT_EQ(d.windowTitle().toStdString(), "Auto-Azimuth");
  for (const char* t : {"Auto-Azimuth Enable", "Estimated Scan Time:", "Azimuth Start:", "Azimuth Stop:  (CW)",
                        "Azimuth Increment:", "Degrees", "After each scan...", "Generate ASCII file (.XYZ)", "Ok",
                        "Defaults", "Cancel"})
    EXPECT_TRUE(HasLabel(d, t)) << t;
  EXPECT_EQ(d.Text(100), "  0.0");
  EXPECT_EQ(d.Text(200), "330.0");
  EXPECT_EQ(d.Text(300), " 30.0");
  // n = 11 sweeps of (90 x 6.7 / 360 + 0.0534 + 0.0175) s.
  EXPECT_EQ(d.Text(401), EstimateScanTime(0.0, 330.0, 30.0, 6.7, 90));
  EXPECT_EQ(d.Text(401), "19 sec");
  EXPECT_TRUE(d.Field(401)->isReadOnly());
  // Start and stop wrap; the increment keeps to 1..600 steps.
  d.Spin(1000, -1);
  EXPECT_EQ(d.Text(100), "359.7");
  for (int i = 0; i < 600; ++i) d.Spin(1000, -1);
  EXPECT_EQ(d.PendingSteps(100), 1199);  // 0 passed, wrapped to 1199
  EXPECT_EQ(d.Text(100), "179.7");
  d.Spin(1000, +1);
  EXPECT_EQ(d.PendingSteps(100), 0);
  EXPECT_EQ(d.Text(100), "180.0");
  for (int i = 0; i < 150; ++i) d.Spin(3000, -1);
  EXPECT_EQ(d.Text(300), "  0.3");
  for (int i = 0; i < 700; ++i) d.Spin(3000, +1);
  EXPECT_EQ(d.Text(300), "180.0");
  EXPECT_NE(d.Text(401), "19 sec");  // recomputed
  d.PressDefaults();
  EXPECT_EQ(d.Text(100), "  0.0");
  EXPECT_EQ(d.Text(200), "330.0");
  EXPECT_EQ(d.Text(300), " 30.0");
  EXPECT_EQ(d.Text(401), "19 sec");
  EXPECT_TRUE(d.IsChecked(500));
  EXPECT_FALSE(d.IsChecked(10));
  EXPECT_TRUE(d.Answer().DefaultsPressed);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SurveyDialogs, AutoAzimuthChecksTheAnglesInOrder) {
  std::vector<ShownBox> boxes;
  std::deque<std::string> files;
  std::vector<FileDialogRequest> asked;
  FakePrompts prompts;
  prompts.boxes = &boxes;
  prompts.files = &files;
  prompts.asked = &asked;
  AutoAzimuthDialog d(DefaultAzimuthForm(), prompts, nullptr);
  d.Field(100)->setText("359.8");
  d.Field(200)->setText("-5");
  d.PressOk();
  ASSERT_EQ(boxes.size(), 1u);  // a bad start hides the stop's lower bound
  EXPECT_EQ(boxes[0].title, "Auto-Azimuth");
  EXPECT_TRUE(boxes[0].warning);
  EXPECT_EQ(boxes[0].text, "Start Angle is out of range!\nUse 0 to 359.7 Degrees.");
  EXPECT_EQ(d.Text(100), "  0.0");  // the pending values again
  EXPECT_EQ(d.Text(200), "330.0");
  EXPECT_NE(d.result(), QDialog::Accepted);
  boxes.clear();
  d.Field(100)->setText("400");
  d.Field(200)->setText("360");
  d.Field(300)->setText("181");
  d.PressOk();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].text, "Stop Angle is out of range!\nUse 0 to 359.7 Degrees.");
  EXPECT_EQ(boxes[2].text, "Increment Angle is out of range!\nUse 0.3 to 180.0 Degrees.");
  boxes.clear();
  d.Field(300)->setText("0.1");
  d.PressOk();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Increment Angle is out of range!\nUse 0.3 to 180.0 Degrees.");
  boxes.clear();
  d.Field(100)->setText("inf");  // not a number that can be taken
  d.PressOk();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Start Angle is out of range!\nUse 0 to 359.7 Degrees.");
  boxes.clear();
  d.SetBox(10, true);
  d.Field(100)->setText("300.0");
  d.Field(200)->setText("30.0");
  d.Field(300)->setText("0.3");
  d.PressOk();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(d.result(), QDialog::Accepted);
  const AzimuthAnswer& a = d.Answer();
  EXPECT_TRUE(a.Accepted);
  EXPECT_TRUE(a.Enabled);
  EXPECT_EQ(AzimuthSteps(a.Start), 400);
  EXPECT_EQ(AzimuthSteps(a.Stop), 700);
  EXPECT_EQ(IncrementSteps(a.Increment), 1);
  EXPECT_FALSE(a.XyzBoxClicked);
}

TEST_F(SurveyDialogs, AutoAzimuthXyzBoxClickIsReported) {
  std::vector<ShownBox> boxes;
  std::deque<std::string> files;
  std::vector<FileDialogRequest> asked;
  FakePrompts prompts;
  prompts.boxes = &boxes;
  prompts.files = &files;
  prompts.asked = &asked;
  AutoAzimuthDialog d(DefaultAzimuthForm(), prompts, nullptr);
  d.Click(500);
  d.reject();
  EXPECT_TRUE(d.Answer().XyzBoxClicked);
  EXPECT_FALSE(d.Answer().Xyz);
  EXPECT_FALSE(d.Answer().Accepted);
}

TEST_F(SurveyDialogs, SaveProfileAndScanCompleteBoxes) {
  std::unique_ptr<QMessageBox> save(MakeSaveProfileBox(nullptr));
  EXPECT_EQ(save->windowTitle().toStdString(), "Auto-Profile");
  EXPECT_EQ(save->text().toStdString(), "Save This Profile?");
  ASSERT_NE(save->button(QMessageBox::Yes), nullptr);
  ASSERT_NE(save->button(QMessageBox::No), nullptr);
  EXPECT_EQ(save->buttons().size(), 2);
  save->button(QMessageBox::No)->click();
  EXPECT_FALSE(SaveProfileAnswered(*save));
  std::unique_ptr<QMessageBox> yes(MakeSaveProfileBox(nullptr));
  yes->button(QMessageBox::Yes)->click();
  EXPECT_TRUE(SaveProfileAnswered(*yes));
  std::unique_ptr<QMessageBox> closed(MakeSaveProfileBox(nullptr));
  closed->show();
  closed->close();  // closed unanswered: the scan is kept
  EXPECT_TRUE(SaveProfileAnswered(*closed));
  std::unique_ptr<QMessageBox> done(MakeScanCompleteBox(nullptr));
  EXPECT_EQ(done->windowTitle().toStdString(), "Auto-Azimuth");
  EXPECT_EQ(done->text().toStdString(), "Scan complete.");
  EXPECT_EQ(done->buttons().size(), 1);
  EXPECT_NE(done->button(QMessageBox::Ok), nullptr);
}

// The comm thread's question runs on the GUI thread and its answer comes back.
TEST_F(AppTest, QuestionFromAnotherThreadIsAnsweredOnTheGuiThread) {
  WriteIni("RunMode=1\n");
  Open();
  std::atomic<bool> on_gui{false};
  display.Outputs().SetDialogHook([&](QDialog& d) {
    on_gui = QThread::currentThread() == QCoreApplication::instance()->thread();
    auto& s = dynamic_cast<SnapshotDialog&>(d);
    s.SetBox(10, true);
    s.Field(100)->setText("42.5");
    s.PressOk();
  });
  state.CommThreadRunning = 1;  // as while the link runs
  SnapshotForm form;
  auto answer = std::async(std::launch::async, [&] { return display.AskSnapshot(form); });
  ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                        10000));
  const SnapshotAnswer a = answer.get();
  state.CommThreadRunning = 0;
  EXPECT_TRUE(on_gui);
  EXPECT_TRUE(a.Accepted);
  EXPECT_TRUE(a.Enabled);
  EXPECT_FLOAT_EQ(a.Values[0], 42.5f);
}

// The link stops while the dialog is open (a close, a signal): the comm thread
// stops waiting with Cancel, and the dialog goes.
TEST_F(AppTest, QuestionIsGivenUpWhenTheLinkStops) {
  WriteIni("RunMode=1\n");
  Open();
  QPointer<QDialog> shown;
  int waiting_while_open = -1;
  bool closed_by_give_up = false;
  display.Outputs().SetDialogHook([&](QDialog& d) {
    shown = &d;
    // Nobody answers; meanwhile the link stops (what stopping it does first).
    QTimer::singleShot(200, &d, [&] {
      waiting_while_open = display.Outputs().Waiting();
      state.CommThreadRunning = 0;
    });
    d.exec();
    closed_by_give_up = d.result() == QDialog::Rejected;
  });
  state.CommThreadRunning = 1;
  AzimuthForm form;
  auto answer = std::async(std::launch::async, [&] { return display.AskAutoAzimuth(form); });
  ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                        10000));
  EXPECT_FALSE(answer.get().Accepted);
  EXPECT_EQ(waiting_while_open, 1);
  EXPECT_TRUE(PumpUntil([&] { return closed_by_give_up; }, 5000));
  EXPECT_EQ(display.Outputs().Waiting(), 0);
  // Asked while the link is down: no dialog, the answer nobody at the keyboard gives.
  bool hook_ran = false;
  display.Outputs().SetDialogHook([&](QDialog&) { hook_ran = true; });
  auto later = std::async(std::launch::async, [&] { return display.AskSaveProfile(); });
  EXPECT_TRUE(later.get());
  QCoreApplication::processEvents();
  EXPECT_FALSE(hook_ran);
}

// Starting a scan puts "Wait - Adjusting Transducer" on the status line, in the
// scan colours, until the head reaches the start of its sweep.
TEST_F(AppTest, StartingAScanShowsTheAdjustingStatus) {
  WriteIni("RunMode=0\n[Serial Ports]\nCOM1=/nonexistent/head\n");  // no head: nothing else on the line
  Open();
  SnapshotAnswer ok;
  ok.Accepted = true;
  ok.Enabled = true;
  ApplySnapshotAnswer(state, display, ok, true);
  QCoreApplication::processEvents();
  EXPECT_EQ(window->StatusText(), "Wait - Adjusting Transducer");
  EXPECT_TRUE(state.AutoProfileWaitSweepStart.load());
  // The sweep start blanks the line.
  window->PanelsChanged(kPanelStatusMessage);
  EXPECT_EQ(window->StatusText(), "");
}

}  // namespace
