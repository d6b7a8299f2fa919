#include "modal_state.h"

#include <QApplication>

bool ModalDialogOpen() { return QApplication::activeModalWidget() != nullptr; }
