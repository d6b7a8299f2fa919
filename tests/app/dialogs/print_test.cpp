// SPDX-License-Identifier: GPL-3.0-or-later
// The printed test page through the real print dialog and QPrinter, sent to a PDF
// file in the test's working directory.
#include <QDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "window/menu_bar.h"

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

// The abort dialog's Cancel can be pressed while the page is printed: it shows
// "Incoming" and ends the job; the main window takes no input meanwhile.
TEST_F(AppTest, PrintAbortDialogCancelsTheJob) {
  Open();
  const std::string pdf = (std::filesystem::current_path() / "page.pdf").string();
  bool cancel_enabled = false, main_blocked = false;
  window->SetDialogHook([&](QDialog& d) {
    auto* print = qobject_cast<QPrintDialog*>(&d);
    ASSERT_NE(print, nullptr);
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(QString::fromStdString(pdf));
    d.setResult(QDialog::Accepted);
    // Pressed as soon as the job gives the dialog its turn.
    QTimer::singleShot(0, window.get(), [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != "AbortDlg" || !w->isVisible()) continue;
        main_blocked = QApplication::activeModalWidget() == w;
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
          if (b->text() != "Cancel") continue;
          cancel_enabled = b->isEnabled();
          QTest::mouseClick(b, Qt::LeftButton);
        }
      }
    });
  });
  window->OnCommand(cmd::kPrint);
  EXPECT_TRUE(cancel_enabled) << "the Cancel button cannot be pressed";
  EXPECT_TRUE(main_blocked) << "the main window takes input while printing";
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "WM_COMMAND");
  EXPECT_EQ(boxes[0].text, "Incoming");
  EXPECT_TRUE(window->isEnabled());
}

}  // namespace
