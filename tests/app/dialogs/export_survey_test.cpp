// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Export Survey..." and "Export GPS Track...": the dialogs run the code of
// q47v export and q47v track on a chosen recording, with progress, Cancel and a
// summary box; what they write equals what the tool writes, and a cancelled or
// failed export leaves nothing.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app_fixture.h"
#include "dialogs/export_survey_dialog.h"

namespace {

namespace fs = std::filesystem;

const std::string kHarbour = std::string(Q47V_TESTDATA_DIR) + "/imaging/harbour_polar.47V";

GeoExportDialog* FindDialog(MainWindow& w, const char* name) { return w.findChild<GeoExportDialog*>(name); }

std::unique_ptr<GDALDataset> OpenVector(const std::string& path) {
  GDALAllRegister();
  return std::unique_ptr<GDALDataset>(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

// Every feature of every layer as text: fields and geometry.
std::vector<std::string> Features(GDALDataset& ds) {
  std::vector<std::string> rows;
  for (OGRLayer* layer : ds.GetLayers()) {
    layer->ResetReading();
    while (OGRFeature* f = layer->GetNextFeature()) {
      std::string row = std::string(layer->GetName()) + ":";
      for (int i = 0; i < f->GetFieldCount(); ++i) row += std::string(f->GetFieldAsString(i)) + "|";
      if (OGRGeometry* g = f->GetGeometryRef()) row += g->exportToWkt();
      rows.push_back(row);
      OGRFeature::DestroyFeature(f);
    }
  }
  return rows;
}

std::vector<std::string> Listing() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(".")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// The survey of a recording chosen in the dialog: a GeoPackage equal, feature by
// feature, to the one q47v export writes; progress to the end and a summary box
// naming the file and the counts. Wrong fields are told and start nothing.
TEST_F(AppTest, ExportSurveyWritesWhatTheToolWrites) {
  fs::copy_file(kHarbour, "harbour.47v");
  Open();
  ASSERT_TRUE(window->Menu().Has(2111));
  EXPECT_EQ(window->Menu().Text(2111).toStdString(), "Export S&urvey...");
  EXPECT_EQ(window->Menu().Text(2112).toStdString(), "Export &GPS Track...");
  window->OnCommand(2111);
  GeoExportDialog* d = FindDialog(*window, "ExportSurveyDialog");
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  d->SetRecording("harbour.47v");
  EXPECT_EQ(d->OutputField()->text().toStdString(), "harbour.gpkg");
  d->FormatField()->setCurrentText("dxf");
  EXPECT_EQ(d->OutputField()->text().toStdString(), "harbour.dxf");
  d->FormatField()->setCurrentText("gpkg");
  d->HeadingField()->setText("north");
  EXPECT_FALSE(d->StartExport());
  EXPECT_EQ(d->MessageLabel()->text().toStdString(), "The heading is in degrees clockwise from north.");
  d->HeadingField()->clear();
  d->OffsetField()->setText("1,2");
  EXPECT_FALSE(d->StartExport());
  EXPECT_FALSE(d->Running());
  d->OffsetField()->setText("0, 1.5, 0");
  d->GeometryField()->setCurrentText("vertical");

  d->StartButton()->click();
  EXPECT_TRUE(d->Running());
  EXPECT_FALSE(d->StartButton()->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return !d->Running(); }, 120000));
  EXPECT_EQ(d->Progress()->value(), 100);
  ASSERT_NE(d->SummaryBox(), nullptr);
  const std::string summary = d->SummaryBox()->text().toStdString();
  EXPECT_NE(summary.find("harbour.gpkg\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("without an echo left out"), std::string::npos) << summary;
  EXPECT_NE(summary.find("local survey frame"), std::string::npos) << summary;

  const std::string tool = std::string(Q47V_BINARY_DIR) +
                           "/src/cli/q47v export harbour.47v --geometry vertical --antenna-offset 0,1.5,0 "
                           "--out tool.gpkg >tool.txt 2>&1";
  ASSERT_EQ(std::system(tool.c_str()), 0);
  auto mine = OpenVector("harbour.gpkg"), theirs = OpenVector("tool.gpkg");
  ASSERT_TRUE(mine && theirs);
  const std::vector<std::string> a = Features(*mine), b = Features(*theirs);
  EXPECT_GT(a.size(), 100u);
  EXPECT_EQ(a, b);
}

// Cancel while the recording is read leaves no file (nor a temporary one); a
// recording without GPS gives a track box saying so and no file.
TEST_F(AppTest, ExportSurveyCancelLeavesNothing) {
  {
    // A long recording: the harbour's records forty times over.
    std::ofstream out("long.47v", std::ios::binary);
    for (int i = 0; i < 40; ++i) out << std::ifstream(kHarbour, std::ios::binary).rdbuf();
  }
  Open();
  window->OnCommand(2111);
  GeoExportDialog* d = FindDialog(*window, "ExportSurveyDialog");
  ASSERT_NE(d, nullptr);
  d->SetRecording("long.47v");
  const std::vector<std::string> before = Listing();
  ASSERT_TRUE(d->StartExport());
  ASSERT_TRUE(PumpUntil([&] { return d->Progress()->value() > 0 || !d->Running(); }, 60000));
  d->CancelButton()->click();
  ASSERT_TRUE(PumpUntil([&] { return !d->Running(); }, 60000));
  EXPECT_EQ(d->MessageLabel()->text().toStdString(), "Cancelled; nothing written.");
  EXPECT_EQ(d->SummaryBox(), nullptr);
  EXPECT_EQ(Listing(), before);

  window->OnCommand(2112);
  GeoExportDialog* t = FindDialog(*window, "ExportTrackDialog");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GeometryField(), nullptr);
  t->SetRecording("long.47v");
  EXPECT_EQ(t->OutputField()->text().toStdString(), "long-track.gpkg");
  ASSERT_TRUE(t->StartExport());
  ASSERT_TRUE(PumpUntil([&] { return !t->Running(); }, 120000));
  ASSERT_NE(t->SummaryBox(), nullptr);
  EXPECT_NE(t->SummaryBox()->text().toStdString().find("no GPS fix in long.47v"), std::string::npos)
      << t->SummaryBox()->text().toStdString();
  EXPECT_EQ(Listing(), before);
}
