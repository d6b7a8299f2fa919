// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/print_page.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/prompts.h"

namespace {

constexpr char kDocumentName[] = "Quorvane Screen Capture";
constexpr char kPageText[] = "Printer Test Page";

// The modeless dialog shown while the job runs; its Cancel button ends the job at
// the next chance the job gives it.
class AbortDialog : public QDialog {
 public:
  AbortDialog(QWidget* owner, Prompts& prompts, bool& carry_on) : QDialog(owner) {
    setObjectName("AbortDlg");
    setWindowTitle("Sample Printing App");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Now Printing: ", this));
    layout->addWidget(new QLabel("", this));
    auto* cancel = new QPushButton("Cancel", this);
    layout->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, [&prompts, &carry_on] {
      prompts.Info("WM_COMMAND", "Incoming");
      carry_on = false;
    });
  }
};

}  // namespace

bool PrintScreen(QWidget* owner, Prompts& prompts, const std::function<void(QDialog&)>& run_dialog) {
  QPrinter printer;
  printer.setCopyCount(1);
  printer.setDocName(kDocumentName);
  QPrintDialog dialog(&printer, owner);
  run_dialog(dialog);
  if (dialog.result() != QDialog::Accepted) return false;  // cancelled: nothing at all

  bool carry_on = true;
  AbortDialog abort_dialog(owner, prompts, carry_on);
  // The main window takes no input while the job runs, but the dialog it owns must:
  // disabling the main window would disable its Cancel button with it.
  abort_dialog.setWindowModality(Qt::ApplicationModal);
  abort_dialog.show();
  bool printed = false;
  {
    QPainter painter;
    if (painter.begin(&printer)) {
      // The page's text starts 50 device units from the top-left corner.
      painter.drawText(QRect(50, 50, printer.width() - 50, printer.height() - 50), Qt::AlignLeft | Qt::AlignTop,
                       kPageText);
      QApplication::processEvents();  // the Cancel button gets its chance here
      if (carry_on) {
        printed = painter.end();
      } else {
        printer.abort();
        painter.end();
      }
    }
  }
  abort_dialog.close();
  return printed;
}
