// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/live_view_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app_state.h"
#include "webview/live_view_settings.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

LiveViewDialog::LiveViewDialog(AppState& state, const Clock& clock, QWidget* parent,
                               std::function<void(bool)> on_running)
    : QDialog(parent),
      state_(state),
      server_(std::make_unique<webview::LiveViewServer>(state, clock)),
      on_running_(std::move(on_running)) {
  setObjectName("LiveViewDialog");
  setWindowTitle("Live View in Browser");
  setModal(false);

  const std::string ini = state_.SettingsPath.get();
  const webview::ServerOptions saved =
      ini.empty() ? webview::ServerOptions{} : webview::LoadLiveViewOptions(ini);

  auto* intro = new QLabel(
      "Shows the sonar picture and its readouts in a web browser, on this computer or on "
      "others on the vessel's network. Viewers can only watch.");
  intro->setWordWrap(true);

  address_ = new QLineEdit(Q(saved.address));
  address_->setToolTip("127.0.0.1: this computer only. 0.0.0.0 or a network address of this computer: other "
                       "computers too; the address to open then carries a token.");
  port_ = new QSpinBox;
  port_->setRange(0, 65535);
  port_->setValue(saved.port);
  port_->setToolTip("0 takes any free port");
  url_ = new QLineEdit;
  url_->setReadOnly(true);
  url_->setPlaceholderText("(not running)");
  url_->setMinimumWidth(360);
  copy_ = new QPushButton("&Copy");
  copy_->setEnabled(false);
  viewers_ = new QLabel("0");
  message_ = new QLabel;
  message_->setWordWrap(true);

  auto* urlRow = new QHBoxLayout;
  urlRow->addWidget(url_, 1);
  urlRow->addWidget(copy_);

  auto* form = new QFormLayout;
  form->addRow("&Address:", address_);
  form->addRow("&Port:", port_);
  form->addRow("Open in a browser:", urlRow);
  form->addRow("Viewers:", viewers_);

  start_stop_ = new QPushButton("&Start");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(start_stop_, QDialogButtonBox::ActionRole);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addLayout(form);
  layout->addWidget(message_);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  connect(start_stop_, &QPushButton::clicked, this, [this] {
    if (server_->Running())
      StopServer();
    else
      StartServer();
  });
  connect(copy_, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(url_->text()); });
  timer_ = new QTimer(this);
  timer_->setInterval(500);
  connect(timer_, &QTimer::timeout, this, &LiveViewDialog::Refresh);
  Refresh();
}

LiveViewDialog::~LiveViewDialog() { server_->Stop(); }

bool LiveViewDialog::StartServer() {
  webview::ServerOptions o;
  const std::string ini = state_.SettingsPath.get();
  if (!ini.empty()) o = webview::LoadLiveViewOptions(ini);
  o.address = address_->text().trimmed().toStdString();
  o.port = port_->value();
  std::string error;
  if (!server_->Start(o, &error)) {
    message_->setText("The live view cannot start: " + Q(error));
    Refresh();
    return false;
  }
  // The chosen address and port are kept for the next start.
  std::string saveError;
  if (!ini.empty() && !webview::SaveLiveViewOptions(ini, o, &saveError))
    message_->setText("Running; the address could not be saved: " + Q(saveError));
  else
    message_->setText(server_->TokenRequired()
                          ? "Other computers can watch: give them the whole address, token included."
                          : "This computer only.");
  timer_->start();
  if (on_running_) on_running_(true);
  Refresh();
  return true;
}

void LiveViewDialog::StopServer() {
  server_->Stop();
  timer_->stop();
  message_->setText("Stopped.");
  if (on_running_) on_running_(false);
  Refresh();
}

void LiveViewDialog::Refresh() {
  const bool running = server_->Running();
  start_stop_->setText(running ? "&Stop" : "&Start");
  address_->setEnabled(!running);
  port_->setEnabled(!running);
  copy_->setEnabled(running);
  url_->setText(running ? Q(server_->Url()) : QString());
  viewers_->setText(QString::number(running ? server_->Viewers() : 0));
}

LiveViewDialog* ShowLiveViewDialog(QWidget* window, AppState& state, const Clock& clock,
                                   std::function<void(bool)> on_running) {
  auto* dialog = window->findChild<LiveViewDialog*>("LiveViewDialog", Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new LiveViewDialog(state, clock, window, std::move(on_running));
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}
