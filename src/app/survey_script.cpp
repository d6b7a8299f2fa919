// SPDX-License-Identifier: GPL-3.0-or-later
#include "survey_script.h"

#include <QDialog>
#include <QLineEdit>
#include <memory>

#include "dialogs/auto_azimuth_dialog.h"
#include "window/menu_bar.h"
#include "dialogs/snapshot_dialog.h"

std::function<void(QDialog&)> ScriptedSurveyHook(const std::string& survey) {
  auto answered = std::make_shared<bool>(false);
  return [answered, survey](QDialog& dialog) {
    if (!*answered) {
      if (auto* s = qobject_cast<SnapshotDialog*>(&dialog); s && survey != "azimuth") {
        *answered = true;
        s->SetBox(10, true);
        s->SetBox(500, true);
        s->SetBox(501, false);
        s->SetBox(502, false);
        s->SetBox(503, true);
        s->PressOk();
        return;
      }
      if (auto* a = qobject_cast<AutoAzimuthDialog*>(&dialog); a && survey == "azimuth") {
        *answered = true;
        a->SetBox(10, true);
        a->SetBox(500, true);
        a->Field(100)->setText("0.0");
        a->Field(200)->setText("330.0");
        a->Field(300)->setText("30.0");
        a->PressOk();
        return;
      }
    }
    dialog.exec();
  };
}

int SurveyCommand(const std::string& survey) {
  if (survey == "azimuth") return cmd::kAutoAzimuth;
  if (survey == "horizontal") return cmd::kHorizontalScan;
  return cmd::kVerticalScan;
}
