// SPDX-License-Identifier: GPL-3.0-or-later
// The printed test page through the real print dialog and QPrinter, sent to a PDF
// file in the test's working directory.
#include <QDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <filesystem>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "menu_bar.h"

namespace {

std::string FirstBytes(const std::string& path, std::size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string s(n, '\0');
  in.read(s.data(), static_cast<std::streamsize>(n));
  s.resize(static_cast<std::size_t>(in.gcount()));
  return s;
}

TEST_F(AppTest, PrintTestPageGoesToTheChosenPrinter) {
  Open();
  const std::string pdf = (std::filesystem::current_path() / "page.pdf").string();
  bool asked = false;
  window->SetDialogHook([&](QDialog& d) {
    auto* print = qobject_cast<QPrintDialog*>(&d);
    ASSERT_NE(print, nullptr);
    asked = true;
    EXPECT_EQ(print->printer()->docName(), "Quorvane Screen Capture");
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(QString::fromStdString(pdf));
    d.setResult(QDialog::Accepted);
  });
  window->OnCommand(cmd::kPrint);
  EXPECT_TRUE(asked);
  EXPECT_EQ(FirstBytes(pdf, 5), "%PDF-");
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(window->isEnabled());
}

TEST_F(AppTest, CancelledPrintDialogPrintsAndShowsNothing) {
  Open();
  const std::string pdf = (std::filesystem::current_path() / "page.pdf").string();
  window->SetDialogHook([&](QDialog& d) {
    auto* print = qobject_cast<QPrintDialog*>(&d);
    ASSERT_NE(print, nullptr);
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(QString::fromStdString(pdf));
    d.setResult(QDialog::Rejected);
  });
  window->OnCommand(cmd::kPrint);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_TRUE(window->isEnabled());
}

}  // namespace
